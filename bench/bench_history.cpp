// SPDX-License-Identifier: GPL-3.0-or-later
// The history: the line diff of two 1 MB pages that differ in 1% of their lines; the history
// window of an entry with 365 dated copies opened from the main window, to its shown list and
// then to its first diff; and two 1 MB Japanese pages of long paragraphs, changed inside
// paragraphs, from 「履歴」 to their diff with its changed words marked and painted.
//
//   bench_history

#include "support/fixtures.h"

#include "core/history/line_diff.h"
#include "core/history/page_decoding.h"
#include "ui/frm_vekmain.h"
#include "core/history/visible_text.h"
#include "core/history/word_diff.h"
#include "ui/platform/tree_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Rounds = 5;

// About 1 MB of page text in short lines of 20 to 60 characters, a quarter of them Japanese:
// many lines make the diff's work.
QStringList pageLines(QRandomGenerator &random)
{
    QStringList lines;
    qsizetype bytes = 0;
    while (bytes < 1000000) {
        QString line = QStringLiteral("<p>%1 ").arg(lines.size());
        const int length = 20 + int(random.bounded(40));
        while (line.size() < length)
            line += random.bounded(4) == 0 ? QChar(u'あ' + random.bounded(80)) : QChar(u'a' + random.bounded(26));
        line += QStringLiteral("</p>");
        bytes += line.toUtf8().size() + 1;
        lines << line;
    }
    return lines;
}

// One line in a hundred changed, at random places.
QStringList changed(QStringList lines, QRandomGenerator &random)
{
    for (qsizetype n = lines.size() / 100; n > 0; --n)
        lines[random.bounded(int(lines.size()))] += QStringLiteral(" 更新");
    return lines;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void textDiff()
{
    QRandomGenerator random(2026);
    const QStringList older = pageLines(random);
    const QStringList newer = changed(older, random);
    const QString olderText = older.join(QLatin1Char('\n'));
    const QString newerText = newer.join(QLatin1Char('\n'));
    QList<double> diffMs, pageMs;
    history::LineDiff diff;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        diff = history::DiffLines(history::SplitLines(olderText), history::SplitLines(newerText));
        diffMs << clock.nsecsElapsed() / 1e6;
        // What the window does before that for each version: decode and lay out the HTML.
        const QByteArray bytes = olderText.toUtf8();
        clock.start();
        history::VisibleText(history::DecodePage(bytes).text);
        pageMs << clock.nsecsElapsed() / 1e6;
    }
    std::printf("diff: two pages of %lld bytes, %lld lines, %d added and %d removed: %.1f ms "
                "(median of %d, target < 200)\n",
                qlonglong(olderText.toUtf8().size()), qlonglong(older.size()), diff.added, diff.removed,
                median(diffMs), Rounds);
    std::printf("page: one such page decoded and its HTML laid out as text: %.1f ms (median of %d)\n",
                median(pageMs), Rounds);
}

void showMainWindow(frm_vekmain &window)
{
    window.Form_Load();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the main window is not shown");
}

// 「履歴」 clicked for the selected entry: the history window it shows.
QWidget *clickHistory(frm_vekmain &window)
{
    window.findChild<QPushButton *>(QStringLiteral("btn_history"))->click();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frm_history") && w->isVisible())
            return w;
    }
    qFatal("no history window");
}

// The first diff is made on the next turn of the event loop; its counts tell it is there.
void waitForDiff(QWidget *history)
{
    auto *counts = history->findChild<QLabel *>(QStringLiteral("lbl_counts"));
    while (counts->text().isEmpty())
        QCoreApplication::processEvents();
}

// 365 days of a 100 KB page, each day's copy changed in one line but every third the same as
// the day before. Returns the page's size.
qsizetype writeYear(const QString &folder)
{
    QRandomGenerator random(365);
    QStringList lines = pageLines(random).mid(0, 1600);
    QDate day(2025, 1, 1);
    for (int n = 0; n <= 365; ++n, day = day.addDays(1)) {
        if (n % 3 != 0)
            lines[random.bounded(int(lines.size()))] += QStringLiteral(" 更新");
        const QString path = n == 365 ? folder + QLatin1String("/vek.htm")
                                      : folder + day.toString(QStringLiteral("/yyyyMMdd/vek.htm"));
        QDir().mkpath(QFileInfo(path).path());
        fixtures::writeFile(path, lines.join(QLatin1Char('\n')).toUtf8());
    }
    return lines.join(QLatin1Char('\n')).toUtf8().size();
}

void openHistory()
{
    QTemporaryDir data;
    const qsizetype pageBytes = writeYear(data.path() + QLatin1String("/year"));
    fixtures::writeIni({{QStringLiteral("year"), QStringLiteral("http://127.0.0.1/")}},
                       {.dirName = data.path()});
    QList<double> listMs, diffMs;
    int listed = 0;
    for (int round = 0; round < Rounds; ++round) {
        frm_vekmain window;
        showMainWindow(window);
        QElapsedTimer clock;
        clock.start();
        QWidget *history = clickHistory(window);
        listed = history->findChild<QTreeWidget *>(QStringLiteral("lst_versions"))->topLevelItemCount();
        listMs << clock.nsecsElapsed() / 1e6;
        waitForDiff(history);
        diffMs << clock.nsecsElapsed() / 1e6;
        history->close();
    }
    std::printf("history: %d versions of a page of %lld bytes listed and the window shown: %.1f ms "
                "(median of %d, target < 300)\n", listed, qlonglong(pageBytes), median(listMs), Rounds);
    std::printf("history: ... and the newest compared with the one before: %.1f ms\n", median(diffMs));
}

