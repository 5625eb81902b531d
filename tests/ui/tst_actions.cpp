// SPDX-License-Identifier: GPL-3.0-or-later
// Folder, log, open, LOAD and SAVE actions of the main window; dialogs are answered and the
// shell is recorded, so nothing is shown or launched.

#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "platform/codepage.h"
#include "platform/windir.h"
#include "ui/main_texts.h"
#include "ui/platform/desktop.h"
#include "ui/platform/dialogs.h"
#include "ui/platform/shell.h"
#include "ui/history/frm_history.h"
#include "ui/platform/single_instance.h"
#include "ui/platform/window_state.h"

#include <QDir>
#include <QSpinBox>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTranslator>

#include <algorithm>

using namespace driver;

namespace {

// Nodes by position: text, parent position and the entry each one shows.
QString describeTree(const frm_vekmain &w)
{
    const TreeView *t = tree(w);
    QStringList parts;
    for (int pos = 1; pos <= t->NodeCount(); ++pos)
        parts << QStringLiteral("%1<%2>#%3")
                     .arg(t->NodeText(pos))
                     .arg(t->ParentPosition(pos))
                     .arg(t->EntryOf(pos));
    return parts.join(QLatin1Char(' '));
}

QString readIni()
{
    return codepage::fromAnsi(readFile(iniPath()));
}

void writeIniText(const QString &lines)
{
    QString text = lines;
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    QVERIFY(writeFile(iniPath(), codepage::toAnsi(text)));
}

// The log switch is clicked on its box, where a user clicks it.
void clickSwitch(frm_vekmain &w)
{
    auto *sw = widget<QCheckBox>(&w, "Check1");
    QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(6, sw->height() / 2));
}

// Deletes entry n as a user does: select its node, 削除, answer Yes.
void deleteEntry(frm_vekmain &w, MsgBoxAnswerer &boxes, int n)
{
    boxes.queue(QMessageBox::Yes);
    clickNode(w, n);
    click(&w, "btn_del");
}

} // namespace

class tst_actions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pickFolder_data();
    void pickFolder();
    void pickLogFile_data();
    void pickLogFile();
    void logFileFilters_data();
    void logFileFilters();
    void logSwitch();
    void logSwitchFromSettings_data();
    void logSwitchFromSettings();
    void open_data();
    void open();
    void openNeverLeavesDataFolder();
    void openWithoutAnOpenerSaysSo();
    void keyboard_data();
    void keyboard();
    void treeKeys_data();
    void treeKeys();
    void qtTextsInJapanese();
    void secondStartShowsTheOpenWindow();
    void windowPlaceIsKeptOutsideVekIni();

    void startUpFields_data();
    void startUpFields();
    void loadShowsTheListAsATree_data();
    void loadShowsTheListAsATree();
    void loadKeepsTypedOptionsTheFileLacks();
    void longValuesSurviveLoadChangeAndSave();
    void save_data();
    void save();
    void timeoutTakesSecondsOnly_data();
    void timeoutTakesSecondsOnly();
    void hostPaceBox_data();
    void hostPaceBox();
    void saveRebuildsTheTree_data();
    void saveRebuildsTheTree();
    void saveWritesComboItemsButNeverReadsThem();
    void loadAndSaveCloseAnOpenEditor_data();
    void loadAndSaveCloseAnOpenEditor();

private:
    struct Asked {
        QString kind;
        QString detail;
        QString startFolder;
    };
    QList<Asked> m_asked;
    std::optional<QString> m_answer;
    QStringList m_opened;
    bool m_desktopOpens = true;
};

void tst_actions::init()
{
    QFile::remove(iniPath());
    // A failed save leaves a folder in the file's place.
    QDir(iniPath()).removeRecursively();
    m_asked.clear();
    m_opened.clear();
    m_desktopOpens = true;
    m_answer.reset();
    dialogs::setAnswerer([this](const QString &kind, const QString &detail, const QString &start) {
        m_asked.append({kind, detail, start});
        return m_answer;
    });
    shell::setRecorder([this](const QString &path) {
        m_opened << path;
        return m_desktopOpens;
    });
}

void tst_actions::cleanup()
{
    dialogs::setAnswerer({});
    shell::setRecorder({});
    QDir(iniPath()).removeRecursively();
}

void tst_actions::pickFolder_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("chosen") << std::optional<QString>(QStringLiteral("/home/u/ページ"));
    QTest::newRow("cancelled") << std::optional<QString>();
}

void tst_actions::pickFolder()
{
    QFETCH(std::optional<QString>, answer);
    frm_vekmain w;
    startShown(w);
    auto *dir = widget<QLineEdit>(&w, "DirName");
    type(dir, QStringLiteral("/old/"));
    m_answer = answer;
    click(&w, "btn_data_sansyou");
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked[0].kind, QStringLiteral("folder"));
    QCOMPARE(m_asked[0].detail, QStringLiteral("フォルダを指定して下さい。"));
    // The dialog opens at the folder the user works in now.
    QCOMPARE(m_asked[0].startFolder, QStringLiteral("/old/"));
    // The chosen folder is taken as it comes, without a separator added.
    QCOMPARE(dir->text(), answer.value_or(QStringLiteral("/old/")));
}

void tst_actions::pickLogFile_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("chosen") << std::optional<QString>(QStringLiteral("/home/u/ログ.log"));
    QTest::newRow("cancelled") << std::optional<QString>();
}

