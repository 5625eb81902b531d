// The history window over stored pages, and the changed marks in the tree; the shell is
// recorded, so nothing is launched.

#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "core/history/changed_marks.h"
#include "platform/codepage.h"
#include "ui/history/history_texts.h"
#include "ui/history/page_plain_text.h"
#include "ui/main_texts.h"
#include "ui/platform/shell.h"

#include <QAbstractItemModel>
#include <QDirIterator>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace driver;

namespace {

// A page of <p> lines, one per line of its source.
QString pageSource(const QString &charset, const QStringList &paragraphs, const QString &extra = {})
{
    QString html = QStringLiteral("<html><head><meta charset=\"%1\"></head><body>\n").arg(charset);
    for (const QString &p : paragraphs)
        html += QStringLiteral("<p>%1</p>\n").arg(p);
    return html + extra + QStringLiteral("</body></html>\n");
}

// Every file under a folder with its bytes and time, to prove nothing was changed.
QStringList snapshot(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files << path + QLatin1Char(' ') + it.fileInfo().lastModified().toString(Qt::ISODateWithMs) + QLatin1Char(' ')
                     + QString::fromLatin1(readFile(path).toHex());
    }
    files.sort();
    return files;
}

QString plain(const QString &richText)
{
    return QString(richText).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
}

bool bold(const frm_vekmain &w, int entry)
{
    return nodeOf(w, entry)->font(0).bold();
}

} // namespace

class tst_history_window : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void visibleText_data();
    void visibleText();
    void historyOfAnEntry();
    void changedEntriesAreBoldUntilSelected();

private:
    QStringList m_opened;
    bool m_desktopOpens = true;
};

void tst_history_window::init()
{
    QFile::remove(iniPath());
    QFile::remove(ChangedMarks(iniPath()).path());
    m_opened.clear();
    m_desktopOpens = true;
    shell::setRecorder([this](const QString &path) {
        m_opened << path;
        return m_desktopOpens;
    });
}

void tst_history_window::cleanup()
{
    shell::setRecorder({});
}

void tst_history_window::visibleText_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("text");
    QTest::newRow("scripts, styles and the title left out")
        << "<html><head><title>題名</title><style>p > b { color: red }</style>"
           "<script>var s = '<p>no</p>'; if (a < b) f();</script></head>"
           "<body><p>見出し</p><script src=\"x.js\"></script><p>本文&amp;続き&nbsp;です</p>"
           "<style>.x{}</style></body></html>"
        << "見出し\n本文&続き です";
    QTest::newRow("blanks at line ends") << "<p>a </p>\n<p>b</p>  \n" << "a\nb";
    QTest::newRow("lists and tables line by line") << "<ul><li>一</li><li>二</li></ul><table><tr><td>a</td></tr><tr><td>b</td></tr></table>"
                                                  << "一\n二\na\nb\n";
    QTest::newRow("plain text stays as it is") << "plain text\n  second line\n" << "plain text\n  second line\n";
}

void tst_history_window::visibleText()
{
    QFETCH(QString, page);
    QFETCH(QString, text);
    QCOMPARE(history::VisibleText(page), text);
}

