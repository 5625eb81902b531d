// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/run_driver.h"
#include "support/test_server.h"

#include "core/run/run_log.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include <sys/stat.h>

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
        // A log CP932 cannot hold is written whole in UTF-8 behind a byte-order mark.
        QTest::newRow("outside the code page")
            << QStringLiteral("a\U0001F600b") << QByteArray("\xEF\xBB\xBF\"a\xF0\x9F\x98\x80" "b\"\r\n");
        QTest::newRow("a name with an accent")
            << QStringLiteral("café 日本") << QByteArray("\xEF\xBB\xBF\"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\"\r\n");
    }

    void record()
    {
        QFETCH(QString, log);
        QFETCH(QByteArray, bytes);
        QCOMPARE(runlog::EncodeRecord(log), bytes);
        QCOMPARE(runlog::FirstField(runlog::DecodeFile(bytes)), log);
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
            error = program.session.finishRun().logFileError;
            QVERIFY2(error.isEmpty(), qPrintable(error));
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
        error = next.session.finishRun().logFileError;
        QVERIFY2(error.isEmpty(), qPrintable(error));
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
        const QString error = program.session.finishRun().logFileError;
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(readFile(logPath()), QByteArray("\"kept\"\r\n"));
    }

    // Start-up takes a file as the log only when it reads as one: a settings file or any
    // other text picked by mistake is not shown as the log.
    void startUpTakesOnlyALog_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("seeded");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("a record") << QByteArray("\"old, log\"\r\n") << QStringLiteral("old, log") << false;
        QTest::newRow("a record in UTF-8") << runlog::EncodeRecord(QStringLiteral("café")) << QStringLiteral("café") << false;
        QTest::newRow("empty file") << QByteArray() << QString() << false;
        QTest::newRow("a settings file") << QByteArray("[DATA]\r\nTEXT1=a\r\n") << QString() << true;
        QTest::newRow("unquoted text") << codepage::toAnsi(QStringLiteral("古い記録,二つ目\r\n")) << QString() << true;
    }

    void startUpTakesOnlyALog()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, seeded);
        QFETCH(bool, foreign);
        QVERIFY(writeFile(logPath(), bytes));
        writeSettings(true, logPath());
        Program program;
        QCOMPARE(program.log(), seeded);
        QCOMPARE(program.loaded.foreignLog, foreign ? logPath() : QString());
    }

    // The log replaces only a file that is a log, an empty file or nothing yet; never the
    // settings file, a FIFO, a folder or a file holding something else. The log stays.
    void writeOnlyWhereALogBelongs_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("nothing there yet") << QStringLiteral("new") << QString();
        QTest::newRow("empty file") << QStringLiteral("empty") << QString();
        QTest::newRow("an earlier log") << QStringLiteral("log") << QString();
        QTest::newRow("the settings file") << QStringLiteral("settings") << QStringLiteral("設定ファイルはログファイルに使えません");
        QTest::newRow("a FIFO") << QStringLiteral("fifo") << QStringLiteral("通常のファイルではないため、書き込みませんでした");
        QTest::newRow("a folder") << QStringLiteral("folder") << QStringLiteral("通常のファイルではないため、書き込みませんでした");
        QTest::newRow("a text of the user's")
            << QStringLiteral("text") << QStringLiteral("このプログラムのログではないファイルのため、上書きしませんでした");
    }

    void writeOnlyWhereALogBelongs()
    {
        QFETCH(QString, target);
        QFETCH(QString, refusal);
        QString path = m_dir->path() + u'/' + target;
        if (target == u"empty")
            QVERIFY(writeFile(path, {}));
        else if (target == u"log")
            QVERIFY(writeFile(path, "\"earlier\"\r\n"));
        else if (target == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (target == u"folder")
            QVERIFY(QDir().mkpath(path));
        else if (target == u"text")
            QVERIFY(writeFile(path, "notes\r\n"));
        writeSettings(true, logPath());
        if (target == u"settings")
            path = iniPath();
        const QByteArray before = QFileInfo(path).isFile() ? readFile(path) : QByteArray();
        Program program;
        program.session.options().logPath = path;
        QVERIFY(program.runAll(5000));
        const QString error = program.session.finishRun().logFileError;
        QCOMPARE(error, refusal);
        if (refusal.isEmpty()) {
            QCOMPARE(readFile(path), runlog::EncodeRecord(program.log()));
        } else {
            QCOMPARE(QFileInfo(path).isFile(), target == u"settings" || target == u"text");
            QCOMPARE(QFileInfo(path).isFile() ? readFile(path) : QByteArray(), before);
        }
    }

    // The window shows the failure with the path and this reason.
    void failedWriteIsReported()
    {
        const QString path = m_dir->path() + QLatin1String("/missing/VEKLOG.txt");
        writeSettings(true, path);
        Program program;
        QVERIFY(program.runAll(5000));
        QVERIFY(!program.session.finishRun().logFileError.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngineLog)
#include "tst_engine_log.moc"