void tst_actions::pickLogFile()
{
    QFETCH(std::optional<QString>, answer);
    frm_vekmain w;
    startShown(w);
    auto *path = widget<QLineEdit>(&w, "Text3");
    m_answer = answer;

    // With logging off the button cannot be pressed.
    click(&w, "btn_log_sansyou");
    QVERIFY(m_asked.isEmpty());

    clickSwitch(w);
    const QString before = QStringLiteral("/home/u/logs/VEKLOG.txt");
    type(path, before);
    click(&w, "btn_log_sansyou");
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked[0].kind, QStringLiteral("save"));
    // Filter index 2 of the original's filter text: its text files.
    QCOMPARE(m_asked[0].detail, QStringLiteral("テキスト ファイル (*.txt *.doc *.log)"));
    QCOMPARE(m_asked[0].startFolder, QStringLiteral("/home/u/logs"));
    QCOMPARE(path->text(), answer.value_or(before));
}

// The original's filter texts as the save dialog lists them, and the filter an index picks.
void tst_actions::logFileFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("selected");
    const QString text = QStringLiteral("テキスト ファイル (*.txt *.doc *.log)");
    const QStringList logFilters{QStringLiteral("すべてのファイル (*.*)"), text};
    // Its patterns fell apart at "|": the stray pairs carry on the text files' filter.
    QTest::newRow("the log file's filter, index 2") << MainText::LogFilter << 2 << logFilters << text;
    QTest::newRow("the log file's filter, a stray pair's index") << MainText::LogFilter << 3 << logFilters << text;
    QTest::newRow("the log file's filter, past the end") << MainText::LogFilter << 5 << logFilters << QString();
    QTest::newRow("patterns only after the bar") << "Logs|*.log;*.txt" << 1
                                                 << QStringList{"Logs (*.log *.txt)"} << "Logs (*.log *.txt)";
    QTest::newRow("shown patterns differ from the filtered") << "Logs (*.log)|*.txt" << 1
                                                             << QStringList{"Logs (*.txt)"} << "Logs (*.txt)";
    QTest::newRow("parentheses that are not patterns") << "Vek (old)|*.ini" << 1
                                                       << QStringList{"Vek (old) (*.ini)"} << "Vek (old) (*.ini)";
    QTest::newRow("no pattern") << "Any|" << 1 << QStringList{"Any (*)"} << "Any (*)";
    QTest::newRow("empty") << "" << 1 << QStringList() << QString();
}

void tst_actions::logFileFilters()
{
    QFETCH(QString, filter);
    QFETCH(int, index);
    QFETCH(QStringList, filters);
    QFETCH(QString, selected);
    QCOMPARE(dialogs::nameFilters(filter), filters);
    QCOMPARE(dialogs::selectedNameFilter(filter, index), selected);
}

void tst_actions::logSwitch()
{
    frm_vekmain w;
    startShown(w);
    auto *sw = widget<QCheckBox>(&w, "Check1");
    auto *path = widget<QLineEdit>(&w, "Text3");
    auto *browse = widget<QPushButton>(&w, "btn_log_sansyou");
    QVERIFY(!sw->isChecked());
    QVERIFY(!path->isEnabled());
    QVERIFY(!browse->isEnabled());
    for (bool on : {true, false, true}) {
        clickSwitch(w);
        QCOMPARE(sw->isChecked(), on);
        QCOMPARE(path->isEnabled(), on);
        QCOMPARE(browse->isEnabled(), on);
    }
}

void tst_actions::logSwitchFromSettings_data()
{
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<QString>("atLoad");
    QTest::newRow("on, then off") << "1" << "0";
    QTest::newRow("off, then on") << "0" << "1";
}

void tst_actions::logSwitchFromSettings()
{
    QFETCH(QString, atStart);
    QFETCH(QString, atLoad);
    writeList(1, {QStringLiteral("logsw=") + atStart});
    frm_vekmain w;
    startShown(w);
    auto *path = widget<QLineEdit>(&w, "Text3");
    auto *browse = widget<QPushButton>(&w, "btn_log_sansyou");
    QCOMPARE(path->isEnabled(), atStart == QLatin1String("1"));
    QCOMPARE(browse->isEnabled(), atStart == QLatin1String("1"));

    writeList(1, {QStringLiteral("logsw=") + atLoad});
    MsgBoxAnswerer answerer;
    click(&w, "btn_load");
    QCOMPARE(path->isEnabled(), atLoad == QLatin1String("1"));
    QCOMPARE(browse->isEnabled(), atLoad == QLatin1String("1"));
}

