// SPDX-License-Identifier: GPL-3.0-or-later
// List operations and tree interaction, driven through the main window and the editor.

#include "support/fs_faults.h"
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"
#include "ui/history/frm_history.h"
#include "ui/main_texts.h"

#include "core/list/entry_name.h"

#include <QTemporaryDir>
#include <QTreeWidget>

#include <optional>

#include <cerrno>

using namespace driver;

class tst_list : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(iniPath()); }

    void addAtRoot();
    void addUnderSelected();
    void addUnderSelectedAfterDeletions();
    void addTakesParentSelectedAtOk_data();
    void addTakesParentSelectedAtOk();
    void addWithoutLiveSelectionGoesToTop_data();
    void addWithoutLiveSelectionGoesToTop();
    void addLimit_data();
    void addLimit();
    void addAfterDeleteTakesNewSlot();
    void blanksAroundName();
    void change();
    void changeReachesEveryStoredEntry_data();
    void changeReachesEveryStoredEntry();
    void changeOfDeletedEntry();
    void changeOfEntryDeletedWhileEditing();
    void cancelLeavesTableUntouched_data();
    void cancelLeavesTableUntouched();
    void changeAfterCancelShowsStoredValues();
    void renameTakesTheFolderAlong_data();
    void renameTakesTheFolderAlong();
    void remove_data();
    void remove();
    void removeWithChildren_data();
    void removeWithChildren();
    void actionsAfterDeletions();
    void clickSelectsAnyEntry_data();
    void clickSelectsAnyEntry();
    void currentNodeIsSelectedEntry_data();
    void currentNodeIsSelectedEntry();
    void unsavedChangesAsked_data();
    void unsavedChangesAsked();
};

namespace {

QStringList names(const frm_vekmain &w)
{
    QStringList result;
    for (int n = 1; n <= w.Entries().EntryCount; ++n)
        result << w.Entries().EntryName(n);
    return result;
}

// The entry names a fresh start finds in the settings file.
QStringList storedNames()
{
    frm_vekmain fresh;
    fresh.Form_Load();
    return names(fresh);
}

} // namespace

void tst_list::addAtRoot()
{
    frm_vekmain w;
    driver::startShown(w);

    add(w, QStringLiteral("ニュース"), QStringLiteral("http://example.com/"));
    QVERIFY(!editorShown());
    QCOMPARE(w.Entries().EntryCount, 1);
    QCOMPARE(w.Entries().EntryName(1), QStringLiteral("ニュース"));
    QCOMPARE(w.Entries().EntryAddress(1), QStringLiteral("http://example.com/"));
    QCOMPARE(w.Entries().EntryParent(1), qint16(0));
    QCOMPARE(w.Entries().EntryNname(1), qint16(1));
    QCOMPARE(nodes(w), QStringList{QStringLiteral("ニュース")});
    QCOMPARE(tree(w)->EntryOf(1), 1);
    // Adding leaves the selection where it was.
    QCOMPARE(selected(w), QStringLiteral("1"));
}

void tst_list::addUnderSelected()
{
    writeList(3);
    frm_vekmain w;
    driver::startShown(w);

    clickNode(w, 2);
    QCOMPARE(selected(w), QStringLiteral("2"));
    click(&w, "btn_add");
    QVERIFY(editorShown());
    // A new entry starts with the selected entry's rule and empty name and address.
    QCOMPARE(editorText("cip"), QStringLiteral("r2"));
    QCOMPARE(editorText("txtname"), QString());
    QCOMPARE(editorText("txtip"), QString());
    QVERIFY(widget<QPushButton>(editor(), "btn_root")->isVisible());
    QCOMPARE(widget<QLabel>(editor(), "Cindex")->text(), QStringLiteral("2"));

    typeIn("txtname", QStringLiteral("child"));
    clickEditor("btn_ok");
    QVERIFY(!editorShown());
    QCOMPARE(w.Entries().EntryCount, 4);
    QCOMPARE(w.Entries().EntryName(4), QStringLiteral("child"));
    QCOMPARE(w.Entries().EntryRule(4), QStringLiteral("r2"));
    QCOMPARE(w.Entries().EntryParent(4), qint16(2));
    QCOMPARE(nodes(w), (QStringList{"e1", "e2", "e3", "e2>child"}));
}

