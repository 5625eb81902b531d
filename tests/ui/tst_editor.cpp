// SPDX-License-Identifier: GPL-3.0-or-later
// The entry editor: its captions, name checks, keys, close box, rule switch and preview.

#include "core/list/entry_name.h"
#include "platform/clock.h"
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"
#include "ui/editor_texts.h"
#include "ui/frm_vekop1.h"
#include "ui/main_texts.h"

#include <QClipboard>
#include <QGroupBox>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QWindow>

using namespace driver;

namespace {
// A user clicks the box itself; the widget may be wider than its box and caption.
void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Tabs and line breaks cannot be typed into a text box (Tab moves the focus, Enter presses
// OK); they come pasted.
void enter(const char *box, const QString &text)
{
    if (!entryname::hasControlCharacters(text)) {
        typeIn(box, text);
        return;
    }
    QLineEdit *field = widget<QLineEdit>(editor(), box);
    QGuiApplication::clipboard()->setText(text);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}
} // namespace

class tst_editor : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanup() { vclock::reset(); }

    void windowAndCaptions();
    void createdOnceAndModeless();
    void nameChecks_data();
    void nameChecks();
    void emptyNameIgnored_data();
    void emptyNameIgnored();
    void keys_data();
    void keys();
    void closeBoxActsAsCancel();
    void ruleSwitch();
    void ruleSwitchBeforeStartUp();
    void ruleHandedOverWhileSwitchedOff();
    void preview_data();
    void preview();
    void previewFollowsFilledRule();
    void tokensExplained_data();
    void tokensExplained();
    void tokensFollowMidnight();
};

void tst_editor::windowAndCaptions()
{
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    QWidget *e = editor();
    QVERIFY(e);
    QCOMPARE(e->windowTitle(), EditorText::Title);
    QCOMPARE(EditorText::Title, QStringLiteral("VEK"));
    QCOMPARE(widget<QPushButton>(e, "btn_root")->text(), QStringLiteral("ルートに作成"));
    QCOMPARE(widget<QPushButton>(e, "btn_ok")->text(), QStringLiteral("OK"));
    QCOMPARE(widget<QPushButton>(e, "btn_cancel")->text(), QStringLiteral("Cancel"));
    QCOMPARE(widget<QCheckBox>(e, "Check1")->text(), QStringLiteral("ファイル名生成"));
    QCOMPARE(widget<QGroupBox>(e, "Frame1")->title(), QStringLiteral("アドレス生成"));
    QVERIFY(widget<QLabel>(e, "Cindex")->isHidden());
    QVERIFY(widget<QLabel>(e, "Label4"));

    // Each text box is labelled with its caption.
    QStringList captions;
    for (QLabel *label : e->findChildren<QLabel *>()) {
        if (label->buddy())
            captions << label->buddy()->objectName() + QLatin1Char('=') + label->text();
    }
    captions.sort();
    QCOMPARE(captions, (QStringList{"Label4=生成結果", "cip=生成ルール", "txtip=アドレス",
                                    "txtname=名前"}));
}