// Entries e1 .. e4 live in a data folder typed with or without a trailing "/". Each row builds
// some of entry 2's folder and page, maybe deletes an entry first, selects one, and acts.
void tst_actions::open_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<bool>("trailingSlash");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("opened");
    // What the user is told when nothing opens; an entry never stored is not a silent click.
    QTest::addColumn<QString>("told");

    const QStringList none, folder{"e2/"}, page{"e2/vek.htm"};
    const QByteArray dir("btn_diropen"), open("btn_Lopen"), dbl("double-click");
    const QString noFolder = MainText::NoFolder.arg("e2"), noPage = MainText::NoVersions.arg("e2");

    QTest::newRow("folder, exists") << dir << true << folder << 0 << 2 << "/e2" << "";
    // One separator between the data folder and the name, whether or not the folder ends in one.
    QTest::newRow("folder, exists, no trailing slash") << dir << false << folder << 0 << 2 << "/e2" << "";
    QTest::newRow("folder, missing") << dir << true << none << 0 << 2 << "" << noFolder;
    QTest::newRow("folder, only a file of that name") << dir << true << QStringList{"e2"} << 0 << 2 << "" << noFolder;
    QTest::newRow("page, exists") << open << true << page << 0 << 2 << "/e2/vek.htm" << "";
    QTest::newRow("page, exists, no trailing slash") << open << false << page << 0 << 2 << "/e2/vek.htm" << "";
    QTest::newRow("page, folder without page") << open << true << folder << 0 << 2 << "" << noPage;
    QTest::newRow("page, missing") << open << true << none << 0 << 2 << "" << noPage;
    QTest::newRow("page, a folder named vek.htm") << open << true << QStringList{"e2/vek.htm/"} << 0 << 2 << "" << noPage;
    QTest::newRow("double-click, page exists") << dbl << true << page << 0 << 2 << "/e2/vek.htm" << "";
    QTest::newRow("double-click, page missing") << dbl << true << folder << 0 << 2 << "" << noPage;
    // The run stores into an existing folder whose name differs only in letter case.
    QTest::newRow("folder in another letter case") << dir << true << QStringList{"E2/"} << 0 << 2 << "/E2" << "";
    QTest::newRow("page in another letter case") << open << true << QStringList{"E2/vek.htm"} << 0 << 2 << "/E2/vek.htm" << "";
    QTest::newRow("double-click, another letter case") << dbl << true << QStringList{"E2/vek.htm"} << 0 << 2 << "/E2/vek.htm" << "";

    // After deleting entry 1, entry 2 sits at node position 1 and entry 3 at position 2.
    const QStringList both{"e2/vek.htm", "e3/vek.htm"};
    QTest::newRow("folder after a deletion") << dir << true << QStringList{"e2/", "e3/"} << 1 << 3 << "/e3" << "";
    QTest::newRow("page after a deletion") << open << true << both << 1 << 3 << "/e3/vek.htm" << "";
    QTest::newRow("double-click after a deletion") << dbl << true << both << 1 << 2 << "/e2/vek.htm" << "";
    // A deleted entry opens nothing, even when a folder of its marker name exists.
    QTest::newRow("folder of a deleted entry") << dir << true << QStringList{"nl/", "e2/"} << 2 << 2 << "" << "";
    QTest::newRow("page of a deleted entry") << open << true << QStringList{"nl/vek.htm", "e2/vek.htm"} << 2 << 2 << "" << "";
}

void tst_actions::open()
{
    QFETCH(QByteArray, action);
    QFETCH(bool, trailingSlash);
    QFETCH(QStringList, made);
    QFETCH(int, deleted);
    QFETCH(int, selected);
    QFETCH(QString, opened);
    QFETCH(QString, told);

    QTemporaryDir data;
    QVERIFY(data.isValid());
    for (const QString &item : made) {
        if (item.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir(data.path()).mkpath(item));
        } else {
            QVERIFY(QDir(data.path()).mkpath(QFileInfo(item).path()));
            QFile file(data.filePath(item));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    writeList(4);
    frm_vekmain w;
    startShown(w);
    type(widget<QLineEdit>(&w, "DirName"), data.path() + (trailingSlash ? "/" : ""));
    MsgBoxAnswerer answerer;
    if (deleted)
        deleteEntry(w, answerer, deleted);
    if (selected != deleted)
        clickNode(w, selected);
    QCOMPARE(driver::selected(w), QString::number(selected));

    answerer.clear();
    if (action == "double-click")
        doubleClickNode(w, selected);
    else
        click(&w, action.constData());
    QCOMPARE(m_opened, opened.isEmpty() ? QStringList() : QStringList{data.path() + opened});
    QCOMPARE(answerer.texts(), told.isEmpty() ? QStringList() : QStringList{told});
}

// A name read from a hand-edited settings file that would lead out of the data folder opens
// nothing, though the folder it names exists: nothing was ever stored for it. Neither does a
// relative data folder, where no run stores a page.
void tst_actions::openNeverLeavesDataFolder()
{
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("inner/sub")));
    QFile page(data.filePath(QStringLiteral("vek.htm")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    QVERIFY(writeFile(iniPath(), "[DATA]\r\nTEXT1=..\r\nROOT1=0\r\nTEXT2=.\r\nROOT2=0\r\nTEXT3=sub\r\nROOT3=0\r\n"));
    frm_vekmain w;
    startShown(w);
    type(widget<QLineEdit>(&w, "DirName"), data.filePath(QStringLiteral("inner")));
    MsgBoxAnswerer boxes;
    QStringList told;
    for (const QString &name : {QStringLiteral(".."), QStringLiteral(".")}) {
        clickNode(w, name == u".." ? 1 : 2);
        click(&w, "btn_diropen");
        click(&w, "btn_Lopen");
        told << MainText::NoFolder.arg(name) << MainText::NoVersions.arg(name);
    }
    QCOMPARE(m_opened, QStringList());
    QCOMPARE(boxes.texts(), told);

    const QString cwd = QDir::currentPath();
    const auto restore = qScopeGuard([&cwd] { QDir::setCurrent(cwd); });
    QVERIFY(QDir::setCurrent(data.path()));
    type(widget<QLineEdit>(&w, "DirName"), QStringLiteral("inner"));
    boxes.clear();
    clickNode(w, 3);
    click(&w, "btn_diropen");
    QCOMPARE(m_opened, QStringList());
    QCOMPARE(boxes.texts(), QStringList{MainText::BadDataFolder.arg(QStringLiteral("inner"))});
}

// A desktop without a program for a folder or a page is not a silent click.
void tst_actions::openWithoutAnOpenerSaysSo()
{
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("e1")));
    QVERIFY(writeFile(data.filePath(QStringLiteral("e1/vek.htm")), "page"));
    writeList(1);
    frm_vekmain w;
    startShown(w);
    type(widget<QLineEdit>(&w, "DirName"), data.path());
    clickNode(w, 1);
    m_desktopOpens = false;
    MsgBoxAnswerer boxes;
    click(&w, "btn_diropen");
    click(&w, "btn_Lopen");
    QCOMPARE(boxes.texts(), (QStringList{MainText::NoOpener.arg(data.filePath(QStringLiteral("e1"))),
                                         MainText::NoOpener.arg(data.filePath(QStringLiteral("e1/vek.htm")))}));
}