void tst_list::addUnderSelectedAfterDeletions()
{
    writeList(4);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    answerer.queue(QMessageBox::Yes);
    clickNode(w, 2);
    click(&w, "btn_del");

    // Entry 4 now sits at node position 3; the new entry must still hang under entry 4.
    clickNode(w, 4);
    add(w, QStringLiteral("child"), QString(), "btn_ok");
    QCOMPARE(w.Entries().EntryParent(5), qint16(4));
    QCOMPARE(w.Entries().EntryRule(5), QStringLiteral("r4"));
    QCOMPARE(nodes(w), (QStringList{"e1", "e3", "e4", "e4>child"}));
    QCOMPARE(tree(w)->EntryOf(4), 5);
}

// The editor is not modal: the parent is the entry selected when OK is pressed, also when
// nothing was selected as the editor opened.
void tst_list::addTakesParentSelectedAtOk_data()
{
    QTest::addColumn<bool>("nothingSelected");
    QTest::addColumn<QString>("rule");
    QTest::newRow("opened on entry 1") << false << "r1";
    QTest::newRow("opened with nothing selected") << true << "";
}

void tst_list::addTakesParentSelectedAtOk()
{
    QFETCH(bool, nothingSelected);
    QFETCH(QString, rule);
    writeList(nothingSelected ? 3 : 2);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    if (nothingSelected) {
        // SAVE lets the deleted selection go.
        answerer.queue(QMessageBox::Yes);
        clickNode(w, 3);
        click(&w, "btn_del");
        click(&w, "btn_save");
        QCOMPARE(selected(w), QStringLiteral("0"));
    } else {
        clickNode(w, 1);
    }
    click(&w, "btn_add");
    typeIn("txtname", QStringLiteral("late"));
    clickNode(w, 2);
    clickEditor("btn_ok");
    QVERIFY(!editorShown());
    // The rule came from the entry selected when the editor opened.
    QCOMPARE(w.Entries().EntryRule(3), rule);
    QCOMPARE(w.Entries().EntryParent(3), qint16(2));
    QCOMPARE(nodes(w), (QStringList{"e1", "e2", "e2>late"}));
}

// With no live entry selected (nothing at all, an empty list, a deleted entry, or one that
// SAVE let go), 追加 opens the editor and OK adds at the top level.
void tst_list::addWithoutLiveSelectionGoesToTop_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("treeAfter");

    QTest::newRow("never loaded") << QByteArray("none") << "0" << 1 << QStringList{"top"};
    QTest::newRow("empty list") << QByteArray("empty") << "1" << 1 << QStringList{"top"};
    QTest::newRow("deleted entry") << QByteArray("delete") << "1" << 3 << QStringList{"e2", "top"};
    QTest::newRow("deleted entry let go by SAVE")
        << QByteArray("delete, save") << "0" << 2 << QStringList{"e2", "top"};
}

void tst_list::addWithoutLiveSelectionGoesToTop()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, selection);
    QFETCH(int, entry);
    QFETCH(QStringList, treeAfter);
    if (before.startsWith("delete"))
        writeList(2);
    frm_vekmain w;
    if (before == "none") {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    } else {
        driver::startShown(w);
    }
    MsgBoxAnswerer answerer;
    if (before.startsWith("delete")) {
        answerer.queue(QMessageBox::Yes);
        clickNode(w, 1);
        click(&w, "btn_del");
    }
    if (before.endsWith("save"))
        click(&w, "btn_save");
    QCOMPARE(selected(w), selection);
    answerer.clear();

    click(&w, "btn_add");
    QVERIFY(editorShown());
    QCOMPARE(editorText("cip"), QString());
    typeIn("txtname", QStringLiteral("top"));
    clickEditor("btn_ok");
    QVERIFY(answerer.texts().isEmpty());
    QVERIFY(!editorShown());
    QCOMPARE(w.Entries().EntryCount, entry);
    QCOMPARE(w.Entries().EntryName(entry), QStringLiteral("top"));
    QCOMPARE(w.Entries().EntryParent(entry), qint16(0));
    QCOMPARE(nodes(w), treeAfter);
    // The selection stays where it was: on the new entry only when it already named its slot.
    QCOMPARE(selected(w), selection);
    click(&w, "btn_cng");
    QCOMPARE(editorShown(), selection.toInt() == entry);
}