void tst_editor::createdOnceAndModeless()
{
    writeList(2);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    QPointer<QWidget> first = editor();
    QVERIFY(first);
    // A window of its own, kept above the main window as its transient child.
    QCOMPARE(first->parentWidget(), &w);
    QVERIFY(first->isWindow());
    QCOMPARE(first->windowHandle()->transientParent(), w.windowHandle());
    QVERIFY(!first->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    // The main window stays usable while the editor is open.
    clickNode(w, 2);
    QCOMPARE(selected(w), QStringLiteral("2"));
    clickEditor("btn_cancel");
    click(&w, "btn_cng");
    QCOMPARE(editor(), first.data());
    int editors = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        editors += top->objectName() == QLatin1String("frm_vekop1");
    QCOMPARE(editors, 1);
}

// Each row types a text into the name, address or rule box of the editor opened for an add
// (OK or the root button) or for a change of entry 2 ("xyz"), with entry 1 named "abc"; either
// it is stored or one message refuses it and the editor keeps what was typed.
void tst_editor::nameChecks_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal");

    const QByteArray add("btn_add"), change("btn_cng"), ok("btn_ok"), root("btn_root");
    const QByteArray name("txtname"), address("txtip"), rule("cip");
    const QString none, duplicate = EditorText::Duplicate, badName = EditorText::NotFolderName;
    const QString control = EditorText::ControlCharacters, tooLong = EditorText::TooLong;
    // 85 kanji of three bytes each: the longest folder name, 255 bytes in UTF-8.
    const QString longest = QString(85, QChar(u'字'));

    QTest::newRow("add, new name") << add << ok << name << "abd" << none;
    QTest::newRow("add, same name") << add << ok << name << "abc" << duplicate;
    QTest::newRow("add, other case") << add << ok << name << "ABC" << duplicate;
    QTest::newRow("add, mixed case") << add << ok << name << "aBc" << duplicate;
    QTest::newRow("add, same name with trailing blanks")
        << add << ok << name << "abc  " << duplicate;
    // Loading trims blanks at both ends, so a leading blank leads to the same folder.
    QTest::newRow("add, leading blank") << add << ok << name << " abc" << duplicate;
    QTest::newRow("add, blanks at both ends") << add << ok << name << "  ABC " << duplicate;
    // Only U+0020 is trimmed: an ideographic space makes another folder.
    QTest::newRow("add, leading ideographic space differs")
        << add << ok << name << QStringLiteral("\u3000abc") << none;
    // Two entries in one folder would overwrite each other's pages, whichever way they came.
    QTest::newRow("root, same name in other case") << add << root << name << "ABC" << duplicate;
    QTest::newRow("root, leading blank") << add << root << name << " abc" << duplicate;
    QTest::newRow("change, name of another entry") << change << ok << name << "ABC" << duplicate;
    QTest::newRow("change, another entry's name with a leading blank")
        << change << ok << name << " abc" << duplicate;
    QTest::newRow("change, own name in other case") << change << ok << name << "XYZ" << none;

    QTest::newRow("add, nl") << add << ok << name << "nl" << duplicate;
    QTest::newRow("add, NL") << add << ok << name << "NL" << duplicate;
    QTest::newRow("add, nl with trailing blank") << add << ok << name << "nl " << duplicate;
    // Loading would read " nl" as the deleted marker and drop the entry.
    QTest::newRow("add, nl with leading blank") << add << ok << name << " nl" << duplicate;
    QTest::newRow("root, Nl") << add << root << name << "Nl" << duplicate;
    QTest::newRow("change, nL") << change << ok << name << "nL" << duplicate;
    QTest::newRow("change, nl with leading blank") << change << ok << name << " nl" << duplicate;
    QTest::newRow("add, name beginning with nl") << add << ok << name << "nlnews" << none;

    QTest::newRow("add, slash") << add << ok << name << "a/b" << badName;
    QTest::newRow("root, backslash") << add << root << name << "a\\b" << badName;
    QTest::newRow("change, dot") << change << ok << name << "." << badName;
    QTest::newRow("add, dot dot") << add << ok << name << ".." << badName;
    QTest::newRow("root, dot dot with trailing blank") << add << root << name << ".. " << badName;
    QTest::newRow("change, blanks only") << change << ok << name << "   " << badName;
    QTest::newRow("add, three dots") << add << ok << name << "..." << none;
    QTest::newRow("add, dot inside") << add << ok << name << "a.b" << none;

    // A tab or line break would break the line of the settings file it is written to.
    QTest::newRow("add, tab in name") << add << ok << name << "a\tb" << control;
    QTest::newRow("root, line break in name") << add << root << name << "ab\n" << control;
    QTest::newRow("change, line break in name") << change << ok << name << "a\r\nb" << control;
    QTest::newRow("add, line break in address")
        << add << ok << address << "http://a/\nx" << control;
    QTest::newRow("change, tab in address") << change << ok << address << "http://a/\t" << control;
    QTest::newRow("root, tab in rule") << add << root << rule << "\t%0y" << control;
    QTest::newRow("change, line break in rule") << change << ok << rule << "%0y\r" << control;
    QTest::newRow("add, delete character in rule") << add << ok << rule << "a\x7f" << control;

    QTest::newRow("add, 255 bytes") << add << ok << name << longest << none;
    QTest::newRow("add, 256 bytes") << add << ok << name << longest + QLatin1Char('a') << tooLong;
    QTest::newRow("change, 256 bytes")
        << change << ok << name << QLatin1Char('a') + longest << tooLong;
}

