// SPDX-License-Identifier: GPL-3.0-or-later
// Full runs against a local server: how close a run comes to its floor of one entry per
// 500 ms tick plus the final tick, how much the peak memory of a run of 1 MB pages grows over
// the idle program, and how long start-up takes with a full list. Then `vekanto --run-all` as
// a child process: its time against the same floor, from its start to its first request, and
// its peak memory next to a window's run in a child process of its own. Last, the pace per
// server (hostpace=1): 99 pages on 99 loopback addresses against `curl -Z --parallel-max 10` on
// the same addresses, 99 pages on one address against the floor with the gaps between the
// requests the server saw, and the same 99 addresses with the option off against the floor.
//
//   bench_run [--quick]     (--quick: 20-entry runs only)
//   bench_run --pace        (the pace per server alone)
//   bench_run --click-run   (the window's child: one clicked run over vek.ini, then exit)

#include "support/test_server.h"

#include "core/settings/settings_file.h"
#include "platform/codepage.h"
#include "platform/windir.h"
#include "ui/frm_VEKDL.h"
#include "ui/frm_vekmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int TickMs = 500;

// kB figures of /proc/<pid>/status.
qint64 statusKb(const char *key, const QString &pid = QStringLiteral("self"))
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) afresh at the current resident size.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// Answers the end box at once and notes when it came up: that moment ends the run.
class EndBox : public QObject
{
public:
    QElapsedTimer clock;
    qint64 shownAtMs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                if (shownAtMs < 0)
                    shownAtMs = clock.elapsed();
                QMetaObject::invokeMethod(box->button(QMessageBox::Ok), &QAbstractButton::click,
                                          Qt::QueuedConnection);
            }
        }
        return false;
    }
};

// One entry per address, with the options' extra lines.
void writeIni(const QStringList &urls, const QString &dataDir, const QString &extra = {})
{
    QString text = QStringLiteral("[DATA]\r\n");
    for (int n = 1; n <= urls.size(); ++n)
        text += QStringLiteral("TEXT%1=b%1\r\nNIP%1=%2\r\nCIP%1=\r\nROOT%1=0\r\nnname%1=0\r\n").arg(n).arg(urls[n - 1]);
    text += QStringLiteral("[Option]\r\ndirname=%1\r\nlogsw=0\r\ndtime=60\r\n").arg(dataDir) + extra;
    QFile f(settingsfile::defaultPath(GetWindowsDirectory()));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write vek.ini");
    f.write(codepage::toAnsi(text));
}

void writeIni(int entries, const QString &url, const QString &dataDir)
{
    writeIni(QStringList(entries, url), dataDir);
}

// Clicks "全てダウンロード" and waits for the end box: ms from the click to the box.
qint64 clickRunAll(frm_vekmain &window)
{
    EndBox end;
    qApp->installEventFilter(&end);
    end.clock.start();
    window.findChild<QPushButton *>(QStringLiteral("btn_dlstart"))->click();
    while (end.shownAtMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // The box is answered by a queued click.
    QTest::qWait(100);
    qApp->removeEventFilter(&end);
    return end.shownAtMs;
}

struct RunResult {
    double seconds = 0;
    double floorSeconds = 0;
    qint64 idleRssKb = 0;
    qint64 peakKb = 0;
};

RunResult fullRun(TestServer &server, const QString &path, int entries, bool measureMemory)
{
    QTemporaryDir data;
    writeIni(entries, server.url(path), data.path());
    frm_vekmain window;
    window.Form_Load();
    window.Progress();
    // Let start-up settle before the idle figure is taken.
    QTest::qWait(300);

    RunResult r;
    if (measureMemory) {
        resetPeak();
        r.idleRssKb = statusKb("VmRSS:");
    }
    r.seconds = clickRunAll(window) / 1000.0;
    r.floorSeconds = (entries + 1) * TickMs / 1000.0;
    if (measureMemory)
        r.peakKb = statusKb("VmHWM:");
    window.Progress()->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    return r;
}

// Start-up as the user meets it: the window made and the list of `entries` loaded into it.
double startUpMs(TestServer &server, int entries)
{
    QTemporaryDir data;
    writeIni(entries, server.url(QStringLiteral("/small")), data.path());
    constexpr int Rounds = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Rounds; ++i) {
        frm_vekmain window;
        window.Form_Load();
    }
    return clock.nsecsElapsed() / 1e6 / Rounds;
}

struct ChildResult {
    double seconds = 0;
    double firstRequestMs = -1;
    qint64 peakKb = -1;
};