// Tab runs through the window as it is read, passing by what cannot be used; Return presses
// the focused button; every text field is named for a screen reader.
void tst_actions::keyboard_data()
{
    QTest::addColumn<QString>("logsw");
    QTest::addColumn<QStringList>("order");
    const QStringList head{"TreeView1", "btn_add", "btn_cng", "btn_del", "Command4", "btn_diropen",
                           "btn_Lopen", "btn_history", "btn_dlstart", "DirName", "btn_data_sansyou", "Check1",
                           "chk_notify"};
    const QStringList tail{"Text4", "Check2", "spn_keepdays", "spn_keepvers", "btn_load", "btn_save", "TreeView1"};
    QTest::newRow("logging on") << "1" << head + QStringList{"Text3", "btn_log_sansyou"} + tail;
    QTest::newRow("logging off: log path and its 参照 passed by") << "0" << head + tail;
}

void tst_actions::keyboard()
{
    QFETCH(QString, logsw);
    QFETCH(QStringList, order);
    writeList(2, {QStringLiteral("logsw=") + logsw});
    frm_vekmain w;
    startShown(w);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    tree(w)->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    while (visited.size() < order.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, order);

    auto *save = widget<QPushButton>(&w, "btn_save");
    save->setFocus();
    MsgBoxAnswerer boxes;
    QTest::keyClick(save, Qt::Key_Return);
    QCOMPARE(boxes.texts(), QStringList{MainText::Saved});

    const QList<QLabel *> labels = w.findChildren<QLabel *>();
    for (const QLineEdit *edit : w.findChildren<QLineEdit *>()) {
        // A spin box's text is named with the box.
        const QWidget *box = qobject_cast<QAbstractSpinBox *>(edit->parentWidget()) ? edit->parentWidget() : edit;
        const bool named = !box->accessibleName().isEmpty()
                           || std::any_of(labels.begin(), labels.end(),
                                          [box](const QLabel *l) { return l->buddy() == box; });
        QVERIFY2(named, qPrintable(box->objectName()));
    }
}

// Keys on the tree act on the selected entry: Delete is 削除, Return 変更, and the menu key or
// Shift+F10 opens the tree's menu at its node.
void tst_actions::treeKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("does");
    QTest::newRow("Delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers{} << "delete";
    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers{} << "change";
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << Qt::KeyboardModifiers{Qt::KeypadModifier} << "change";
    QTest::newRow("menu key") << int(Qt::Key_Menu) << Qt::KeyboardModifiers{} << "menu";
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << Qt::KeyboardModifiers{Qt::ShiftModifier} << "menu";
    QTest::newRow("F10 alone") << int(Qt::Key_F10) << Qt::KeyboardModifiers{} << "nothing";
    QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers{Qt::ShiftModifier} << "nothing";
}

void tst_actions::treeKeys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, does);
    writeList(3);
    frm_vekmain w;
    startShown(w);
    clickNode(w, 2);
    const QStringList before = table(w);
    MsgBoxAnswerer boxes;
    boxes.queue(QMessageBox::Yes);
    auto *menu = widget<QMenu>(&w, "TreeView1_menu");

    QTest::keyClick(tree(w), Qt::Key(key), modifiers);
    QTRY_COMPARE(menu->isVisible(), does == u"menu");
    menu->hide();
    QCOMPARE(boxes.texts(), does == u"delete" ? QStringList{MainText::DeleteQuestion} : QStringList());
    QCOMPARE(w.Entries().isDeleted(2), does == u"delete");
    QCOMPARE(editorShown(), does == u"change");
    if (does == u"change")
        QCOMPARE(editorText("txtname"), QStringLiteral("e2"));
    if (does == u"menu") {
        QCOMPARE(selected(w), QStringLiteral("2"));
        QVERIFY(menu->geometry().intersects(QRect(tree(w)->viewport()->mapToGlobal(QPoint()), tree(w)->viewport()->size())));
    }
    if (does == u"nothing")
        QCOMPARE(table(w), before);
}

// Qt's own texts follow a Japanese desktop: the box of 削除 is answered with はい or いいえ.
void tst_actions::qtTextsInJapanese()
{
    const std::unique_ptr<QTranslator> japanese(
        desktop::loadQtTranslations(QLocale(QLocale::Japanese, QLocale::Japan)));
    if (!japanese)
        QSKIP("Qt's Japanese translations (qt6-translations-l10n) are not installed");
    writeList(1);
    frm_vekmain w;
    startShown(w);
    MsgBoxAnswerer boxes;
    boxes.queue(QMessageBox::No);
    clickNode(w, 1);
    click(&w, "btn_del");
    QCOMPARE(boxes.seen().size(), 1);
    // As shown: the "&" marks the underlined access key.
    QStringList shown = boxes.seen()[0].buttons;
    shown.replaceInStrings(QStringLiteral("&"), QString());
    QCOMPARE(shown, (QStringList{"はい(Y)", "いいえ(N)"}));
}