void tst_list::addLimit_data()
{
    QTest::addColumn<int>("loaded");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("97 entries, OK makes entry 98") << 97 << QByteArray("btn_ok") << true;
    QTest::newRow("98 entries, OK makes entry 99") << 98 << QByteArray("btn_ok") << true;
    QTest::newRow("98 entries, root makes entry 99") << 98 << QByteArray("btn_root") << true;
    QTest::newRow("99 entries, OK refused") << 99 << QByteArray("btn_ok") << false;
    QTest::newRow("99 entries, root refused") << 99 << QByteArray("btn_root") << false;
}

void tst_list::addLimit()
{
    QFETCH(int, loaded);
    QFETCH(QByteArray, button);
    QFETCH(bool, accepted);

    writeList(loaded);
    frm_vekmain w;
    driver::startShown(w);
    QCOMPARE(w.Entries().EntryCount, loaded);
    MsgBoxAnswerer answerer;
    const QStringList before = table(w);

    clickNode(w, 1);
    add(w, QStringLiteral("new"), QStringLiteral("http://new/"), button.constData());
    if (accepted) {
        QVERIFY(answerer.texts().isEmpty());
        QCOMPARE(w.Entries().EntryName(loaded + 1), QStringLiteral("new"));
        QCOMPARE(tree(w)->NodeCount(), loaded + 1);
        QVERIFY(!editorShown());
    } else {
        QCOMPARE(answerer.texts(), QStringList{MainText::ListFull});
        QCOMPARE(table(w), before);
        QCOMPARE(tree(w)->NodeCount(), loaded);
        QVERIFY(editorShown());
    }
    // Entry 100 is never used: the settings file could not keep it.
    QVERIFY(w.Entries().isEmpty(100));
}

void tst_list::addAfterDeleteTakesNewSlot()
{
    writeList(3);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    answerer.queue(QMessageBox::Yes);
    clickNode(w, 2);
    click(&w, "btn_del");
    QCOMPARE(w.Entries().EntryCount, 3);

    clickNode(w, 1);
    add(w, QStringLiteral("next"));
    QCOMPARE(w.Entries().EntryCount, 4);
    QCOMPARE(w.Entries().EntryName(4), QStringLiteral("next"));
    QCOMPARE(w.Entries().EntryName(2), QStringLiteral("nl"));
}

// The name is kept as the settings file gives it back, without blanks at either end, and the
// node shows it so at once, as the next start shows it; the address loses its trailing blanks.
void tst_list::blanksAroundName()
{
    frm_vekmain w;
    driver::startShown(w);
    add(w, QStringLiteral(" abc  "));
    add(w, QStringLiteral("  両端  "), QStringLiteral(" http://a/  "), "btn_ok");
    QCOMPARE(w.Entries().EntryName(2), QStringLiteral("両端"));
    QCOMPARE(w.Entries().EntryAddress(2), QStringLiteral(" http://a/"));
    QCOMPARE(nodes(w), (QStringList{"abc", "abc>両端"}));
    MsgBoxAnswerer answerer;
    click(&w, "btn_save");
    frm_vekmain next;
    next.Form_Load();
    QCOMPARE(nodes(next), nodes(w));
}

void tst_list::change()
{
    writeList(2);
    frm_vekmain w;
    driver::startShown(w);
    clickNode(w, 1);
    add(w, QStringLiteral("kid"), QStringLiteral("http://k/"), "btn_ok");

    clickNode(w, 3);
    click(&w, "btn_cng");
    QVERIFY(editorShown());
    QCOMPARE(editorText("txtname"), QStringLiteral("kid"));
    QCOMPARE(editorText("txtip"), QStringLiteral("http://k/"));
    QCOMPARE(editorText("cip"), QStringLiteral("r1"));
    QCOMPARE(widget<QLabel>(editor(), "Cindex")->text(), QStringLiteral("3"));
    QVERIFY(widget<QPushButton>(editor(), "btn_root")->isHidden());

    typeIn("txtname", QStringLiteral("renamed  "));
    typeIn("txtip", QStringLiteral("http://r/  "));
    typeIn("cip", QStringLiteral("%0y  "));
    clickEditor("btn_ok");
    QVERIFY(!editorShown());
    QCOMPARE(w.Entries().EntryName(3), QStringLiteral("renamed"));
    QCOMPARE(w.Entries().EntryAddress(3), QStringLiteral("http://r/"));
    QCOMPARE(w.Entries().EntryRule(3), QStringLiteral("%0y  "));
    // Parent, nname and the node's place stay; the node shows the stored name.
    QCOMPARE(w.Entries().EntryParent(3), qint16(1));
    QCOMPARE(w.Entries().EntryNname(3), qint16(1));
    QCOMPARE(w.Entries().EntryCount, 3);
    QCOMPARE(nodes(w), (QStringList{"e1", "e2", "e1>renamed"}));
}

