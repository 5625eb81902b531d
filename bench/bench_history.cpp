// The history: the line diff of two 1 MB pages that differ in 1% of their lines, and the
// history window of an entry with 365 dated copies opened from the main window, to its shown
// list and then to its first diff.
//
//   bench_history

#include "support/fixtures.h"

#include "core/history/line_diff.h"
#include "core/history/page_decoding.h"
#include "ui/frm_vekmain.h"
#include "ui/history/page_plain_text.h"
#include "ui/platform/tree_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
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
        window.Form_Load();
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("the main window is not shown");
        QElapsedTimer clock;
        clock.start();
        window.findChild<QPushButton *>(QStringLiteral("btn_history"))->click();
        QWidget *history = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("frm_history") && w->isVisible())
                history = w;
        }
        if (!history)
            qFatal("no history window");
        listed = history->findChild<QTreeWidget *>(QStringLiteral("lst_versions"))->topLevelItemCount();
        listMs << clock.nsecsElapsed() / 1e6;
        auto *counts = history->findChild<QLabel *>(QStringLiteral("lbl_counts"));
        while (counts->text().isEmpty())
            QCoreApplication::processEvents();
        diffMs << clock.nsecsElapsed() / 1e6;
        history->close();
    }
    std::printf("history: %d versions of a page of %lld bytes listed and the window shown: %.1f ms "
                "(median of %d, target < 300)\n", listed, qlonglong(pageBytes), median(listMs), Rounds);
    std::printf("history: ... and the newest compared with the one before: %.1f ms\n", median(diffMs));
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
    std::fflush(stdout);
    return 0;
}