// A child process over vek.ini as written, watched from its start to its exit: when the
// server sees its first request, and its peak resident size (VmHWM only grows, so the last
// reading before it exits is the peak).
ChildResult watchChild(TestServer &server, const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &env)
{
    server.clearRequests();
    QProcess child;
    child.setProcessEnvironment(env);
    child.setStandardOutputFile(QProcess::nullDevice());
    ChildResult r;
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForStarted())
        qFatal("cannot start %s", qPrintable(program));
    const QString pid = QString::number(child.processId());
    while (!child.waitForFinished(1)) {
        if (r.firstRequestMs < 0 && server.requestCount() > 0)
            r.firstRequestMs = clock.nsecsElapsed() / 1e6;
        const qint64 peak = statusKb("VmHWM:", pid);
        if (peak > 0)
            r.peakKb = peak;
    }
    r.seconds = clock.nsecsElapsed() / 1e9;
    return r;
}

// The window's clicked run, alone in this process.
int clickRun()
{
    frm_vekmain window;
    window.Form_Load();
    clickRunAll(window);
    return 0;
}

// The unattended run's environment: no display at all.
QProcessEnvironment headlessEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    return env;
}

void runAllAgainstWindow(TestServer &server, int entries)
{
    QTemporaryDir data;
    writeIni(entries, server.url(QStringLiteral("/mb")), data.path());
    const double floorSeconds = (entries + 1) * TickMs / 1000.0;

    const ChildResult runAll =
        watchChild(server, QStringLiteral(VEKANTO_EXE), {QStringLiteral("--run-all")}, headlessEnvironment());
    const ChildResult window = watchChild(server, QCoreApplication::applicationFilePath(),
                                          {QStringLiteral("--click-run")},
                                          QProcessEnvironment::systemEnvironment());
    std::printf("run-all: %d entries of 1,000,000 bytes, start to exit: %.3f s, floor %.3f s, ratio %.4f "
                "(target <= 1.02)\n",
                entries, runAll.seconds, floorSeconds, runAll.seconds / floorSeconds);
    std::printf("run-all: start to first request: %.1f ms (the first tick comes %d ms after the start)\n",
                runAll.firstRequestMs, TickMs);
    std::printf("memory: %d entries of 1,000,000 bytes, peak of the whole process (VmHWM): "
                "--run-all %.1f MB, window %.1f MB\n",
                entries, runAll.peakKb / 1024.0, window.peakKb / 1024.0);
}


// Seconds from the start of a child process to its exit, and its exit status.
std::pair<double, int> timeChild(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessEnvironment(headlessEnvironment());
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForStarted() || !child.waitForFinished(-1))
        qFatal("cannot run %s", qPrintable(program));
    return {clock.nsecsElapsed() / 1e9, child.exitCode()};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The pace per server, by `vekanto --run-all` as a child process.