void tst_list::changeReachesEveryStoredEntry_data()
{
    QTest::addColumn<int>("entry");
    for (int n : {1, 49, 50, 98, 99})
        QTest::addRow("entry %d", n) << n;
}

void tst_list::changeReachesEveryStoredEntry()
{
    QFETCH(int, entry);
    writeList(99);
    frm_vekmain w;
    driver::startShown(w);
    QStringList expected = table(w);

    clickNode(w, entry);
    click(&w, "btn_cng");
    QVERIFY(editorShown());
    QCOMPARE(editorText("txtname"), QStringLiteral("e%1").arg(entry));
    typeIn("txtname", QStringLiteral("changed"));
    clickEditor("btn_ok");
    expected[entry - 1].replace(QStringLiteral("e%1|").arg(entry), QStringLiteral("changed|"));
    QCOMPARE(table(w), expected);
    QCOMPARE(tree(w)->NodeText(tree(w)->PositionOfEntry(entry)), QStringLiteral("changed"));
}

void tst_list::changeOfDeletedEntry()
{
    writeList(2);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    answerer.queue(QMessageBox::Yes);
    clickNode(w, 2);
    click(&w, "btn_del");
    click(&w, "btn_cng");
    QVERIFY(!editorShown());
}

void tst_list::changeOfEntryDeletedWhileEditing()
{
    writeList(2);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;

    clickNode(w, 2);
    click(&w, "btn_cng");
    typeIn("txtname", QStringLiteral("ghost"));
    answerer.queue(QMessageBox::Yes);
    click(&w, "btn_del");
    const QStringList before = table(w);
    answerer.clear();
    clickEditor("btn_ok");
    QCOMPARE(answerer.texts(), QStringList{MainText::EntryGone});
    QCOMPARE(table(w), before);
    QCOMPARE(nodes(w), QStringList{"e1"});
}

void tst_list::cancelLeavesTableUntouched_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<bool>("escape");
    QTest::newRow("add, Cancel") << QByteArray("btn_add") << false;
    QTest::newRow("change, Cancel") << QByteArray("btn_cng") << false;
    QTest::newRow("add, Esc") << QByteArray("btn_add") << true;
    QTest::newRow("change, Esc") << QByteArray("btn_cng") << true;
}

void tst_list::cancelLeavesTableUntouched()
{
    QFETCH(QByteArray, opener);
    QFETCH(bool, escape);
    writeList(3);
    frm_vekmain w;
    driver::startShown(w);
    const QStringList before = table(w);
    const QStringList nodesBefore = nodes(w);

    clickNode(w, 2);
    click(&w, opener.constData());
    typeIn("txtname", QStringLiteral("typed"));
    typeIn("txtip", QStringLiteral("http://typed/"));
    typeIn("cip", QStringLiteral("%0d"));
    if (escape)
        QTest::keyClick(widget<QLineEdit>(editor(), "txtname"), Qt::Key_Escape);
    else
        clickEditor("btn_cancel");
    QVERIFY(!editorShown());
    QCOMPARE(table(w), before);
    QCOMPARE(nodes(w), nodesBefore);
}

void tst_list::changeAfterCancelShowsStoredValues()
{
    writeList(3);
    frm_vekmain w;
    driver::startShown(w);
    clickNode(w, 3);
    click(&w, "btn_cng");
    typeIn("txtname", QStringLiteral("typed"));
    typeIn("cip", QStringLiteral("x"));
    clickEditor("btn_cancel");

    click(&w, "btn_cng");
    QCOMPARE(editorText("txtname"), QStringLiteral("e3"));
    QCOMPARE(editorText("txtip"), QStringLiteral("http://h/3"));
    QCOMPARE(editorText("cip"), QStringLiteral("r3"));
}