// A second start over the same settings file brings the open window back instead of opening
// another; a start over another settings file, or over a socket left by a crash, starts anew.
void tst_actions::secondStartShowsTheOpenWindow()
{
    writeList(2);
    const QString page = GetWindowsDirectory() + QLatin1String("/e2/vek.htm");
    QVERIFY(QDir().mkpath(QFileInfo(page).path()));
    QVERIFY(writeFile(page, "<p>e2</p>"));
    frm_vekmain w;
    startShown(w);
    SingleInstance first(w.SettingsPath());
    QVERIFY(first.listen());
    connect(&first, &SingleInstance::showRequested, &w, &frm_vekmain::BringToFront);
    connect(&first, &SingleInstance::historyRequested, &w, &frm_vekmain::ShowHistoryOf);
    w.showMinimized();
    QTRY_VERIFY(w.isMinimized());

    SingleInstance second(w.SettingsPath());
    QVERIFY(second.askRunningToShow());
    QTRY_VERIFY(!w.isMinimized());
    QVERIFY(w.isVisible());
    QCOMPARE(shownWindows("frm_history").size(), 0);

    // `vekanto --history E2`, as a notification's action starts it: the entry's history, in
    // this window, with the entry selected; a name the list has not shows the window alone.
    QVERIFY(second.askRunningToShow(QStringLiteral("E2")));
    QTRY_COMPARE(shownWindows("frm_history").size(), 1);
    QCOMPARE(w.SelectedEntry(), 2);
    QVERIFY(w.HistoryOf(QStringLiteral("e2")));
    w.HistoryOf(QStringLiteral("e2"))->close();
    QTRY_COMPARE(shownWindows("frm_history").size(), 0);
    QVERIFY(second.askRunningToShow(QStringLiteral("nothing of that name")));
    QTest::qWait(300);
    QCOMPARE(shownWindows("frm_history").size(), 0);
    QCOMPARE(w.SelectedEntry(), 2);

    SingleInstance other(w.SettingsPath() + QStringLiteral(".other"));
    QVERIFY(other.serverName() != first.serverName());
    QVERIFY(writeFile(other.serverName(), "left by a crash"));
    QVERIFY(!other.askRunningToShow());
    QVERIFY(other.listen());
}

// The main window comes back where the user left it; vek.ini keeps only what it always kept.
void tst_actions::windowPlaceIsKeptOutsideVekIni()
{
    writeList(1);
    const QByteArray ini = readFile(iniPath());
    const QRect place(QPoint(120, 90), QSize(760, 540));
    {
        frm_vekmain w;
        startShown(w);
        w.setGeometry(place);
        QTRY_COMPARE(w.geometry(), place);
        w.close();
    }
    frm_vekmain again;
    startShown(again);
    QCOMPARE(again.geometry(), place);
    QCOMPARE(readFile(iniPath()), ini);
    QVERIFY(QFileInfo::exists(windowstate::filePath()));
}

// What a user finds at start-up: the caption, and the option fields as the settings file (or
// the defaults beside the program's folder) gives them.
void tst_actions::startUpFields_data()
{
    QTest::addColumn<QString>("ini"); // empty: no settings file
    QTest::addColumn<QString>("nodes");
    QTest::addColumn<QString>("dirName");
    QTest::addColumn<QString>("logPath");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<bool>("logOn");
    // The limits on dated copies as their boxes show them.
    QTest::addColumn<QString>("keep");
    QTest::addColumn<bool>("notify");

    const QString dataHome = GetWindowsDirectory();
    QTest::newRow("no settings file") << QString() << QString() << dataHome + QStringLiteral("/")
                                      << dataHome + QStringLiteral("/VEKLOG.txt") << "60" << false << "無期限 全件" << true;
    QTest::newRow("options from the file")
        << "[DATA]\nTEXT1=日本語ソ表\n"
           "[Option]\ndirname=/tmp/ページ/\nlogpath=NLlog.txt\nlogsw=1\ndtime=45\nkeepdays=30\nkeepvers=12\nnotify=0\n"
        << "日本語ソ表<0>#1" << "/tmp/ページ/" << "NLlog.txt" << "45" << true << "30 日間 12 件まで" << false;
    // The box takes only seconds when typed; what an old file holds is shown as it is.
    QTest::newRow("time-out that is no number shown as stored")
        << "[DATA]\nTEXT1=a\n[Option]\ndtime=abc\nkeepvers=x\n" << "a<0>#1" << dataHome + QStringLiteral("/")
        << dataHome + QStringLiteral("/VEKLOG.txt") << "abc" << false << "無期限 全件" << true;
}

