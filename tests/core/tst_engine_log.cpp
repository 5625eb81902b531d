#include "support/core_testmain.h"
#include "support/run_driver.h"
#include "support/test_server.h"

#include "core/run/run_log.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace rundriver;

// The log file: written when the progress window is closed, as one quoted CP932 record, and
// read back by the next start-up.
class TestEngineLog : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString logPath() const { return m_dir->path() + QLatin1String("/VEKLOG.txt"); }

    void writeSettings(bool keepLog, const QString &path)
    {
        writeIni({{QStringLiteral("引用\"符\""), m_server.url(QStringLiteral("/q")), {}}},
                 {.dirName = m_dir->path(), .keepLog = keepLog, .logPath = path});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/q"), {.body = "q"});
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanupTestCase() { m_server.stop(); }

    void record_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QString() << QByteArray("\"\"\r\n");
        QTest::newRow("plain") << QStringLiteral("\r\nabc") << QByteArray("\"\r\nabc\"\r\n");
        QTest::newRow("one quote") << QStringLiteral("a\"b") << QByteArray("\"a\"\"b\"\r\n");
        QTest::newRow("quotes at both ends") << QStringLiteral("\"x\"") << QByteArray("\"\"\"x\"\"\"\r\n");
        QTest::newRow("comma") << QStringLiteral("a,b") << QByteArray("\"a,b\"\r\n");
        QTest::newRow("japanese in CP932") << QStringLiteral("＊＊＊ 日本") << QByteArray("\"\x81\x96\x81\x96\x81\x96 \x93\xfa\x96\x7b\"\r\n");
        QTest::newRow("outside the code page") << QStringLiteral("a\U0001F600b") << QByteArray("\"a?b\"\r\n");
    }

    void record()
    {
        QFETCH(QString, log);
        QFETCH(QByteArray, bytes);
        QCOMPARE(runlog::EncodeRecord(log), bytes);
        QCOMPARE(runlog::FirstField(codepage::fromAnsi(bytes)), codepage::roundTrip(log));
    }

    void firstField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("unquoted up to comma") << QStringLiteral("abc,def") << QStringLiteral("abc");
        QTest::newRow("unquoted up to line end") << QStringLiteral("abc\r\ndef") << QStringLiteral("abc");
        QTest::newRow("quoted over lines") << QStringLiteral("\"a\r\nb\"\r\n") << QStringLiteral("a\r\nb");
        QTest::newRow("quoted with comma") << QStringLiteral("\"a,b\",c") << QStringLiteral("a,b");
        QTest::newRow("doubled quotes") << QStringLiteral("\"say \"\"hi\"\"\"") << QStringLiteral("say \"hi\"");
        QTest::newRow("blanks before the quote") << QStringLiteral("  \"a\"") << QStringLiteral("a");
        QTest::newRow("no closing quote") << QStringLiteral("\"open") << QStringLiteral("open");
        QTest::newRow("empty file") << QString() << QString();
    }

    void firstField()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(runlog::FirstField(text), field);
    }

    // OK writes the whole log; the next start-up seeds the log from it, and the next OK
    // writes the seeded text and the new run together.
    void okWritesAndStartUpSeeds()
    {
        writeSettings(true, logPath());
        QString first;
        QString error;
        {
            Program program;
            QVERIFY(program.session.options().logOn);
            QCOMPARE(program.log(), QString());
            QVERIFY(program.runAll(5000));
            QVERIFY(!QFileInfo::exists(logPath()));
            QVERIFY2(program.session.writeLogFile(&error), qPrintable(error));
            first = program.log();
            QVERIFY(first.contains(QStringLiteral("引用\"符\" のダウンロード終了(")));
            const QByteArray bytes = readFile(logPath());
            QCOMPARE(bytes, runlog::EncodeRecord(first));
            QVERIFY(bytes.contains("\x88\xf8\x97\x70\"\"\x95\x84\"\""));
            QVERIFY(bytes.endsWith("\"\r\n"));
            QCOMPARE(program.finished, 1);
        }
        Program next;
        QVERIFY(next.loaded.unreadableLog.isEmpty());
        QCOMPARE(next.log(), first);
        QVERIFY(next.runAll(5000));
        QVERIFY2(next.session.writeLogFile(&error), qPrintable(error));
        const QString both = next.log();
        QVERIFY(both.startsWith(first));
        QCOMPARE(countOf(lines(both), runStartLine()), 2);
        QCOMPARE(readFile(logPath()), runlog::EncodeRecord(both));
        QCOMPARE(next.finished, 1);
    }

    void loggingOffTouchesNoFile()
    {
        QVERIFY(writeFile(logPath(), "\"kept\"\r\n"));
        writeSettings(false, logPath());
        Program program;
        // Logging off: nothing is read either.
        QCOMPARE(program.log(), QString());
        QVERIFY(program.runAll(5000));
        QString error;
        QVERIFY2(program.session.writeLogFile(&error), qPrintable(error));
        QCOMPARE(readFile(logPath()), QByteArray("\"kept\"\r\n"));
    }

    void unquotedFileSeedsItsFirstField()
    {
        QVERIFY(writeFile(logPath(), codepage::toAnsi(QStringLiteral("古い記録,二つ目\r\n次の行\r\n"))));
        writeSettings(true, logPath());
        Program program;
        QCOMPARE(program.log(), QStringLiteral("古い記録"));
    }

    // The window shows the failure with the path and this reason.
    void failedWriteIsReported()
    {
        const QString path = m_dir->path() + QLatin1String("/missing/VEKLOG.txt");
        writeSettings(true, path);
        Program program;
        QVERIFY(program.runAll(5000));
        QString error;
        QVERIFY(!program.session.writeLogFile(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngineLog)
#include "tst_engine_log.moc"
