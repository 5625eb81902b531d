// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/hostile_routes.h"
#include "support/run_driver.h"
#include "support/test_server.h"

#include "platform/vbtimer.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace rundriver;

namespace {

enum class Outcome { Stored, Skipped, TimedOut, Failed, FolderFailed };

const QString Connecting = QStringLiteral("接続開始");
const QString Resolving = QStringLiteral("IP アドレスを調べています");
const QString Requesting = QStringLiteral("要求を送信しています");
const QString Receiving = QStringLiteral("応答を受信しています");
const QString Idle = QStringLiteral("接続無し");

QByteArray binaryBody()
{
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.append(char(i % 256));
    return bytes;
}

QByteArray bigBody()
{
    QByteArray bytes(2 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char('a' + (i * 7 + i / 1000) % 26);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

// One full run of the core over a list that holds every kind of entry and answer, against a local server.
class TestEngine : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    QTemporaryDir m_data;
    std::unique_ptr<Program> m_program;
    bool m_ran = false;
    bool m_ended = false;

    QString dataDir() const { return m_data.path() + QLatin1String("/data"); }

    QList<Entry> entries() const
    {
        return {
            {QStringLiteral("plain"), m_server.url(QStringLiteral("/plain")), {}},
            {QStringLiteral("noaddress"), {}, {}},
            {QStringLiteral("short"), QStringLiteral("http://"), {}},
            {QStringLiteral("dated"), m_server.url(QStringLiteral("/d/")), QStringLiteral("%0y%0m%0d.html")},
            {QStringLiteral("upper"), m_server.url(QStringLiteral("/e/")), QStringLiteral("%Y-%M-%D")},
            {QStringLiteral("emptybody"), m_server.url(QStringLiteral("/empty")), {}},
            {QStringLiteral("binary"), m_server.url(QStringLiteral("/bin")), {}},
            {QStringLiteral("big"), m_server.url(QStringLiteral("/big")), {}},
            {QStringLiteral("missing"), m_server.url(QStringLiteral("/missing")), {}},
            {QStringLiteral("hang"), m_server.url(QStringLiteral("/hang")), {}},
            {QStringLiteral("reset"), m_server.url(QStringLiteral("/reset")), {}},
            {QStringLiteral("ftp"), QStringLiteral("ftp://127.0.0.1/x.htm"), {}},
            {QStringLiteral("blocked"), m_server.url(QStringLiteral("/blocked")), {}},
            {QStringLiteral("日本語ページ"), m_server.url(QStringLiteral("/jp")), {}},
            {QStringLiteral("gzipped"), m_server.url(QStringLiteral("/gz")), {}},
            {QStringLiteral("gzipbig"), m_server.url(QStringLiteral("/gzbig")), {}},
            {QStringLiteral("badgzip"), m_server.url(QStringLiteral("/badgz")), {}},
        };
    }

    // The run happens once; every test below looks at a part of it.
    void ensureRun()
    {
        if (m_ran)
            return;
        m_ran = true;
        writeIni(entries(), {.dirName = dataDir(), .timeout = QStringLiteral("2")});
        m_program = std::make_unique<Program>();
        m_ended = m_program->runAll(30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        QVERIFY(QDir().mkpath(dataDir()));
        // A file where the folder of "blocked" should go: its folder cannot be made.
        QVERIFY(writeFile(dataDir() + QLatin1String("/blocked"), "not a folder"));
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/plain"), {.body = "<html>plain</html>"});
        m_server.setRoute(QStringLiteral("/d/20310704.html"), {.body = "dated page"});
        m_server.setRoute(QStringLiteral("/e/31-7-4"), {.body = "upper-case tokens"});
        m_server.setRoute(QStringLiteral("/empty"), {.body = ""});
        m_server.setRoute(QStringLiteral("/bin"), {.body = binaryBody(), .contentType = "application/octet-stream"});
        m_server.setRoute(QStringLiteral("/big"), {.body = bigBody()});
        m_server.setRoute(QStringLiteral("/hang"), {.hang = true});
        m_server.setRoute(QStringLiteral("/reset"), {.reset = true});
        m_server.setRoute(QStringLiteral("/blocked"), {.body = "never stored"});
        m_server.setRoute(QStringLiteral("/jp"), {.body = "\x93\xfa\x96\x7b"});
        // Compressed although nothing compressed was asked for.
        const QList<QPair<QByteArray, QByteArray>> gzipped{{"Content-Encoding", "gzip"}};
        m_server.setRoute(QStringLiteral("/gz"), {.body = hostile::gzip("<html>圧縮</html>"), .headers = gzipped});
        m_server.setRoute(QStringLiteral("/gzbig"), {.body = hostile::gzip(bigBody()), .headers = gzipped});
        m_server.setRoute(QStringLiteral("/badgz"), {.body = "<html>not gzip</html>", .headers = gzipped});
    }

    void cleanupTestCase()
    {
        m_program.reset();
        m_server.stop();
        vclock::reset();
    }

    void runEnds()
    {
        ensureRun();
        QVERIFY(m_ended);
        QCOMPARE(m_program->finished, 1);
        for (int slot = 1; slot <= 10; ++slot) {
            QCOMPARE(m_program->run().connections().SlotBusy(slot), 0);
            QCOMPARE(m_program->run().connections().SlotEntry(slot), 0);
        }
        // An ended run's timer has stopped, not just gone quiet behind the tick's guard.
        QSignalSpy ticks(m_program->run().Timer1(), &VbTimer::Timer);
        QTest::qWait(2 * DownloadRun::TickMs + 100);
        QCOMPARE(ticks.count(), 0);
    }

    void entry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("statusLines");

        const auto seq = [](const QString &name, const QStringList &states, bool idle) {
            QStringList texts;
            for (const QString &s : states)
                texts << s + QLatin1String(" (") + name + QLatin1Char(')');
            if (idle)
                texts << Idle;
            return texts;
        };
        const QStringList full = {Connecting, Resolving, Requesting, Receiving};
        const auto stored = [&](const char *row, const QString &name, const char *path, const QByteArray &body) {
            QTest::newRow(row) << name << Outcome::Stored << QString::fromLatin1(path) << body
                               << seq(name, full, true);
        };
        stored("plain page", QStringLiteral("plain"), "/plain", "<html>plain</html>");
        stored("rule with padded date tokens", QStringLiteral("dated"), "/d/20310704.html", "dated page");
        stored("rule with upper-case tokens", QStringLiteral("upper"), "/e/31-7-4", "upper-case tokens");
        stored("empty body", QStringLiteral("emptybody"), "/empty", "");
        stored("binary body with NUL bytes", QStringLiteral("binary"), "/bin", binaryBody());
        stored("2 MB body cut at 1,024,000 bytes", QStringLiteral("big"), "/big", bigBody().left(1024000));
        QTest::newRow("404 page: error, never stored")
            << QStringLiteral("missing") << Outcome::Failed << QStringLiteral("/missing") << QByteArray()
            << seq(QStringLiteral("missing"), full, false);
        stored("japanese name", QStringLiteral("日本語ページ"), "/jp", "\x93\xfa\x96\x7b");
        stored("gzip page stored as a browser shows it", QStringLiteral("gzipped"), "/gz", "<html>圧縮</html>");
        stored("gzip page of 2 MB cut at 1,024,000 decoded bytes", QStringLiteral("gzipbig"), "/gzbig",
               bigBody().left(1024000));
        QTest::newRow("labelled gzip, not gzip: error, never stored")
            << QStringLiteral("badgzip") << Outcome::Failed << QStringLiteral("/badgz") << QByteArray()
            << seq(QStringLiteral("badgzip"), full, false);
        QTest::newRow("empty address skipped")
            << QStringLiteral("noaddress") << Outcome::Skipped << QString() << QByteArray() << QStringList();
        QTest::newRow("address under 8 characters skipped")
            << QStringLiteral("short") << Outcome::Skipped << QString() << QByteArray() << QStringList();
        QTest::newRow("server never answers: time-out")
            << QStringLiteral("hang") << Outcome::TimedOut << QStringLiteral("/hang") << QByteArray()
            << seq(QStringLiteral("hang"), {Connecting, Resolving, Requesting}, false);
        QTest::newRow("connection reset: error")
            << QStringLiteral("reset") << Outcome::Failed << QStringLiteral("/reset") << QByteArray()
            << seq(QStringLiteral("reset"), {Connecting, Resolving, Requesting}, false);
        QTest::newRow("ftp address: error, no request")
            << QStringLiteral("ftp") << Outcome::Failed << QString() << QByteArray()
            << seq(QStringLiteral("ftp"), {Connecting, Resolving}, false);
        QTest::newRow("folder cannot be made: logged, run goes on")
            << QStringLiteral("blocked") << Outcome::FolderFailed << QStringLiteral("/blocked") << QByteArray()
            << seq(QStringLiteral("blocked"), full, true);
    }

    void entry()
    {
        QFETCH(QString, name);
        QFETCH(Outcome, outcome);
        QFETCH(QString, path);
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, statusLines);
        ensureRun();
        QVERIFY(m_ended);

        const QStringList log = lines(m_program->log());
        const int starts = countOf(log, entryLine(name, QStringLiteral(" からダウンロード開始(")));
        const int ends = countOf(log, entryLine(name, QStringLiteral(" のダウンロード終了(")));
        const int timeouts = countOf(log, entryLine(name, QStringLiteral(" のダウンロードをタイムオーバーにより中止しました(")));
        const int failures = countOf(log, entryLine(name, QStringLiteral(" のダウンロードに失敗しました("), true));
        const int folderFailures = countOf(log, entryLine(name, QStringLiteral(" のフォルダを作成できませんでした("), true));
        QCOMPARE(starts, outcome == Outcome::Skipped ? 0 : 1);
        QCOMPARE(ends, outcome == Outcome::Stored ? 1 : 0);
        QCOMPARE(timeouts, outcome == Outcome::TimedOut ? 1 : 0);
        QCOMPARE(failures, outcome == Outcome::Failed ? 1 : 0);
        QCOMPARE(folderFailures, outcome == Outcome::FolderFailed ? 1 : 0);

        QCOMPARE(m_server.requestedPaths().contains(path), !path.isEmpty());

        const QString page = dataDir() + QLatin1Char('/') + name + QLatin1String("/vek.htm");
        QCOMPARE(QFileInfo::exists(page), outcome == Outcome::Stored);
        if (outcome == Outcome::Stored) {
            QCOMPARE(readFile(page), stored);
            // A first download makes no dated folder; what its server said is kept beside it.
            QCOMPARE(QDir(dataDir() + QLatin1Char('/') + name).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{QStringLiteral("vek-http.txt"), QStringLiteral("vek.htm")}));
        }

        int slot = 0;
        const qsizetype from = m_program->startOf(name, &slot);
        QCOMPARE(from >= 0, outcome != Outcome::Skipped);
        if (from >= 0)
            QCOMPARE(m_program->statusesFrom(slot, from), statusLines);
    }