// Entry 2, "old", is renamed with 変更. Each row makes some folders in the data folder (each
// with a page, a dated copy and a file kept beside the page) before. A new name takes the
// entry's folder along, with its changed mark and an open history; a name whose folder exists
// already, or a rename while another run holds the run lock, changes nothing and says why.
void tst_list::renameTakesTheFolderAlong_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("disturbance"); // "locked", or a path fragment whose rename fails
    QTest::addColumn<QString>("refusal");     // the message's first line, empty when accepted
    QTest::addColumn<QStringList>("after");   // the folders then, the entry's first

    const QString taken = MainText::FolderTaken.section(QLatin1Char('\r'), 0, 0);
    const QString running = MainText::RenameWhileRunning.section(QLatin1Char('\r'), 0, 0);
    const QString failed = MainText::FolderNotRenamed.section(QLatin1Char('\r'), 0, 0);
    const QStringList old{"old"};
    // Which folders answer to a name is the page store's table; these rows are the window's.
    QTest::newRow("renamed") << old << "  新しい " << "" << "" << QStringList{"新しい"};
    QTest::newRow("never stored") << QStringList{} << "new" << "" << "" << QStringList{};
    QTest::newRow("a folder of the new name exists") << QStringList{"old", "NEW"} << "new" << "" << taken
                                                     << QStringList{"old", "NEW"};
    QTest::newRow("another run holds the lock") << old << "new" << "locked" << running << old;
    QTest::newRow("only the address, while another run holds the lock") << old << "old" << "locked" << "" << old;
    QTest::newRow("the disk refuses the rename") << old << "new" << "/new" << failed << old;
}

void tst_list::renameTakesTheFolderAlong()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, typed);
    QFETCH(QString, disturbance);
    QFETCH(QString, refusal);
    QFETCH(QStringList, after);
    QTemporaryDir data;
    for (const QString &folder : folders) {
        QVERIFY(QDir().mkpath(data.filePath(folder + QLatin1String("/20310704"))));
        QVERIFY(writeFile(data.filePath(folder + QLatin1String("/vek.htm")), folder.toUtf8()));
        QVERIFY(writeFile(data.filePath(folder + QLatin1String("/20310704/vek.htm")), "older"));
        QVERIFY(writeFile(data.filePath(folder + QLatin1String("/kept-beside")), "kept"));
    }
    writeIni({{QStringLiteral("news"), QStringLiteral("http://n/"), {}},
              {QStringLiteral("old"), QStringLiteral("http://o/"), {}}},
             {.dirName = data.path()});
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    clickNode(w, 2);
    frm_history *history = nullptr;
    if (!folders.isEmpty()) {
        click(&w, "btn_history");
        history = w.HistoryOf(QStringLiteral("old"));
        QVERIFY(history);
    }
    click(&w, "btn_cng");
    typeIn("txtname", typed);
    typeIn("txtip", QStringLiteral("http://o/2"));
    // Marked by an unattended run since the click took the mark off.
    const QString marks = w.session().marks().path();
    QVERIFY(writeFile(marks, "old\n"));
    Session other(GetWindowsDirectory());
    if (disturbance == u"locked")
        QVERIFY(other.beginRun());
    std::optional<fsfaults::FailPlacing> refuse;
    if (disturbance.startsWith(u'/'))
        refuse.emplace(disturbance.toUtf8(), EACCES);
    const QStringList before = table(w);

    clickEditor("btn_ok");
    refuse.reset();
    QStringList left = QDir(data.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(left.begin(), left.end());
    QStringList expected = after;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(left, expected);
    if (!refusal.isEmpty()) {
        QCOMPARE(answerer.texts().size(), 1);
        QVERIFY2(answerer.texts().constFirst().startsWith(refusal), qPrintable(answerer.texts().constFirst()));
        QVERIFY(editorShown());
        QCOMPARE(editorText("txtname"), typed);
        QCOMPARE(table(w), before);
        QCOMPARE(readFile(marks), QByteArray("old\n"));
        QCOMPARE(w.HistoryOf(QStringLiteral("old")), history);
        return;
    }
    QCOMPARE(answerer.texts(), QStringList());
    QVERIFY(!editorShown());
    const QString name = entryname::storedName(typed);
    QCOMPARE(w.Entries().EntryName(2), name);
    QCOMPARE(w.Entries().EntryAddress(2), QStringLiteral("http://o/2"));
    QCOMPARE(nodes(w), (QStringList{"news", name}));
    // The mark went with the name, and shows.
    QCOMPARE(readFile(marks), name == u"old" ? QByteArray("old\n") : (name + QLatin1Char('\n')).toUtf8());
    QVERIFY(nodeOf(w, 2)->font(0).bold());
    if (!after.isEmpty()) {
        const QString folder = data.filePath(after.constFirst());
        QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), folders.constFirst().toUtf8());
        QCOMPARE(readFile(folder + QLatin1String("/20310704/vek.htm")), QByteArray("older"));
        QCOMPARE(readFile(folder + QLatin1String("/kept-beside")), QByteArray("kept"));
        QCOMPARE(w.HistoryOf(name), history);
        QCOMPARE(history->EntryName(), name);
        QCOMPARE(widget<QTreeWidget>(history, "lst_versions")->topLevelItemCount(), 2);
    }
}

