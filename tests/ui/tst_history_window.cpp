// SPDX-License-Identifier: GPL-3.0-or-later
// The history window over stored pages, and the changed marks in the tree; the shell is
// recorded, so nothing is launched.

#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "core/history/changed_marks.h"
#include "platform/codepage.h"
#include "ui/history/diff_model.h"
#include "ui/history/history_texts.h"
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

// Writes an entry's stored versions, newest first, as the store names them.
void writeVersions(const QString &folder, const QList<QPair<QString, QString>> &versions)
{
    for (const auto &[path, page] : versions) {
        QVERIFY(QDir().mkpath(QFileInfo(folder + QLatin1Char('/') + path).path()));
        QVERIFY(writeFile(folder + QLatin1Char('/') + path, page.toUtf8()));
    }
}

// Opens the history of entry 2 of a list of two over a data folder.
QWidget *openHistory(frm_vekmain &w, const QString &dataDir)
{
    writeList(2);
    startShown(w);
    type(field(w, "DirName"), dataDir);
    clickNode(w, 2);
    click(&w, "btn_history");
    return shownWindows("frm_history").value(0);
}

// The list as shown: a version's row as its file and what it is against the one before, a row
// of folded copies as its text with its versions' files.
QStringList listed(const QTreeWidget *versions)
{
    QStringList rows;
    for (int row = 0; row < versions->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = versions->topLevelItem(row);
        QString text = item->childCount() == 0 ? item->text(1) + QLatin1Char(' ') + item->text(3) : item->text(0);
        for (int child = 0; child < item->childCount(); ++child)
            text += QLatin1String(" | ") + item->child(child)->text(1);
        rows << text;
    }
    return rows;
}

// A cell's text with its marked words in brackets.
QString marked(const QModelIndex &cell)
{
    const QString text = cell.data().toString();
    QString shown;
    qsizetype done = 0;
    for (const history::Span &mark : cell.data(DiffModel::MarksRole).value<QList<history::Span>>()) {
        shown += text.mid(done, mark.start - done) + QLatin1Char('[') + text.mid(mark.start, mark.length) + QLatin1Char(']');
        done = mark.start + mark.length;
    }
    return shown + text.mid(done);
}