// Entry e2 keeps four versions: the newest in UTF-8, two identical ones of the same day in
// Shift_JIS, and an image the day before. e1 has none.
void tst_history_window::historyOfAnEntry()
{
    QTemporaryDir data;
    const QStringList older{"天気", "two", "three", "four", "five", "six", "seven"};
    const QStringList newer{"天気", "TWO", "three", "four", "five", "six", "SEVEN"};
    const QByteArray sjis = codepage::toAnsi(pageSource(QStringLiteral("Shift_JIS"), older));
    const QString e2 = data.path() + QLatin1String("/e2");
    QVERIFY(QDir().mkpath(e2 + "/20260105"));
    QVERIFY(QDir().mkpath(e2 + "/20260104"));
    QVERIFY(writeFile(e2 + "/20260104/vek.htm", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    QVERIFY(writeFile(e2 + "/vek.htm", pageSource("utf-8", newer, "<script>secret()</script>\n").toUtf8()));
    QVERIFY(writeFile(e2 + "/20260105/vek.htm", sjis));
    QVERIFY(writeFile(e2 + "/20260105/vek-1.htm", sjis));
    const QStringList before = snapshot(data.path());

    writeList(2);
    frm_vekmain w;
    startShown(w);
    type(field(w, "DirName"), data.path());
    clickNode(w, 2);
    click(&w, "btn_history");
    QCOMPARE(shownWindows("frm_history").size(), 1);
    QWidget *history = shownWindows("frm_history").constFirst();
    auto *versions = widget<QTreeWidget>(history, "lst_versions");
    auto *counts = widget<QLabel>(history, "lbl_counts");
    auto *table = widget<QTableView>(history, "tbl_diff");
    const QAbstractItemModel *model = table->model();
    QStringList listed;
    for (int row = 0; row < versions->topLevelItemCount(); ++row)
        listed << versions->topLevelItem(row)->text(1) + QLatin1Char(' ') + versions->topLevelItem(row)->text(3);
    QCOMPARE(listed, (QStringList{"vek.htm 変更あり", "20260105/vek.htm 同じ", "20260105/vek-1.htm 変更あり",
                                  "20260104/vek.htm "}));

    // The newest against the one before, as text: both charsets read, the script left out.
    QTRY_COMPARE(plain(counts->text()), QStringLiteral("追加 2 行、削除 2 行"));
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 2).data().toString();
    QCOMPARE(lines, (QStringList{" 天気", "-two", "+TWO", " three", " four", " five", " six", "-seven", "+SEVEN"}));
    QCOMPARE(table->currentIndex().row(), 1);
    click(history, "btn_nextchange");
    QCOMPARE(table->currentIndex().row(), 7);
    QVERIFY(!widget<QPushButton>(history, "btn_nextchange")->isEnabled());
    click(history, "btn_prevchange");
    QCOMPARE(table->currentIndex().row(), 1);

    widget<QCheckBox>(history, "chk_sidebyside")->click();
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->rowCount(), 7);
    QCOMPARE(model->index(1, 1).data().toString() + QLatin1Char('|') + model->index(1, 3).data().toString(),
             QStringLiteral("two|TWO"));
    // The raw HTML: the charset line and the script differ too.
    widget<QCheckBox>(history, "chk_html")->click();
    QCOMPARE(plain(counts->text()), QStringLiteral("追加 4 行、削除 3 行"));

    // Two chosen versions: the two identical ones. An image is compared by its bytes; the
    // oldest alone has none before it.
    versions->clearSelection();
    versions->topLevelItem(1)->setSelected(true);
    versions->topLevelItem(2)->setSelected(true);
    QTRY_COMPARE(counts->text(), HistoryText::NoDifference);
    versions->setCurrentItem(versions->topLevelItem(2));
    QTRY_COMPARE(counts->text(), HistoryText::BinaryDiffers);
    QCOMPARE(model->index(0, 1).data().toString(), HistoryText::Binary.arg(16));
    versions->setCurrentItem(versions->topLevelItem(3));
    QTRY_COMPARE(widget<QLabel>(history, "lbl_compared")->text(), HistoryText::NoOlder);
    QCOMPARE(model->rowCount(), 0);

    MsgBoxAnswerer boxes;
    click(history, "btn_openversion");
    m_desktopOpens = false;
    click(history, "btn_openversion");
    const QString oldest = e2 + QLatin1String("/20260104/vek.htm");
    QCOMPARE(m_opened, (QStringList{oldest, oldest}));
    QCOMPARE(boxes.texts(), QStringList{MainText::NoOpener.arg(oldest)});

    // One window per entry; the tree's menu opens the selected entry's, and says when there is
    // nothing stored yet.
    click(&w, "btn_history");
    QCOMPARE(shownWindows("frm_history").size(), 1);
    TreeView *t = tree(w);
    emit t->customContextMenuRequested(t->visualItemRect(nodeOf(w, 1)).center());
    QCOMPARE(selected(w), QStringLiteral("1"));
    auto *menu = widget<QMenu>(&w, "TreeView1_menu");
    QTRY_VERIFY(menu->isVisible());
    menu->findChild<QAction *>(QStringLiteral("mnu_history"))->trigger();
    menu->hide();
    QCOMPARE(boxes.texts().constLast(), MainText::NoVersions.arg("e1"));
    QCOMPARE(shownWindows("frm_history").size(), 1);

    QCOMPARE(snapshot(data.path()), before);
}

// Marks are found by name: SAVE renumbers the entries and each mark stays with its own. Taking
// one off by a selection lasts, and another face's marks show.
void tst_history_window::changedEntriesAreBoldUntilSelected()
{
    writeList(3);
    {
        ChangedMarks marks(iniPath());
        marks.mark(QStringLiteral("E2"));
        marks.mark(QStringLiteral("e3"));
        QString error;
        QVERIFY(marks.write(&error));
    }
    frm_vekmain w;
    startShown(w);
    QCOMPARE(QList<bool>({bold(w, 1), bold(w, 2), bold(w, 3)}), QList<bool>({false, true, true}));
    clickNode(w, 2);
    QVERIFY(!bold(w, 2));
    ChangedMarks unattended(iniPath());
    unattended.reload();
    QVERIFY(!unattended.isMarked(QStringLiteral("e2")));
    QVERIFY(unattended.isMarked(QStringLiteral("e3")));

    // An unattended run marks e2 again meanwhile; SAVE shows it.
    unattended.mark(QStringLiteral("e2"));
    QString error;
    QVERIFY(unattended.write(&error));
    MsgBoxAnswerer boxes;
    boxes.queue(QMessageBox::Yes);
    clickNode(w, 1);
    click(&w, "btn_del");
    click(&w, "btn_save");
    QCOMPARE(nodes(w), (QStringList{"e2", "e3"}));
    QCOMPARE(QList<bool>({bold(w, 1), bold(w, 2)}), QList<bool>({true, true}));
    clickNode(w, 2);

    frm_vekmain again;
    startShown(again);
    QCOMPARE(QList<bool>({bold(again, 1), bold(again, 2)}), QList<bool>({true, false}));
}

VEKANTO_TEST_MAIN(tst_history_window)
#include "tst_history_window.moc"