void tst_list::remove_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("Yes") << QMessageBox::Yes;
    QTest::newRow("No") << QMessageBox::No;
    // Without entries under it, Yes is the default, as the question always had it.
    QTest::newRow("default button") << QMessageBox::NoButton;
}

void tst_list::remove()
{
    QFETCH(QMessageBox::StandardButton, answer);
    writeList(3);
    frm_vekmain w;
    driver::startShown(w);
    const QStringList before = table(w);
    MsgBoxAnswerer answerer;
    answerer.queue(answer);

    clickNode(w, 2);
    click(&w, "btn_del");
    QCOMPARE(answerer.texts(), QStringList{MainText::DeleteQuestion});
    QCOMPARE(answerer.seen().constFirst().title, MainText::AppName);
    QCOMPARE(selected(w), QStringLiteral("2"));
    if (answer == QMessageBox::No) {
        QCOMPARE(table(w), before);
        QCOMPARE(nodes(w), (QStringList{"e1", "e2", "e3"}));
        return;
    }
    QCOMPARE(nodes(w), (QStringList{"e1", "e3"}));
    QVERIFY(w.Entries().isDeleted(2));
    QCOMPARE(w.Entries().EntryName(2), QStringLiteral("nl"));
    QCOMPARE(w.Entries().EntryAddress(2), QString());
    QCOMPARE(w.Entries().EntryRule(2), QString());
    QCOMPARE(w.Entries().EntryParent(2), qint16(0));
    QCOMPARE(w.Entries().EntryNname(2), qint16(0));
    QCOMPARE(w.Entries().EntryCount, 3);
    // The entry after it keeps its slot.
    QCOMPARE(w.Entries().EntryName(3), QStringLiteral("e3"));

    // A second delete on the same selection has nothing left to delete and asks nothing.
    answerer.clear();
    click(&w, "btn_del");
    QVERIFY(answerer.texts().isEmpty());
    QCOMPARE(nodes(w), (QStringList{"e1", "e3"}));
}

// Entries A (1) and D (2) at the top, B (3) under A, C (4) under B. Deleting an entry deletes
// every entry under it too, at every level; the question then names it, counts them, and
// has No as its default.
void tst_list::removeWithChildren_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("left");
    const QStringList all{"A", "D", "A>B", "B>C"};
    const QString withA = MainText::DeleteWithBelow.arg(QStringLiteral("A"), QStringLiteral("2"));
    QTest::newRow("child and grandchild, Yes") << 1 << QMessageBox::Yes << withA << QStringList{"D"};
    QTest::newRow("child and grandchild, No") << 1 << QMessageBox::No << withA << all;
    QTest::newRow("child and grandchild, default button") << 1 << QMessageBox::NoButton << withA << all;
    QTest::newRow("one child, Yes") << 3 << QMessageBox::Yes
                                    << MainText::DeleteWithBelow.arg(QStringLiteral("B"), QStringLiteral("1"))
                                    << QStringList{"A", "D"};
    QTest::newRow("none under it, Yes") << 4 << QMessageBox::Yes << MainText::DeleteQuestion
                                        << QStringList{"A", "D", "A>B"};
}