void tst_editor::nameChecks()
{
    QFETCH(QByteArray, opener);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, box);
    QFETCH(QString, typed);
    QFETCH(QString, refusal);

    frm_vekmain w;
    driver::startShown(w);
    add(w, QStringLiteral("abc"));
    add(w, QStringLiteral("xyz"));
    const QStringList before = table(w);
    const QStringList nodesBefore = nodes(w);
    MsgBoxAnswerer answerer;

    clickNode(w, 2);
    click(&w, opener.constData());
    if (box != "txtname")
        typeIn("txtname", QStringLiteral("abd"));
    enter(box.constData(), typed);
    QCOMPARE(editorText(box.constData()), typed);
    clickEditor(button.constData());

    if (!refusal.isEmpty()) {
        QCOMPARE(answerer.texts(), QStringList{refusal});
        QCOMPARE(answerer.seen().constFirst().title, MainText::AppName);
        QCOMPARE(table(w), before);
        QCOMPARE(nodes(w), nodesBefore);
        // The editor stays in front with what was typed, ready for the name to be mended.
        QVERIFY(editorShown());
        QCOMPARE(editorText(box.constData()), typed);
        QCOMPARE(editor()->focusWidget(), widget<QLineEdit>(editor(), "txtname"));
        return;
    }
    QVERIFY(answerer.texts().isEmpty());
    QVERIFY(!editorShown());
    const int n = opener == "btn_cng" ? 2 : 3;
    QCOMPARE(w.Entries().EntryName(n), typed);
    QCOMPARE(w.Entries().EntryCount, opener == "btn_cng" ? 2 : 3);
}

void tst_editor::emptyNameIgnored_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QByteArray>("button");
    QTest::newRow("add, OK") << QByteArray("btn_add") << QByteArray("btn_ok");
    QTest::newRow("add, root") << QByteArray("btn_add") << QByteArray("btn_root");
    QTest::newRow("change, OK") << QByteArray("btn_cng") << QByteArray("btn_ok");
}

void tst_editor::emptyNameIgnored()
{
    QFETCH(QByteArray, opener);
    QFETCH(QByteArray, button);
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    const QStringList before = table(w);
    MsgBoxAnswerer answerer;
    click(&w, opener.constData());
    typeIn("txtname", QString());
    typeIn("txtip", QStringLiteral("http://x/"));
    clickEditor(button.constData());
    QVERIFY(answerer.texts().isEmpty());
    QVERIFY(editorShown());
    QCOMPARE(table(w), before);
}

void tst_editor::keys_data()
{
    QTest::addColumn<QByteArray>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Enter in name") << QByteArray("txtname") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter in address") << QByteArray("txtip") << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter in rule") << QByteArray("cip") << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on Cancel") << QByteArray("btn_cancel") << int(Qt::Key_Return) << false;
    QTest::newRow("Esc in name") << QByteArray("txtname") << int(Qt::Key_Escape) << false;
    QTest::newRow("Esc in address") << QByteArray("txtip") << int(Qt::Key_Escape) << false;
}

void tst_editor::keys()
{
    QFETCH(QByteArray, focus);
    QFETCH(int, key);
    QFETCH(bool, stored);
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    typeIn("txtname", QStringLiteral("keyed"));
    QWidget *target = widget<QWidget>(editor(), focus.constData());
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(!editorShown());
    QCOMPARE(w.Entries().EntryName(2), stored ? QStringLiteral("keyed") : QString());
    QCOMPARE(w.Entries().EntryCount, stored ? 2 : 1);
}

void tst_editor::closeBoxActsAsCancel()
{
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_cng");
    QPointer<QWidget> e = editor();
    typeIn("txtname", QStringLiteral("closed"));
    const QStringList before = table(w);
    QVERIFY(!e->close());
    QVERIFY(e);
    QVERIFY(!e->isVisible());
    QCOMPARE(table(w), before);
    // Shown again, it works as before.
    click(&w, "btn_cng");
    QCOMPARE(editor(), e.data());
    QCOMPARE(editorText("txtname"), QStringLiteral("e1"));
}