// Whether any pixel of the table's shown part is of that colour.
bool shows(QTableView *table, const QColor &colour)
{
    const QImage image = table->viewport()->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_history_window : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void historyOfAnEntry();
    void identicalVersionsFold();
    void changesInsideLongLines();
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

// Copies of a version fold into one row above it, where the page first came; the check box
// shows them all. Choosing and comparing versions works through the folds.
void tst_history_window::identicalVersionsFold()
{
    QTemporaryDir data;
    const QString a = pageSource("utf-8", {"一"});
    const QString b = pageSource("utf-8", {"一", "二"});
    const QString c = pageSource("utf-8", {"一", "二", "三"});
    writeVersions(data.path() + QLatin1String("/e2"),
                  {{"vek.htm", c}, {"20260106/vek.htm", c}, {"20260106/vek-1.htm", c}, {"20260105/vek.htm", b},
                   {"20260105/vek-2.htm", b}, {"20260105/vek-1.htm", b}, {"20260104/vek.htm", a}});
    frm_vekmain w;
    QWidget *history = openHistory(w, data.path());
    QVERIFY(history);
    auto *versions = widget<QTreeWidget>(history, "lst_versions");
    auto *all = widget<QCheckBox>(history, "chk_allversions");
    auto *compared = widget<QLabel>(history, "lbl_compared");
    auto *counts = widget<QLabel>(history, "lbl_counts");
    QVERIFY(!all->isChecked());
    QCOMPARE(listed(versions), (QStringList{"同じ版 2 件 | vek.htm | 20260106/vek.htm", "20260106/vek-1.htm 変更あり",
                                            "同じ版 2 件 | 20260105/vek.htm | 20260105/vek-2.htm",
                                            "20260105/vek-1.htm 変更あり", "20260104/vek.htm "}));
    QVERIFY(!versions->topLevelItem(0)->isExpanded());
    // The newest page came as 20260106/vek-1.htm: that change is compared first.
    QTRY_VERIFY(compared->text().endsWith(QLatin1String("(20260106/vek-1.htm)")));
    QVERIFY(compared->text().contains(QStringLiteral("(20260105/vek.htm) → ")));
    QCOMPARE(plain(counts->text()), QStringLiteral("追加 1 行、削除 0 行"));

    // All shown, in grey where the same as the one before; the chosen version stays chosen.
    all->click();
    QCOMPARE(listed(versions), (QStringList{"vek.htm 同じ", "20260106/vek.htm 同じ", "20260106/vek-1.htm 変更あり",
                                            "20260105/vek.htm 同じ", "20260105/vek-2.htm 同じ",
                                            "20260105/vek-1.htm 変更あり", "20260104/vek.htm "}));
    QVERIFY(versions->topLevelItem(2)->isSelected());
    QCOMPARE(versions->topLevelItem(0)->foreground(0), history->palette().brush(QPalette::Disabled, QPalette::Text));
    // A copy chosen while all are shown stays shown when they fold again.
    versions->setCurrentItem(versions->topLevelItem(4));
    QTRY_VERIFY(compared->text().endsWith(QLatin1String("(20260105/vek-2.htm)")));
    QCOMPARE(counts->text(), HistoryText::NoDifference);
    all->click();
    QTreeWidgetItem *copiesOfB = versions->topLevelItem(2);
    QVERIFY(copiesOfB->isExpanded());
    QVERIFY(copiesOfB->child(1)->isSelected());
    QVERIFY(!versions->topLevelItem(0)->isExpanded());

    // A click opens and closes a fold; the fold itself is no version: it is not chosen, and
    // 「ブラウザで開く」 opens nothing.
    const auto clickRow = [versions](QTreeWidgetItem *row, Qt::KeyboardModifiers keys = {}) {
        versions->scrollToItem(row);
        QTest::mouseClick(versions->viewport(), Qt::LeftButton, keys, versions->visualItemRect(row).center());
    };
    clickRow(versions->topLevelItem(0));
    QVERIFY(versions->topLevelItem(0)->isExpanded());
    QVERIFY(versions->selectedItems().isEmpty());
    click(history, "btn_openversion");
    QVERIFY(m_opened.isEmpty());
    clickRow(versions->topLevelItem(0));
    QVERIFY(!versions->topLevelItem(0)->isExpanded());

    // Two chosen across a fold: the newest page against the oldest.
    clickRow(versions->topLevelItem(0));
    clickRow(versions->topLevelItem(0)->child(0));
    clickRow(versions->topLevelItem(4), Qt::ControlModifier);
    QTRY_VERIFY(compared->text().endsWith(QLatin1String("(vek.htm)")));
    QVERIFY(compared->text().contains(QStringLiteral("(20260104/vek.htm) → ")));
    QCOMPARE(plain(counts->text()), QStringLiteral("追加 2 行、削除 0 行"));
    click(history, "btn_openversion");
    QCOMPARE(m_opened, QStringList{data.path() + QLatin1String("/e2/20260104/vek.htm")});
}

// A paragraph is one long line: a change at its end, past the width of any window, is marked
// inside the line, and the line wraps so it can be read, in both views and in the source.
void tst_history_window::changesInsideLongLines()
{
    QTemporaryDir data;
    const QString paragraph = QStringLiteral("本日は晴天なり。").repeated(300);
    const QStringList older{"天気", paragraph + QStringLiteral("午後からは所により雨が降るでしょう。"), "以上"};
    const QStringList newer{"天気", paragraph + QStringLiteral("午後からは所により雪が降るでしょう。"), "以上"};
    // The newer version is written on one line, as some sites write their pages.
    writeVersions(data.path() + QLatin1String("/e2"),
                  {{"vek.htm", pageSource("utf-8", newer).remove(QLatin1Char('\n'))},
                   {"20260105/vek.htm", pageSource("utf-8", older)}});
    frm_vekmain w;
    QWidget *history = openHistory(w, data.path());
    QVERIFY(history);
    history->resize(800, 600);
    auto *table = widget<QTableView>(history, "tbl_diff");
    auto *counts = widget<QLabel>(history, "lbl_counts");
    const QAbstractItemModel *model = table->model();
    QTRY_COMPARE(plain(counts->text()), QStringLiteral("追加 1 行、削除 1 行"));

    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(marked(model->index(1, 2)), "-" + paragraph + "午後からは所により[雨]が降るでしょう。");
    QCOMPARE(marked(model->index(2, 2)), "+" + paragraph + "午後からは所により[雪]が降るでしょう。");
    QCOMPARE(marked(model->index(0, 2)), QStringLiteral(" 天気"));
    const int one = table->rowHeight(0);
    QTRY_VERIFY(table->rowHeight(1) > 20 * one);
    QCOMPARE(table->rowHeight(2), table->rowHeight(1));
    QCOMPARE(table->rowHeight(3), one);
    // Narrower, the lines wrap further.
    const int wide = table->rowHeight(1);
    history->resize(500, 600);
    QTRY_VERIFY(table->rowHeight(1) > wide);
    // The changed words are painted darker, where the change was scrolled to.
    table->scrollTo(model->index(1, 2), QAbstractItemView::PositionAtBottom);
    QVERIFY(shows(table, model->index(1, 2).data(DiffModel::MarkBackgroundRole).value<QColor>()));

    widget<QCheckBox>(history, "chk_sidebyside")->click();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(marked(model->index(1, 1)), paragraph + "午後からは所により[雨]が降るでしょう。");
    QCOMPARE(marked(model->index(1, 3)), paragraph + "午後からは所により[雪]が降るでしょう。");
    QTRY_VERIFY(table->rowHeight(1) > wide);

    // The source: the page on one line is compared tag by tag, the change marked inside.
    widget<QCheckBox>(history, "chk_html")->click();
    QCOMPARE(plain(counts->text()), QStringLiteral("追加 2 行、削除 3 行"));
    QStringList changed;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 1).data() != model->index(row, 3).data())
            changed << marked(model->index(row, 1)) + QLatin1String(" | ") + marked(model->index(row, 3));
    }
    QCOMPARE(changed, (QStringList{"<p>" + paragraph + "午後からは所により[雨]が降るでしょう。</p> | <p>" + paragraph
                                       + "午後からは所により[雪]が降るでしょう。</p>",
                                   "<p>以上</p> | <p>以上</p>[</body></html>]", "</body></html> | "}));
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