void tst_list::removeWithChildren()
{
    QFETCH(int, entry);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, left);
    frm_vekmain w;
    driver::startShown(w);
    add(w, QStringLiteral("A"));
    add(w, QStringLiteral("D"));
    clickNode(w, 1);
    add(w, QStringLiteral("B"), QString(), "btn_ok");
    clickNode(w, 3);
    add(w, QStringLiteral("C"), QString(), "btn_ok");
    QCOMPARE(nodes(w), (QStringList{"A", "D", "A>B", "B>C"}));
    const QStringList before = table(w);

    MsgBoxAnswerer answerer;
    answerer.queue(answer);
    clickNode(w, entry);
    click(&w, "btn_del");
    QCOMPARE(answerer.texts(), QStringList{question});
    QCOMPARE(nodes(w), left);
    QCOMPARE(w.Entries().EntryCount, 4);
    if (left.size() == 4) {
        QCOMPARE(table(w), before);
        return;
    }
    // What has no node is deleted, so SAVE drops it too.
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(w.Entries().isDeleted(n), tree(w)->PositionOfEntry(n) == 0);
    click(&w, "btn_save");
    QStringList kept = left;
    kept.replaceInStrings(QRegularExpression(QStringLiteral(".*>")), QString());
    QCOMPARE(storedNames(), kept);
}

// After deletions node positions and entry numbers differ; every action must still reach the
// entry of the node the user clicked.
void tst_list::actionsAfterDeletions()
{
    writeList(6);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    for (int gone : {2, 3}) {
        answerer.queue(QMessageBox::Yes);
        clickNode(w, gone);
        click(&w, "btn_del");
    }
    QCOMPARE(nodes(w), (QStringList{"e1", "e4", "e5", "e6"}));

    for (int n : {1, 4, 5, 6}) {
        clickNode(w, n);
        QCOMPARE(selected(w), QString::number(n));
        click(&w, "btn_cng");
        QCOMPARE(editorText("txtname"), QStringLiteral("e%1").arg(n));
        QCOMPARE(editorText("txtip"), QStringLiteral("http://h/%1").arg(n));
        clickEditor("btn_cancel");
    }

    clickNode(w, 5);
    click(&w, "btn_cng");
    typeIn("txtname", QStringLiteral("five"));
    clickEditor("btn_ok");
    QCOMPARE(w.Entries().EntryName(5), QStringLiteral("five"));
    QCOMPARE(w.Entries().EntryName(4), QStringLiteral("e4"));
    QCOMPARE(nodes(w), (QStringList{"e1", "e4", "five", "e6"}));

    answerer.queue(QMessageBox::Yes);
    clickNode(w, 4);
    click(&w, "btn_del");
    QVERIFY(w.Entries().isDeleted(4));
    QCOMPARE(w.Entries().EntryName(5), QStringLiteral("five"));
    QCOMPARE(nodes(w), (QStringList{"e1", "five", "e6"}));
}

void tst_list::clickSelectsAnyEntry_data()
{
    QTest::addColumn<int>("entry");
    for (int n : {1, 49, 50, 51, 99})
        QTest::addRow("entry %d", n) << n;
}

void tst_list::clickSelectsAnyEntry()
{
    QFETCH(int, entry);
    writeList(99);
    frm_vekmain w;
    driver::startShown(w);
    // Start from another entry so the click has something to change.
    clickNode(w, entry == 1 ? 2 : 1);
    clickNode(w, entry);
    QCOMPARE(selected(w), QString::number(entry));
}

// The node drawn as current is always the one of the entry the buttons act on (tree_cnt), and
// none when that entry has no node.
void tst_list::currentNodeIsSelectedEntry_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("entry");
    QTest::addColumn<bool>("hasNode");

    QTest::newRow("start-up") << QStringList{} << 1 << true;
    QTest::newRow("LOAD") << QStringList{"click 3", "load"} << 1 << true;
    QTest::newRow("SAVE") << QStringList{"click 3", "save"} << 3 << true;
    QTest::newRow("SAVE moves the selected entry")
        << QStringList{"click 1", "delete", "click 3", "save"} << 2 << true;
    QTest::newRow("delete") << QStringList{"click 2", "delete"} << 2 << false;
    QTest::newRow("SAVE after deleting the selected entry")
        << QStringList{"click 2", "delete", "save"} << 0 << false;
    QTest::newRow("add at the top level") << QStringList{"click 2", "add"} << 2 << true;
    QTest::newRow("add a child") << QStringList{"click 2", "child"} << 2 << true;
}

