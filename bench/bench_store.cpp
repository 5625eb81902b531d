// SPDX-License-Identifier: GPL-3.0-or-later
// What unchanged pages cost, side by side with what they cost before:
//  (a) `vekanto --run-all` twice over 99 pages of 1,000,000 bytes on a server that honours
//      ETags: the body bytes the second run receives against the first's;
//  (b) 99 entries stored every day for 365 days through the page store, pages of 200 KB of
//      which 5% change each day: the data folder on disk (`du`, a file with several names
//      counted once) against the same folders with every dated copy a file of its own.
//
//   bench_store [--quick]   (--quick: 20 entries, 60 days)

#include "support/test_server.h"

#include "core/settings/settings_file.h"
#include "core/store/page_info.h"
#include "core/store/page_store.h"
#include "platform/codepage.h"
#include "platform/windir.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

#include <sys/stat.h>

namespace {

void writeIni(int entries, const TestServer &server, const QString &dataDir)
{
    QString text = QStringLiteral("[DATA]\r\n");
    for (int n = 1; n <= entries; ++n)
        text += QStringLiteral("TEXT%1=b%1\r\nNIP%1=%2\r\nCIP%1=\r\nROOT%1=0\r\nnname%1=0\r\n")
                    .arg(n)
                    .arg(server.url(QStringLiteral("/page/%1").arg(n)));
    text += QStringLiteral("[Option]\r\ndirname=%1\r\nlogsw=0\r\ndtime=60\r\n").arg(dataDir);
    QFile f(settingsfile::defaultPath(GetWindowsDirectory()));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write vek.ini");
    f.write(codepage::toAnsi(text));
}

QByteArray randomPage(std::mt19937 &random, qsizetype size)
{
    QByteArray page(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        page[i] = char('a' + random() % 26);
    return page;
}

// One --run-all to its end: the body bytes the server sent meanwhile.
qint64 runAll(TestServer &server)
{
    server.clearRequests();
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        headless.remove(QLatin1String(name));
    QProcess child;
    child.setProcessEnvironment(headless);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(QStringLiteral(VEKANTO_EXE), {QStringLiteral("--run-all")});
    if (!child.waitForStarted() || !child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("--run-all did not end well");
    return server.bodyBytesSent();
}

void conditionalRuns(int entries)
{
    TestServer server;
    if (!server.start())
        qFatal("no local server");
    std::mt19937 random(23);
    for (int n = 1; n <= entries; ++n)
        server.setRoute(QStringLiteral("/page/%1").arg(n),
                        {.body = randomPage(random, 1000000), .etag = "\"v1-" + QByteArray::number(n) + '"'});
    QTemporaryDir data;
    writeIni(entries, server, data.path());
    const qint64 first = runAll(server);
    const qint64 second = runAll(server);
    std::printf("run-all: %d unchanged pages of 1,000,000 bytes, body bytes received: first run %lld, "
                "second run %lld (%.4f%% of the first; target <= 1%%)\n",
                entries, first, second, 100.0 * double(second) / double(first));
    server.stop();
}

struct Usage {
    // On disk: every file once however many names it has, the folders included.
    qint64 disk = 0;
    // The same with every name a file of its own, as full copies take it.
    qint64 fullCopies = 0;
    qint64 names = 0;
};

Usage usage(const QString &root)
{
    Usage u;
    QSet<QPair<dev_t, ino_t>> seen;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    struct stat st {};
    if (::lstat(QFile::encodeName(root).constData(), &st) == 0)
        u.disk = u.fullCopies = st.st_blocks * 512;
    while (it.hasNext()) {
        if (::lstat(QFile::encodeName(it.next()).constData(), &st) != 0)
            continue;
        const qint64 bytes = qint64(st.st_blocks) * 512;
        u.fullCopies += bytes;
        if (S_ISREG(st.st_mode))
            ++u.names;
        if (!seen.contains({st.st_dev, st.st_ino})) {
            seen.insert({st.st_dev, st.st_ino});
            u.disk += bytes;
        }
    }
    return u;
}

// `du -sB1`, which counts a file of several names once, for the record.
qint64 du(const QString &root)
{
    QProcess p;
    p.start(QStringLiteral("du"), {QStringLiteral("-sB1"), root});
    if (!p.waitForFinished(600000))
        return -1;
    return p.readAllStandardOutput().split('\t').value(0).toLongLong();
}

void dailyStores(int entries, int days)
{
    constexpr qsizetype PageSize = 200 * 1024;
    QTemporaryDir data;
    std::mt19937 random(365);
    std::bernoulli_distribution changes(0.05);
    QList<QByteArray> pages;
    for (int n = 0; n < entries; ++n)
        pages << randomPage(random, PageSize);
    const QDate first(2031, 1, 1);
    int changed = 0;
    QElapsedTimer clock;
    clock.start();
    for (int day = 0; day < days; ++day) {
        for (int n = 0; n < entries; ++n) {
            if (day > 0 && changes(random)) {
                pages[n] = randomPage(random, PageSize);
                ++changed;
            }
            const pagestore::Stored stored =
                pagestore::StorePage(data.path(), QStringLiteral("e%1").arg(n + 1), first.addDays(day),
                                     {.body = pages[n],
                                      .address = QStringLiteral("http://example.test/%1").arg(n + 1),
                                      .etag = "\"" + pagestore::PageHash(pages[n]).left(16) + '"',
                                      .contentType = "text/html; charset=Shift_JIS"});
            if (stored.failure != pagestore::Failure::None)
                qFatal("store failed: %s", qPrintable(stored.detail));
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const Usage u = usage(data.path());
    std::printf("store: %d entries x %d daily stores of %lld-byte pages, %d changed: %.1f s (%.2f ms a store)\n",
                entries, days, qint64(PageSize), changed, seconds, seconds * 1000 / (entries * days));
    std::printf("store: %lld page files; data folder on disk %.1f MB (du -sB1: %.1f MB), with every dated copy "
                "a file of its own %.1f MB: %.2f%% (target <= 10%%)\n",
                u.names, u.disk / 1e6, du(data.path()) / 1e6, u.fullCopies / 1e6,
                100.0 * double(u.disk) / double(u.fullCopies));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    conditionalRuns(quick ? 20 : 99);
    dailyStores(quick ? 20 : 99, quick ? 60 : 365);
    std::fflush(stdout);
    return 0;
}