void tst_actions::startUpFields()
{
    QFETCH(QString, ini);
    QFETCH(QString, nodes);
    QFETCH(QString, dirName);
    QFETCH(QString, logPath);
    QFETCH(QString, timeout);
    QFETCH(bool, logOn);
    QFETCH(QString, keep);
    QFETCH(bool, notify);
    if (!ini.isEmpty())
        writeIniText(ini);
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);

    QCOMPARE(w.windowTitle(), QStringLiteral("Vekanto 0.8.1"));
    QCOMPARE(describeTree(w), nodes);
    QCOMPARE(w.Entries().EntryCount, nodes.isEmpty() ? 0 : 1);
    QCOMPARE(w.Entries().EntryLimit, 100);
    QCOMPARE(field(w, "DirName")->text(), dirName);
    QCOMPARE(field(w, "Text3")->text(), logPath);
    QCOMPARE(field(w, "Text4")->text(), timeout);
    QCOMPARE(selected(w), QStringLiteral("1"));
    QCOMPARE(widget<QCheckBox>(&w, "Check1")->isChecked(), logOn);
    QCOMPARE(widget<QSpinBox>(&w, "spn_keepdays")->text() + u' ' + widget<QSpinBox>(&w, "spn_keepvers")->text(), keep);
    QCOMPARE(field(w, "Text3")->isEnabled(), logOn);
    QCOMPARE(widget<QPushButton>(&w, "btn_log_sansyou")->isEnabled(), logOn);
    QCOMPARE(widget<QCheckBox>(&w, "chk_notify")->isChecked(), notify);
    QCOMPARE(widget<QCheckBox>(&w, "chk_notify")->text(), QStringLiteral("変化と失敗を通知する"));
    QVERIFY(w.isEnabled());
    const QString dataHome = w.session().dataHome();
    QCOMPARE(dataHome, GetWindowsDirectory());
    QVERIFY(QDir(dataHome).exists());
    QVERIFY(!dataHome.endsWith(QLatin1Char('/')));
    QVERIFY(boxes.seen().isEmpty());
}

// LOAD replaces the tree: nodes take positions in entry order, each carries its entry, and
// entries put at the top level are named in one box.
void tst_actions::loadShowsTheListAsATree_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("nodes");
    QTest::addColumn<QStringList>("told"); // names in the one box; empty: no box

    const QStringList none;
    QTest::newRow("stale entry 5 after a hole gets position 4")
        << "[DATA]\nTEXT1=a\nTEXT2=b\nTEXT3=c\nTEXT5=e\n" << "a<0>#1 b<0>#2 c<0>#3 e<0>#5" << none;
    QTest::newRow("children under their parents")
        << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=1\nTEXT3=c\nroot3=2\n" << "a<0>#1 b<1>#2 c<2>#3" << none;
    QTest::newRow("child of an entry behind a hole")
        << "[DATA]\nTEXT1=a\nTEXT3=c\nTEXT4=d\nROOT4=3\n" << "a<0>#1 c<0>#3 d<2>#4" << none;
    QTest::newRow("deleted markers get no node")
        << "[DATA]\nTEXT1=nl\nROOT1=0\nTEXT2=NL\nTEXT3=Nl\nNIP3=http://x\nTEXT4=d\n" << "d<0>#4" << none;
    QTest::newRow("blank names trimmed, all-blank name is empty")
        << "[DATA]\nTEXT1=  a b  \nTEXT2=\"   \"\nTEXT3=c\n" << "a b<0>#1 c<0>#3" << none;
    QTest::newRow("parent pointing forward goes to the top")
        << "[DATA]\nTEXT1=a\nROOT1=2\nTEXT2=b\n" << "a<0>#1 b<0>#2" << QStringList{"a"};
    QTest::newRow("root that is no number reads as 0")
        << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=x1\nnname2=zz\n" << "a<0>#1 b<0>#2" << QStringList{"b"};
}

void tst_actions::loadShowsTheListAsATree()
{
    QFETCH(QString, ini);
    QFETCH(QString, nodes);
    QFETCH(QStringList, told);
    writeList(2);
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    clickNode(w, 2);
    writeIniText(ini);
    click(&w, "btn_load");

    QCOMPARE(describeTree(w), nodes);
    QCOMPARE(selected(w), QStringLiteral("1"));
    QVERIFY(w.isEnabled());
    if (told.isEmpty()) {
        QCOMPARE(boxes.texts(), QStringList());
    } else {
        QCOMPARE(boxes.seen().size(), 1);
        for (const QString &name : std::as_const(told))
            QVERIFY2(boxes.texts().constFirst().contains(name), qPrintable(name));
    }
    // Every node leads to an entry that holds its name.
    const TreeView *t = tree(w);
    for (int pos = 1; pos <= t->NodeCount(); ++pos)
        QCOMPARE(w.Entries().EntryName(t->EntryOf(pos)), t->NodeText(pos));
}

// What was typed stays in the fields for every option the file does not have.
void tst_actions::loadKeepsTypedOptionsTheFileLacks()
{
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    type(field(w, "DirName"), QStringLiteral("/typed/"));
    clickSwitch(w);
    QVERIFY(field(w, "Text3")->isEnabled());
    writeIniText(QStringLiteral("[Option]\nlogsw=0\n"));
    click(&w, "btn_load");
    QCOMPARE(field(w, "DirName")->text(), QStringLiteral("/typed/"));
    QVERIFY(!widget<QCheckBox>(&w, "Check1")->isChecked());
    QVERIFY(!field(w, "Text3")->isEnabled());
    QVERIFY(!widget<QPushButton>(&w, "btn_log_sansyou")->isEnabled());
    QCOMPARE(boxes.texts(), QStringList());
}