void tst_editor::ruleSwitch()
{
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    QWidget *e = editor();
    auto *box = widget<QCheckBox>(e, "Check1");
    auto *rule = widget<QLineEdit>(e, "cip");
    auto *result = widget<QLabel>(e, "Label4");
    const QColor window = QApplication::palette().color(QPalette::Base);

    // Start-up ticks the switch: the rule can be typed, on the window background.
    QVERIFY(box->isChecked());
    QVERIFY(rule->isEnabled());
    QCOMPARE(rule->palette().color(QPalette::Base), window);
    QCOMPARE(result->palette().color(QPalette::Window), window);
    QVERIFY(result->autoFillBackground());

    tick(box);
    QVERIFY(!box->isChecked());
    QVERIFY(!rule->isEnabled());
    const QColor off = rule->palette().color(QPalette::Base);
    QVERIFY(off != window);
    QCOMPARE(result->palette().color(QPalette::Window), off);

    // The switch is kept while the editor is hidden and opened again.
    clickEditor("btn_cancel");
    click(&w, "btn_add");
    QVERIFY(!box->isChecked());
    QVERIFY(!rule->isEnabled());

    tick(box);
    QVERIFY(rule->isEnabled());
    QCOMPARE(rule->palette().color(QPalette::Base), window);
    QCOMPARE(result->palette().color(QPalette::Window), window);
}

void tst_editor::ruleSwitchBeforeStartUp()
{
    frm_vekmain w; // start-up has not run
    QWidget *e = w.Editor();
    auto *rule = widget<QLineEdit>(e, "cip");
    QVERIFY(!widget<QCheckBox>(e, "Check1")->isChecked());
    QVERIFY(!rule->isEnabled());
    QVERIFY(rule->palette().color(QPalette::Base) != QApplication::palette().color(QPalette::Base));
    QCOMPARE(widget<QLabel>(e, "Label4")->palette().color(QPalette::Window),
             rule->palette().color(QPalette::Base));
}

void tst_editor::ruleHandedOverWhileSwitchedOff()
{
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    tick(widget<QCheckBox>(editor(), "Check1"));
    typeIn("txtname", QStringLiteral("off"));
    clickEditor("btn_ok");
    QCOMPARE(w.Entries().EntryName(2), QStringLiteral("off"));
    QCOMPARE(w.Entries().EntryRule(2), QStringLiteral("r1"));
}

void tst_editor::preview_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("shown");
    // The clock reads 7 April 2031.
    QTest::newRow("four-digit year") << "%0y" << "2031";
    // Upper-case letters are tokens, as the download takes them.
    QTest::newRow("capital Y shows the year") << "%0Y" << "2031";
    QTest::newRow("capital D and M show day and month") << "a%0Db%0Mc" << "a07b04c";
    QTest::newRow("capital short tokens") << "%Y-%M-%D" << "31-4-7";
    QTest::newRow("padded date") << "/%0y%0m%0d.html" << "/20310407.html";
    QTest::newRow("short date") << "%y-%m-%d" << "31-4-7";
    QTest::newRow("plain text") << "index.html" << "index.html";
    QTest::newRow("markup shown as typed") << "<b>%0y</b>" << "<b>2031</b>";
    QTest::newRow("empty") << "" << "";
}

void tst_editor::preview()
{
    QFETCH(QString, rule);
    QFETCH(QString, shown);
    vclock::setNow(QDateTime(QDate(2031, 4, 7), QTime(10, 0)));
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    auto *label = widget<QLabel>(editor(), "Label4");
    typeIn("cip", rule);
    QCOMPARE(label->text(), shown);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    // The preview follows each typed character, not only the finished rule.
    QTest::keyClicks(widget<QLineEdit>(editor(), "cip"), QStringLiteral("x"));
    QCOMPARE(label->text(), shown + QLatin1Char('x'));
}