    void logHasEveryLineInOrder()
    {
        ensureRun();
        QVERIFY(m_ended);
        const QStringList log = lines(m_program->log());
        QVERIFY2(log.size() > 6, qPrintable(m_program->log()));
        QCOMPARE(log.at(0), QString());
        QVERIFY2(runStartLine().match(log.at(1)).hasMatch(), qPrintable(log.at(1)));
        QCOMPARE(log.at(2), QString());
        QCOMPARE(log.at(log.size() - 2), QString());
        QVERIFY2(runEndLine().match(log.last()).hasMatch(), qPrintable(log.last()));

        // Between them, only the lines of the entries, and the starts in list order.
        const QStringList texts = {
            QStringLiteral(" からダウンロード開始("), QStringLiteral(" のダウンロード終了("),
            QStringLiteral(" のダウンロードをタイムオーバーにより中止しました("),
            QStringLiteral(" のページは 1,024,000 バイトを超えていたため、先頭の 1,024,000 バイトだけを保存しました(")};
        int lastStart = 0;
        for (const Entry &e : entries()) {
            const int at = indexOf(log, entryLine(e.name, texts.at(0)));
            if (at < 0)
                continue;
            QVERIFY2(at > lastStart, qPrintable(e.name));
            lastStart = at;
        }
        for (int i = 3; i < log.size() - 2; ++i) {
            bool known = false;
            for (const Entry &e : entries()) {
                for (const QString &t : texts)
                    known = known || entryLine(e.name, t).match(log.at(i)).hasMatch();
                known = known || log.at(i).startsWith(e.name + QStringLiteral(" のダウンロードに失敗しました("))
                        || log.at(i).startsWith(e.name + QStringLiteral(" のフォルダを作成できませんでした("));
            }
            QVERIFY2(known, qPrintable(log.at(i)));
        }
        // Only the pages over the limit say they were cut, also when the limit fell in the decoded page.
        QCOMPARE(countOf(log, QRegularExpression(QStringLiteral("のページは 1,024,000 バイトを超えていた"))), 2);
        QCOMPARE(countOf(log, entryLine(QStringLiteral("big"), texts.at(3))), 1);
        QCOMPARE(countOf(log, entryLine(QStringLiteral("gzipbig"), texts.at(3))), 1);
    }

    void counterShowsCursorAndCount()
    {
        ensureRun();
        QCOMPARE(m_program->counter, QStringLiteral("%1/%1").arg(entries().size()));
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngine)
#include "tst_engine.moc"