// Values far longer than a text box holds by default come back whole: loaded, shown in the
// option field and the editor, handed back by 変更 and written by SAVE.
void tst_actions::longValuesSurviveLoadChangeAndSave()
{
    const QString address = QStringLiteral("http://h/") + QString(40000, u'a');
    const QString folder = QStringLiteral("/d/") + QString(40000, u'b');
    writeIniText(QStringLiteral("[DATA]\nTEXT1=long\nNIP1=%1\nCIP1=\nROOT1=0\nnname1=1\n"
                                "[Option]\ndirname=%2\n").arg(address, folder));
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    QCOMPARE(w.Entries().EntryAddress(1), address);
    QCOMPARE(field(w, "DirName")->text(), folder);
    clickNode(w, 1);
    click(&w, "btn_cng");
    QCOMPARE(editorText("txtip"), address);
    clickEditor("btn_ok");
    QCOMPARE(w.Entries().EntryAddress(1), address);
    click(&w, "btn_save");
    const QString ini = readIni();
    QVERIFY(ini.contains(QStringLiteral("NIP1=") + address + QStringLiteral("\r\n")));
    QVERIFY(ini.contains(QStringLiteral("dirname=") + folder + QStringLiteral("\r\n")));
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました")});
}

// SAVE writes the list with the options as typed and says so; a save that failed is reported
// instead, and leaves the list as it was.
void tst_actions::save_data()
{
    QTest::addColumn<bool>("blocked");
    QTest::newRow("saved") << false;
    QTest::newRow("settings file replaced by a folder") << true;
}

void tst_actions::save()
{
    QFETCH(bool, blocked);
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    add(w, QStringLiteral("a"), QStringLiteral("http://a.test/"));
    type(field(w, "DirName"), QStringLiteral("/data/"));
    clickSwitch(w);
    type(field(w, "Text3"), QStringLiteral("/data/log.txt"));
    type(field(w, "Text4"), QStringLiteral("30"));
    for (const auto &[name, value] : {std::pair{"spn_keepdays", "14"}, std::pair{"spn_keepvers", "3"}}) {
        auto *box = widget<QSpinBox>(&w, name);
        box->selectAll();
        QTest::keyClicks(box, QLatin1String(value));
    }
    auto *notify = widget<QCheckBox>(&w, "chk_notify");
    QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(6, notify->height() / 2));
    // A folder in the file's place makes the replacement fail.
    if (blocked)
        QVERIFY(QDir().mkpath(iniPath() + QStringLiteral("/sub")));
    boxes.clear();
    click(&w, "btn_save");

    if (blocked) {
        QCOMPARE(boxes.seen().size(), 1);
        const QString box = boxes.texts().constFirst();
        QVERIFY2(box.startsWith(QStringLiteral("設定ファイルを保存できませんでした。")), qPrintable(box));
        QVERIFY(QFileInfo(iniPath() + QStringLiteral("/sub")).isDir());
    } else {
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました")});
        const QString ini = readIni();
        QVERIFY2(ini.contains(QStringLiteral("[DATA]\r\nTEXT1=a\r\nNIP1=http://a.test/\r\n")),
                 qPrintable(ini));
        QVERIFY2(ini.contains(QStringLiteral("[Option]\r\ndirname=/data/\r\nlogpath=/data/log.txt\r\n"
                                             "logsw=1\r\ndtime=30\r\nkeepdays=14\r\nkeepvers=3\r\nnotify=0\r\n")),
                 qPrintable(ini));
    }
    QVERIFY(w.isEnabled());
    // The list in memory is untouched by a failure.
    QCOMPARE(describeTree(w), QStringLiteral("a<0>#1"));
    QCOMPARE(w.Entries().EntryAddress(1), QStringLiteral("http://a.test/"));
}

// 「サーバーごとに間隔を空ける」 beside the time-out shows the hostpace key, and a click on it is
// what SAVE stores (on as hostpace=1, off as no key) and what the next run paces by.
void tst_actions::hostPaceBox_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shown");
    QTest::newRow("hostpace=1: ticked, clicked off") << "hostpace=1" << true;
    QTest::newRow("hostpace=0: clear, clicked on") << "hostpace=0" << false;
    QTest::newRow("no key: clear, clicked on") << "" << false;
}

void tst_actions::hostPaceBox()
{
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    writeIniText(QStringLiteral("[DATA]\nTEXT1=a\n[Option]\ndtime=30\n") + stored + u'\n');
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    auto *box = widget<QCheckBox>(&w, "Check2");
    QCOMPARE(box->text(), QStringLiteral("サーバーごとに間隔を空ける"));
    QCOMPARE(box->isChecked(), shown);
    QCOMPARE(w.session().options().hostPace, shown);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QCOMPARE(box->isChecked(), !shown);
    QCOMPARE(w.session().options().hostPace, !shown);
    click(&w, "btn_save");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました")});
    const QString ini = readIni();
    QCOMPARE(ini.contains(QStringLiteral("\r\nhostpace=1\r\n")), !shown);
    QCOMPARE(ini.contains(QStringLiteral("hostpace"), Qt::CaseInsensitive), !shown);

    // LOAD shows what was saved, also where that is no key.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    click(&w, "btn_load");
    QCOMPARE(box->isChecked(), !shown);
}