void tst_editor::previewFollowsFilledRule()
{
    vclock::setNow(QDateTime(QDate(2031, 4, 7), QTime(10, 0)));
    frm_vekmain w;
    driver::startShown(w);
    click(&w, "btn_add");
    typeIn("txtname", QStringLiteral("dated"));
    typeIn("cip", QStringLiteral("p%0m"));
    clickEditor("btn_root");
    QCOMPARE(w.Entries().EntryRule(1), QStringLiteral("p%0m"));

    // Opening the editor fills the rule box, and the preview follows without typing.
    clickNode(w, 1);
    click(&w, "btn_cng");
    QCOMPARE(widget<QLabel>(editor(), "Label4")->text(), QStringLiteral("p04"));
    clickEditor("btn_cancel");
    click(&w, "btn_add");
    QCOMPARE(widget<QLabel>(editor(), "Label4")->text(), QStringLiteral("p04"));
}

namespace {
// What the tool tip's table says `token` gives today.
QString tipValue(const QString &tip, const QString &token)
{
    QTextDocument doc;
    doc.setHtml(tip);
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        for (int row = 0; table && row < table->rows(); ++row) {
            const auto text = [&](int column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QTextCursor cursor = cell.firstCursorPosition();
                cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                return cursor.selectedText();
            };
            if (text(0) == token)
                return text(2);
        }
    }
    return QStringLiteral("(no row for %1)").arg(token);
}
} // namespace

// The rule box's tool tip names every token with what it gives on the day the editor opens,
// and what it says a token gives is what the preview shows for it.
void tst_editor::tokensExplained_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("values"); // %d %m %y %0d %0m %0y
    QTest::newRow("single digits") << QDate(2031, 4, 7) << QStringList{"7", "4", "31", "07", "04", "2031"};
    QTest::newRow("double digits") << QDate(2024, 12, 31) << QStringList{"31", "12", "24", "31", "12", "2024"};
    QTest::newRow("year 2000") << QDate(2000, 10, 1) << QStringList{"1", "10", "00", "01", "10", "2000"};
}

void tst_editor::tokensExplained()
{
    QFETCH(QDate, today);
    QFETCH(QStringList, values);
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    // Opened once on another day: the tip is built again when the editor is shown.
    vclock::setNow(QDateTime(today.addDays(-40), QTime(12, 0)));
    click(&w, "btn_add");
    clickEditor("btn_cancel");
    vclock::setNow(QDateTime(today, QTime(12, 0)));
    click(&w, "btn_cng");

    auto *rule = widget<QLineEdit>(editor(), "cip");
    const QString tip = rule->toolTip();
    const QStringList tokens{"%d", "%m", "%y", "%0d", "%0m", "%0y"};
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        QCOMPARE(tipValue(tip, tokens.at(i)), values.at(i));
        typeIn("cip", tokens.at(i));
        QCOMPARE(widget<QLabel>(editor(), "Label4")->text(), values.at(i));
        typeIn("cip", tokens.at(i).toUpper());
        QCOMPARE(widget<QLabel>(editor(), "Label4")->text(), values.at(i));
    }
    // The upper-case forms are named as working too.
    QVERIFY2(tip.contains(QStringLiteral("%0Y")) && tip.contains(QStringLiteral("%D")), qPrintable(tip));
}

// An editor left open over midnight shows the new day in its tip and preview.
void tst_editor::tokensFollowMidnight()
{
    writeList(1);
    frm_vekmain w;
    driver::startShown(w);
    vclock::setNow(QDateTime(QDate(2031, 12, 31), QTime(23, 59, 59, 700)));
    click(&w, "btn_add");
    typeIn("cip", QStringLiteral("%0y%0m%0d"));
    auto *rule = widget<QLineEdit>(editor(), "cip");
    auto *label = widget<QLabel>(editor(), "Label4");
    QCOMPARE(label->text(), QStringLiteral("20311231"));
    QCOMPARE(tipValue(rule->toolTip(), QStringLiteral("%0y")), QStringLiteral("2031"));
    QTRY_COMPARE(label->text(), QStringLiteral("20320101"));
    QCOMPARE(tipValue(rule->toolTip(), QStringLiteral("%0y")), QStringLiteral("2032"));
    QCOMPARE(tipValue(rule->toolTip(), QStringLiteral("%d")), QStringLiteral("1"));
}

VEKANTO_TEST_MAIN(tst_editor)
#include "tst_editor.moc"