// About 1 MB of Japanese paragraphs of 100 to 400 characters, made of real words so ICU's
// dictionary splits them as it splits a news page, under a heading every ten paragraphs.
QString japanesePage(QRandomGenerator &random)
{
    static const QStringList words = QStringLiteral(
        "今日 明日 天気 気温 東京 大阪 政府 会議 発表 経済 市場 株価 円相場 上昇 下落 影響 予定 地域 住民 "
        "電車 運転 見合わせ 再開 台風 接近 注意 情報 提供 開始 終了 調査 結果 報告 企業 決算 増加 減少 "
        "は が を に で と の も から まで より ため ので ます です でした しました されます によると について")
                                         .split(u' ');
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>ニュース</title></head><body>\n");
    qsizetype bytes = html.toUtf8().size();
    for (int n = 0; bytes < 1000000; ++n) {
        const qsizetype before = html.size();
        if (n % 10 == 0)
            html += QStringLiteral("<h2>見出し %1</h2>\n").arg(n / 10);
        QString paragraph;
        const int length = 100 + int(random.bounded(300));
        while (paragraph.size() < length) {
            paragraph += words.at(int(random.bounded(int(words.size()))));
            if (random.bounded(12) == 0)
                paragraph += QString::number(random.bounded(10000)) + QStringLiteral("件。");
        }
        html += QStringLiteral("<p>") + paragraph + QStringLiteral("。</p>\n");
        bytes += QStringView(html).sliced(before).toUtf8().size();
    }
    return html + QStringLiteral("</body></html>\n");
}

// One paragraph in twenty changed inside: a number, a word in the middle, a sentence added.
QString changedInside(const QString &page, QRandomGenerator &random)
{
    QStringList lines = page.split(u'\n');
    for (QString &line : lines) {
        if (!line.startsWith(QLatin1String("<p>")) || random.bounded(20) != 0)
            continue;
        switch (random.bounded(3)) {
        case 0:
            line.replace(QRegularExpression(QStringLiteral("[0-9]+件")), QStringLiteral("12345件"));
            break;
        case 1:
            line.insert(line.size() / 2, QStringLiteral("臨時"));
            break;
        default:
            line.insert(line.size() - 5, QStringLiteral("。詳しくは後ほどお伝えします"));
        }
    }
    return lines.join(u'\n');
}

void japaneseDiff()
{
    QRandomGenerator random(20);
    const QString older = japanesePage(random);
    const QString newer = changedInside(older, random);
    QTemporaryDir data;
    QDir().mkpath(data.path() + QLatin1String("/news/20260105"));
    fixtures::writeFile(data.path() + QLatin1String("/news/vek.htm"), newer.toUtf8());
    fixtures::writeFile(data.path() + QLatin1String("/news/20260105/vek.htm"), older.toUtf8());
    fixtures::writeIni({{QStringLiteral("news"), QStringLiteral("http://127.0.0.1/")}}, {.dirName = data.path()});

    // The parts, on their own.
    QList<double> textMs, diffMs, marksMs;
    history::LineDiff diff;
    int marked = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const QStringList a = history::SplitLines(history::VisibleText(history::DecodePage(older.toUtf8()).text));
        const QStringList b = history::SplitLines(history::VisibleText(history::DecodePage(newer.toUtf8()).text));
        textMs << clock.nsecsElapsed() / 1e6;
        clock.start();
        diff = history::DiffLines(a, b);
        diffMs << clock.nsecsElapsed() / 1e6;
        clock.start();
        history::MarkChangedWords(diff);
        marksMs << clock.nsecsElapsed() / 1e6;
    }
    for (const history::DiffLine &line : std::as_const(diff.lines))
        marked += line.marks.isEmpty() ? 0 : 1;

    // The window: 「履歴」 clicked to the diff shown with its marks painted.
    QList<double> shownMs;
    int rows = 0;
    for (int round = 0; round < Rounds; ++round) {
        frm_vekmain window;
        showMainWindow(window);
        QElapsedTimer clock;
        clock.start();
        QWidget *history = clickHistory(window);
        waitForDiff(history);
        auto *table = history->findChild<QTableView *>(QStringLiteral("tbl_diff"));
        QCoreApplication::processEvents();
        table->viewport()->repaint();
        shownMs << clock.nsecsElapsed() / 1e6;
        rows = table->model()->rowCount();
        history->close();
    }
    std::printf("japanese: two pages of %lld bytes, %lld lines of visible text, %d added and %d removed, "
                "%d lines with marked words\n",
                qlonglong(older.toUtf8().size()), qlonglong(diff.lines.size() - diff.added), diff.added,
                diff.removed, marked);
    std::printf("japanese: both pages decoded and read as visible text %.1f ms, line diff %.1f ms, "
                "words marked %.1f ms (medians of %d)\n",
                median(textMs), median(diffMs), median(marksMs), Rounds);
    std::printf("japanese: 「履歴」 clicked to the diff of %d rows shown with its marks painted: %.1f ms "
                "(median of %d, target <= 300)\n",
                rows, median(shownMs), Rounds);
}

void quietPlatform(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtWarningMsg || !message.startsWith(QLatin1String("This plugin does not support")))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietPlatform);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QLatin1String("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    textDiff();
    openHistory();
    japaneseDiff();
    std::fflush(stdout);
    return 0;
}
