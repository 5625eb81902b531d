// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop notification after a run: the time from the run's end line to the notification
// server's receipt of it, on a bus of the benchmark's own, for a run clicked in the window and
// for `vekanto --run-all` in a child process (the end line read from its standard output).
//
//   bench_notify

#include "support/fixtures.h"
#include "support/private_bus.h"
#include "support/test_server.h"

#include "core/run/run_log.h"
#include "core/session.h"
#include "ui/frm_vekmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Rounds = 5;
const QString EndLine = QStringLiteral("＊＊＊ ダウンロード終了(");

// Answers the end box at once.
class BoxAnswerer : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched))
                QMetaObject::invokeMethod(box->button(QMessageBox::Ok), &QAbstractButton::click, Qt::QueuedConnection);
        }
        return false;
    }
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Three entries, one of whose pages changes each round, so every run has something to tell.
void prepare(const TestServer &server, const QString &dataDir, int round)
{
    fixtures::writeIni({{QStringLiteral("天気"), server.url(QStringLiteral("/weather")), {}},
                        {QStringLiteral("運行"), server.url(QStringLiteral("/train")), {}},
                        {QStringLiteral("株価"), server.url(QStringLiteral("/stock")), {}}},
                       {.dirName = dataDir});
    QDir().mkpath(dataDir + QStringLiteral("/天気"));
    fixtures::writeFile(dataDir + QStringLiteral("/天気/vek.htm"), QStringLiteral("<p>前の版 %1</p>").arg(round).toUtf8());
}

double windowRound(const TestServer &server, FakeNotifications &fake, const QString &dataDir, int round)
{
    prepare(server, dataDir, round);
    const qsizetype before = fake.received().size();
    frm_vekmain window;
    window.Form_Load();
    qint64 endAt = -1;
    QObject::connect(&window.session().log(), &RunLog::appended, &window, [&](const QString &text) {
        if (endAt < 0 && text.contains(EndLine))
            endAt = fake.elapsedMs();
    });
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("btn_dlstart"))->click();
    if (!QTest::qWaitFor([&] { return fake.received().size() > before; }, 30000))
        qFatal("the window's run sent no notification");
    window.session().run().abandon();
    return double(fake.received().constLast().atMs - endAt);
}

double commandLineRound(const TestServer &server, FakeNotifications &fake, const QString &dataDir,
                        const QString &address, int round)
{
    prepare(server, dataDir, round);
    const qsizetype before = fake.received().size();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    child.setProcessEnvironment(env);
    qint64 endAt = -1;
    QByteArray out;
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &child, [&] {
        out += child.readAllStandardOutput();
        if (endAt < 0 && QString::fromUtf8(out).contains(EndLine))
            endAt = fake.elapsedMs();
    });
    child.start(QStringLiteral(VEKANTO_EXE), {QStringLiteral("--run-all")});
    if (!QTest::qWaitFor([&] { return fake.received().size() > before; }, 30000))
        qFatal("--run-all sent no notification");
    const double ms = double(fake.received().constLast().atMs - endAt);
    // It waits for the action: the notification going away ends it.
    fake.close(fake.received().constLast().id, 1);
    if (!child.waitForFinished(10000))
        child.kill();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns of every window it cannot raise; the figures are what this
    // program prints.
    qputenv("QT_LOGGING_RULES", "default.warning=false;qt.qpa.*=false");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QLatin1String("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    BoxAnswerer boxes;
    app.installEventFilter(&boxes);

    PrivateBus bus;
    QString error;
    if (!bus.start(&error))
        qFatal("%s", qPrintable(error));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    FakeNotifications fake;
    if (!fake.start(bus.address()))
        qFatal("no notification server on the bus");
    TestServer server;
    if (!server.start())
        qFatal("no local server");
    server.setRoute(QStringLiteral("/weather"), {.body = QStringLiteral("<p>晴れ</p>").toUtf8()});
    server.setRoute(QStringLiteral("/train"), {.body = QStringLiteral("<p>平常運転</p>").toUtf8()});
    server.setRoute(QStringLiteral("/stock"), {.status = 503, .body = "busy"});
    const QString dataDir = home.path() + QLatin1String("/data");

    QList<double> window, commandLine;
    for (int round = 0; round < Rounds; ++round) {
        window << windowRound(server, fake, dataDir, round);
        commandLine << commandLineRound(server, fake, dataDir, bus.address(), round);
    }
    std::printf("notification: end line to the server, window's run: %.1f ms (median of %d, target <= 2000)\n",
                median(window), Rounds);
    std::printf("notification: end line to the server, --run-all: %.1f ms (median of %d, target <= 2000)\n",
                median(commandLine), Rounds);
    return 0;
}