void pacePerServer()
{
    constexpr int Entries = 99;
    constexpr int DelayMs = 200;
    constexpr int Rounds = 3;
    const TestServer::Response page{.body = QByteArray(1024, 'p'), .delayMs = DelayMs};
    std::vector<std::unique_ptr<TestServer>> hosts;
    QStringList spread;
    for (int i = 0; i < Entries; ++i) {
        hosts.push_back(std::make_unique<TestServer>());
        if (!hosts.back()->start(QStringLiteral("127.0.0.%1").arg(i + 2)))
            qFatal("no server on 127.0.0.%d", i + 2);
        hosts.back()->setRoute(QStringLiteral("/page"), page);
        spread << hosts.back()->url(QStringLiteral("/page"));
    }
    const double floorSeconds = (Entries + 1) * TickMs / 1000.0;
    const QString vekanto = QStringLiteral(VEKANTO_EXE);
    QTemporaryDir data;

    // 99 addresses: the same pages fetched ten at a time by curl and by the run, turn about.
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    writeIni(spread, data.path(), QStringLiteral("hostpace=1\r\n"));
    std::vector<double> runs, curls;
    for (int round = 0; round < Rounds; ++round) {
        const auto [seconds, status] = timeChild(vekanto, {QStringLiteral("--run-all")});
        if (status != 0)
            qFatal("--run-all ended with %d", status);
        runs.push_back(seconds);
        if (curl.isEmpty())
            continue;
        QStringList arguments{QStringLiteral("-Z"), QStringLiteral("--parallel-max"), QStringLiteral("10"),
                              QStringLiteral("-s")};
        for (const QString &url : spread)
            arguments << QStringLiteral("-o") << QStringLiteral("/dev/null") << url;
        curls.push_back(timeChild(curl, arguments).first);
    }
    if (curl.isEmpty()) {
        std::printf("pace:   99 pages on 99 addresses, hostpace=1: --run-all %.3f s (median of %d); no curl to "
                    "compare with (tools/setup.sh: BENCH_PACKAGES)\n",
                    median(runs), Rounds);
    } else {
        std::printf("pace:   99 pages on 99 addresses, %d ms each, hostpace=1: --run-all %.3f s, curl -Z "
                    "--parallel-max 10 %.3f s (medians of %d), ratio %.3f (target <= 1.2)\n",
                    DelayMs, median(runs), median(curls), Rounds, median(runs) / median(curls));
    }

    // One address: the server's own clock tells the gaps between the requests it read.
    TestServer &one = *hosts.front();
    one.clearRequests();
    writeIni(QStringList(Entries, one.url(QStringLiteral("/page"))), data.path(), QStringLiteral("hostpace=1\r\n"));
    const double oneSeconds = timeChild(vekanto, {QStringLiteral("--run-all")}).first;
    std::vector<qint64> arrived;
    for (const TestServer::Request &r : one.requests())
        arrived.push_back(r.arrivedNs);
    std::sort(arrived.begin(), arrived.end());
    qint64 closest = std::numeric_limits<qint64>::max();
    for (size_t i = 1; i < arrived.size(); ++i)
        closest = qMin(closest, arrived[i] - arrived[i - 1]);
    std::printf("pace:   99 pages on one address, hostpace=1: --run-all %.3f s, floor %.3f s, ratio %.4f "
                "(target <= 1.02); %lld requests, the closest two %.3f ms apart as they reached the server\n",
                oneSeconds, floorSeconds, oneSeconds / floorSeconds, static_cast<long long>(arrived.size()),
                closest / 1e6);

    // The option off: one entry per tick, whatever the servers.
    writeIni(spread, data.path());
    const double offSeconds = timeChild(vekanto, {QStringLiteral("--run-all")}).first;
    std::printf("pace:   99 pages on 99 addresses, option off: --run-all %.3f s, floor %.3f s, ratio %.4f "
                "(target <= 1.02)\n",
                offSeconds, floorSeconds, offSeconds / floorSeconds);
}
} // namespace

// The offscreen platform warns on every window it cannot raise or size; the figures are
// what this program prints.
void quietPlatform(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtWarningMsg || !message.startsWith(QLatin1String("This plugin does not support")))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietPlatform);
    // Runs tell the desktop what they did; a benchmark tells no one, not even a child.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vekanto-bench");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 2 && qstrcmp(argv[1], "--click-run") == 0) {
        QApplication app(argc, argv);
        return clickRun();
    }
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QLatin1String("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    if (app.arguments().contains(QStringLiteral("--pace"))) {
        pacePerServer();
        std::fflush(stdout);
        return 0;
    }

    TestServer server;
    if (!server.start())
        qFatal("no local server");
    server.setRoute(QStringLiteral("/small"), {.body = QByteArray(1024, 'p')});
    server.setRoute(QStringLiteral("/mb"), {.body = QByteArray(1000000, 'm')});

    std::printf("start-up: window and a list of 99 entries loaded: %.1f ms (target < 50)\n",
                startUpMs(server, 99));
    // Memory first, while the process has not yet held more than the idle program.
    if (!quick) {
        const RunResult m = fullRun(server, QStringLiteral("/mb"), 99, true);
        std::printf("memory: 99 entries of 1,000,000 bytes: idle VmRSS %.1f MB, run VmHWM %.1f MB, "
                    "growth %.1f MB (target <= 15)\n",
                    m.idleRssKb / 1024.0, m.peakKb / 1024.0, (m.peakKb - m.idleRssKb) / 1024.0);
        std::printf("time:   99 entries of 1,000,000 bytes: %.3f s, floor %.3f s, ratio %.4f\n",
                    m.seconds, m.floorSeconds, m.seconds / m.floorSeconds);
    }
    for (int entries : quick ? QList<int>{20} : QList<int>{20, 99}) {
        const RunResult r = fullRun(server, QStringLiteral("/small"), entries, false);
        std::printf("time:   %d entries of 1 KB: %.3f s, floor %.3f s, ratio %.4f (target <= 1.02)\n",
                    entries, r.seconds, r.floorSeconds, r.seconds / r.floorSeconds);
    }
    if (!quick) {
        runAllAgainstWindow(server, 99);
        pacePerServer();
    }
    std::fflush(stdout);
    server.stop();
    return 0;
}