// The time-out box takes whole seconds from 1 to 3,600 as they are typed, and SAVE stores
// what it shows.
void tst_actions::timeoutTakesSecondsOnly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("seconds") << "90" << "90";
    QTest::newRow("a word is not taken") << "abc" << "";
    QTest::newRow("letters between digits") << "4a5" << "45";
    QTest::newRow("one hour") << "3600" << "3600";
    QTest::newRow("more than an hour") << "3601" << "360";
    QTest::newRow("zero") << "0" << "";
    QTest::newRow("leading zero") << "060" << "60";
    QTest::newRow("sign and blanks") << "-5 +7 " << "57";
    QTest::newRow("full-width digits") << "１２０" << "120";
    // An input method hands over its digits at once: too many seconds are refused whole.
    QTest::newRow("full-width above an hour") << "５０００" << "";
}

void tst_actions::timeoutTakesSecondsOnly()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    writeIniText(QStringLiteral("[DATA]\nTEXT1=a\n[Option]\ndtime=abc\n"));
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    QLineEdit *box = field(w, "Text4");
    QCOMPARE(box->text(), QStringLiteral("abc"));
    type(box, typed);
    QCOMPARE(box->text(), shown);
    click(&w, "btn_save");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました")});
    QVERIFY2(readIni().contains(QStringLiteral("dtime=") + shown + QStringLiteral("\r\n")), qPrintable(readIni()));
}

// After SAVE the tree shows the saved list: closed-up holes, every text as typed, and the
// selection on the entry it was on (none when that was deleted).
void tst_actions::saveRebuildsTheTree_data()
{
    QTest::addColumn<QList<int>>("deleted");
    QTest::addColumn<int>("clicked"); // 0: no click after the deletions
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("nodes");
    QTest::addColumn<QString>("selection");

    QTest::newRow("holes closed, the selection follows its entry")
        << QList<int>{3, 4} << 5 << QString() << "e1<0>#1 e2<0>#2 e5<2>#4" << "4";
    QTest::newRow("a deleted selection is let go")
        << QList<int>{3} << 0 << QString() << "e1<0>#1 e2<0>#2 e4<0>#3 e5<2>#4" << "0";
    // The file is then written in UTF-8, and SAVE says so once.
    QTest::newRow("text the code page cannot hold")
        << QList<int>{} << 2 << QStringLiteral("名前😀")
        << "e1<0>#1 e2<0>#2 e3<0>#3 e4<0>#4 e5<2>#5 名前😀<0>#6" << "2";
}

void tst_actions::saveRebuildsTheTree()
{
    QFETCH(QList<int>, deleted);
    QFETCH(int, clicked);
    QFETCH(QString, added);
    QFETCH(QString, nodes);
    QFETCH(QString, selection);
    writeIniText(QStringLiteral("[DATA]\nTEXT1=e1\nTEXT2=e2\nTEXT3=e3\nTEXT4=e4\nTEXT5=e5\nROOT5=2\n"));
    MsgBoxAnswerer boxes;
    {
        frm_vekmain w;
        startShown(w);
        for (int n : std::as_const(deleted))
            deleteEntry(w, boxes, n);
        if (clicked)
            clickNode(w, clicked);
        if (!added.isEmpty())
            add(w, added);
        boxes.clear();
        click(&w, "btn_save");
        const QString utf8Note = QStringLiteral("\r\n（CP932 で表せない文字があるため、設定ファイルを UTF-8 で保存しました）");
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました") + (readFile(iniPath()).startsWith("\xEF\xBB\xBF") ? utf8Note : QString())});
        QCOMPARE(describeTree(w), nodes);
        QCOMPARE(selected(w), selection);
        const TreeView *t = tree(w);
        for (int pos = 1; pos <= t->NodeCount(); ++pos)
            QCOMPARE(w.Entries().EntryName(t->EntryOf(pos)), t->NodeText(pos));
    }
    // The next start shows the same tree.
    frm_vekmain w;
    startShown(w);
    QCOMPARE(describeTree(w), nodes);
}

void tst_actions::saveWritesComboItemsButNeverReadsThem()
{
    MsgBoxAnswerer boxes;
    {
        frm_vekmain w;
        startShown(w);
        for (int c = 0; c <= 4; ++c) {
            for (int i = 0; i < 3; ++i)
                w.Sdata()(c) << QStringLiteral("c%1i%2").arg(c).arg(i);
        }
        click(&w, "btn_save");
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存しました")});
    }
    const QString ini = readIni();
    QVERIFY(ini.contains(QStringLiteral("cmb01=c0i1\r\ncmb11=c1i1\r\ncmb21=c2i1\r\n"
                                        "cmb31=c3i1\r\ncmb41=c4i1\r\ncmb02=c0i2")));
    QVERIFY(!ini.contains(QStringLiteral("c0i0")));
    QVERIFY(ini.contains(QStringLiteral("cnt=3\r\n")));
    frm_vekmain w;
    startShown(w);
    for (int c = 0; c <= 4; ++c)
        QCOMPARE(w.Sdata()(c).size(), 0);
}

// Loading and saving renumber entries, so an editor open on one entry must not write to
// another: both close it.
void tst_actions::loadAndSaveCloseAnOpenEditor_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::newRow("LOAD") << QByteArray("btn_load");
    QTest::newRow("SAVE") << QByteArray("btn_save");
}

void tst_actions::loadAndSaveCloseAnOpenEditor()
{
    QFETCH(QByteArray, button);
    writeList(1);
    MsgBoxAnswerer boxes;
    frm_vekmain w;
    startShown(w);
    clickNode(w, 1);
    click(&w, "btn_cng");
    QVERIFY(editorShown());
    click(&w, button.constData());
    QVERIFY(!editorShown());
}

VEKANTO_TEST_MAIN(tst_actions)
#include "tst_actions.moc"