void tst_list::currentNodeIsSelectedEntry()
{
    QFETCH(QStringList, steps);
    QFETCH(int, entry);
    QFETCH(bool, hasNode);
    writeList(4);
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    for (const QString &step : steps) {
        if (step.startsWith(u"click ")) {
            clickNode(w, step.mid(6).toInt());
        } else if (step == u"delete") {
            answerer.queue(QMessageBox::Yes);
            click(&w, "btn_del");
        } else if (step == u"add" || step == u"child") {
            add(w, QStringLiteral("new"), QString(), step == u"add" ? "btn_root" : "btn_ok");
        } else {
            click(&w, step == u"load" ? "btn_load" : "btn_save");
        }
    }
    QCOMPARE(selected(w), QString::number(entry));
    QTreeWidgetItem *node = hasNode ? nodeOf(w, entry) : nullptr;
    QVERIFY(!hasNode || node);
    QCOMPARE(tree(w)->currentItem(), node);
    // Current and highlighted, or neither.
    QCOMPARE(tree(w)->selectedItems(), node ? QList{node} : QList<QTreeWidgetItem *>{});
}

// Added, changed or deleted entries are not dropped without a word by LOAD or by closing the
// window: Yes saves and goes on, No goes on, Cancel stays.
void tst_list::unsavedChangesAsked_data()
{
    QTest::addColumn<QByteArray>("edit");
    QTest::addColumn<QByteArray>("leave");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("edited");

    // The names the settings file holds once the edit is saved.
    const QStringList add{"e1", "e2", "e3", "new"}, change{"e1", "two", "e3"}, remove{"e1", "e3"};
    const struct {
        const char *edit;
        QMessageBox::StandardButton answer;
        const char *answerName;
        QStringList edited;
    } rows[] = {
        {"add", QMessageBox::Yes, "Yes", add},
        {"change", QMessageBox::No, "No", change},
        {"delete", QMessageBox::Cancel, "Cancel", remove},
        {"delete", QMessageBox::Yes, "Yes", remove},
        {"add", QMessageBox::Cancel, "Cancel", add},
        // Nothing to lose, nothing asked.
        {"nothing", QMessageBox::NoButton, "not asked", {}},
        {"add, save", QMessageBox::NoButton, "not asked", add},
    };
    for (const char *leave : {"load", "close"}) {
        for (const auto &row : rows) {
            QTest::addRow("%s, %s, %s", row.edit, leave, row.answerName)
                << QByteArray(row.edit) << QByteArray(leave) << row.answer << row.edited;
        }
    }
}

void tst_list::unsavedChangesAsked()
{
    QFETCH(QByteArray, edit);
    QFETCH(QByteArray, leave);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, edited);
    writeList(3);
    const QByteArray file = readFile(iniPath());
    frm_vekmain w;
    driver::startShown(w);
    MsgBoxAnswerer answerer;
    if (edit.startsWith("add")) {
        add(w, QStringLiteral("new"));
    } else if (edit == "change") {
        clickNode(w, 2);
        click(&w, "btn_cng");
        typeIn("txtname", QStringLiteral("two"));
        clickEditor("btn_ok");
    } else if (edit == "delete") {
        answerer.queue(QMessageBox::Yes);
        clickNode(w, 2);
        click(&w, "btn_del");
    }
    if (edit.endsWith("save"))
        click(&w, "btn_save");
    const QStringList before = table(w);
    answerer.clear();

    answerer.queue(answer);
    if (leave == "load")
        click(&w, "btn_load");
    else
        w.close();

    const QStringList asked{MainText::UnsavedQuestion};
    QCOMPARE(answerer.texts(), answer == QMessageBox::NoButton ? QStringList{} : asked);
    const bool saved = answer == QMessageBox::Yes || edit.endsWith("save");
    if (saved)
        QCOMPARE(storedNames(), edited);
    else
        QCOMPARE(readFile(iniPath()), file);
    QCOMPARE(w.isVisible(), answer == QMessageBox::Cancel || leave == "load");
    if (leave == "load") {
        if (answer == QMessageBox::Cancel)
            QCOMPARE(table(w), before); // nothing loaded
        else
            QCOMPARE(names(w), saved ? edited : (QStringList{"e1", "e2", "e3"}));
    }
}

VEKANTO_TEST_MAIN(tst_list)
#include "tst_list.moc"
