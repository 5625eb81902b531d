// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/fixtures.h"
#include "support/test_server.h"

#include "core/app_title.h"
#include "core/run/run_log.h"
#include "core/session.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

using namespace fixtures;

namespace {

enum class Setup { None, NoSettings, SettingsIsFolder, DataDirIsFile, LockHeld, LogUnwritable };

// Bodies with NUL, CP932 and invalid UTF-8 bytes: stored as received, never converted.
const char PageBytes[] = "<html>\x00\x82\xa0\xff page</html>\r\n";
const QByteArray PageBody(PageBytes, sizeof PageBytes - 1);
const QByteArray SecondBody("second \x93\xfa\x96\x7b");

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// What a terminal shows of a piece of the log: its lines, each ended by a line feed.
QString asPrinted(const QString &log)
{
    return log.mid(2).replace(QLatin1String("\r\n"), QLatin1String("\n")) + QLatin1Char('\n');
}

QString logFileText(const QString &path)
{
    return runlog::FirstField(codepage::fromAnsi(readFile(path)));
}

} // namespace

Q_DECLARE_METATYPE(Setup)

// `vekanto --run-all` as cron or a systemd timer starts it: the built program as a child
// process, without a display, over a settings file of its own, against this test's server.
class TestRunAll : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_data;

    QString dataDir() const { return m_data->path(); }
    QString logPath() const { return m_data->path() + QLatin1String("/VEKLOG.txt"); }
    QString page(const QString &name) const { return dataDir() + QLatin1Char('/') + name + QLatin1String("/vek.htm"); }

    // `extra`: variables set for the child on top of the ones above, as "NAME=value".
    void startChild(QProcess &child, const QStringList &arguments,
                    const QString &locale = QStringLiteral("C.UTF-8"),
                    const QString &program = QStringLiteral(VEKANTO_EXE), const QStringList &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "LANG", "LC_MESSAGES"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->path());
        for (const QString &variable : extra)
            env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        child.setProcessEnvironment(env);
        child.start(program, arguments);
        QVERIFY2(child.waitForStarted(5000), qPrintable(child.errorString()));
    }

    Outcome finish(QProcess &child, int timeoutMs = 60000)
    {
        Outcome outcome;
        if (!child.waitForFinished(timeoutMs)) {
            child.kill();
            child.waitForFinished();
            return outcome;
        }
        outcome.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        outcome.out = QString::fromUtf8(child.readAllStandardOutput());
        outcome.err = QString::fromUtf8(child.readAllStandardError());
        return outcome;
    }

    Outcome run(const QStringList &arguments, const QString &locale = QStringLiteral("C.UTF-8"),
                const QStringList &extra = {})
    {
        QProcess child;
        startChild(child, arguments, locale, QStringLiteral(VEKANTO_EXE), extra);
        return finish(child);
    }

    QList<Entry> entries(const QStringList &names, const QStringList &paths) const
    {
        QList<Entry> list;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QString &path = paths.at(i);
            list << Entry{names.at(i), path.startsWith(u'/') ? m_server.url(path) : path, {}};
        }
        return list;
    }

    void writeList(const QStringList &names, const QStringList &paths,
                   const QString &timeout = QStringLiteral("60"))
    {
        writeIni(entries(names, paths),
                 {.dirName = dataDir(), .timeout = timeout, .keepLog = true, .logPath = logPath()});
    }

    bool waitForRequest(const QString &path, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return m_server.requestedPaths().contains(path); }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/page"), {.body = PageBody});
        m_server.setRoute(QStringLiteral("/second"), {.body = SecondBody});
        m_server.setRoute(QStringLiteral("/hang"), {.hang = true});
        m_server.setRoute(QStringLiteral("/hang2"), {.hang = true});
        m_server.setRoute(QStringLiteral("/reset"), {.reset = true});
    }

    // A fresh program folder for each test, shared with the child.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid() && m_data->isValid());
        qputenv("XDG_DATA_HOME", m_home->path().toLocal8Bit());
        m_server.clearRequests();
    }

    void cleanupTestCase() { m_server.stop(); }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("notStored");
        QTest::addColumn<QString>("message");

        const QStringList runAll{QStringLiteral("--run-all")};
        const QStringList two{QStringLiteral("e1"), QStringLiteral("e2")};
        const QString sixty = QStringLiteral("60");
        QTest::newRow("every entry stored") << two << QStringList{"/page", "/second"} << runAll << Setup::None
                                            << sixty << 0 << two << QStringList() << QString();
        QTest::newRow("an address under 8 characters is no entry")
            << two << QStringList{"/page", "http:/x"} << runAll << Setup::None << sixty << 0
            << QStringList{"e1"} << QStringList() << QString();
        QTest::newRow("a transfer fails") << two << QStringList{"/reset", "/second"} << runAll << Setup::None
                                          << sixty << 1 << QStringList{"e2"} << QStringList{"e1"}
                                          << QStringLiteral("Not stored: 1 of 2 entries with an address");
        QTest::newRow("a transfer times out") << two << QStringList{"/hang", "/page"} << runAll << Setup::None
                                              << QStringLiteral("1") << 1 << QStringList{"e2"}
                                              << QStringList{"e1"} << QStringLiteral("Not stored: 1 of 2");
        QTest::newRow("a name that is no folder name")
            << QStringList{"..", "e2"} << QStringList{"/page", "/page"} << runAll << Setup::None << sixty << 1
            << QStringList{"e2"} << QStringList{".."} << QStringLiteral("Not stored: 1 of 2");
        QTest::newRow("quiet prints the failures only")
            << two << QStringList{"/page", "/reset"} << QStringList{"--run-all", "--quiet"} << Setup::None
            << sixty << 1 << QStringList{"e1"} << QStringList{"e2"} << QStringLiteral("Not stored: 1 of 2");
        QTest::newRow("another settings file") << two << QStringList{"/page", "/second"}
                                               << QStringList{"--run-all", "--settings", "OTHER"}
                                               << Setup::None << sixty << 0 << two << QStringList() << QString();
        QTest::newRow("no settings file") << two << QStringList{"/page", "/page"} << runAll << Setup::NoSettings
                                          << sixty << 2 << QStringList() << QStringList()
                                          << QStringLiteral("No settings file: ");
        QTest::newRow("settings file is a folder")
            << two << QStringList{"/page", "/page"} << runAll << Setup::SettingsIsFolder << sixty << 2
            << QStringList() << QStringList() << QStringLiteral("Cannot read the settings file: ");
        QTest::newRow("data folder is a file")
            << two << QStringList{"/page", "/page"} << runAll << Setup::DataDirIsFile << sixty << 2
            << QStringList() << QStringList() << QStringLiteral("Cannot write to the data folder: ");
        QTest::newRow("another run holds the lock")
            << two << QStringList{"/page", "/page"} << runAll << Setup::LockHeld << sixty << 2 << QStringList()
            << QStringList() << QStringLiteral("Another download is under way (");
        // Every page is stored, but the run's record is lost: that is no success.
        QTest::newRow("log file cannot be written")
            << two << QStringList{"/page", "/second"} << runAll << Setup::LogUnwritable << sixty << 1 << two
            << QStringList() << QStringLiteral("Cannot write the log file: ");
        QTest::newRow("unknown option") << two << QStringList{"/page", "/page"}
                                        << QStringList{"--run-all", "--bogus"} << Setup::None << sixty << 2
                                        << QStringList() << QStringList()
                                        << QStringLiteral("Unknown option: --bogus");
    }

    void exitStatus()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, arguments);
        QFETCH(Setup, setup);
        QFETCH(QString, timeout);
        QFETCH(int, exitCode);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, notStored);
        QFETCH(QString, message);

        writeList(names, paths, timeout);
        const int other = arguments.indexOf(QStringLiteral("OTHER"));
        if (other >= 0) {
            arguments[other] = m_data->path() + QLatin1String("/other.ini");
            QVERIFY(QFile::rename(iniPath(), arguments.at(other)));
        }
        std::unique_ptr<Session> holder;
        switch (setup) {
        case Setup::None:
            break;
        case Setup::NoSettings:
            QVERIFY(QFile::remove(iniPath()));
            break;
        case Setup::SettingsIsFolder:
            QVERIFY(QFile::remove(iniPath()));
            QVERIFY(QDir().mkpath(iniPath()));
            break;
        case Setup::DataDirIsFile: {
            const QString file = dataDir() + QLatin1String("/file");
            QVERIFY(writeFile(file, "x"));
            writeIni(entries(names, paths), {.dirName = file, .timeout = timeout});
            break;
        }
        case Setup::LockHeld:
            holder = std::make_unique<Session>(GetWindowsDirectory());
            QVERIFY(holder->beginRun());
            break;
        case Setup::LogUnwritable:
            writeIni(entries(names, paths), {.dirName = dataDir(), .timeout = timeout, .keepLog = true,
                                             .logPath = dataDir() + QLatin1String("/no-such-folder/VEKLOG.txt")});
            break;
        }

        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        if (!message.isEmpty())
            QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        if (setup == Setup::LockHeld)
            QVERIFY(outcome.err.contains(QStringLiteral("PID %1").arg(QCoreApplication::applicationPid())));
        if (exitCode == 2) {
            QCOMPARE(outcome.out, QString());
            QCOMPARE(m_server.requestCount(), 0);
            return;
        }
        for (const QString &name : stored) {
            const QString path = paths.at(names.indexOf(name));
            QCOMPARE(readFile(page(name)), path == QLatin1String("/second") ? SecondBody : PageBody);
        }
        for (const QString &name : notStored) {
            QVERIFY(!QFileInfo::exists(page(name)));
            const QString address = m_server.url(paths.at(names.indexOf(name)));
            QVERIFY2(outcome.err.contains(QStringLiteral("\n  %1  %2\n").arg(name, address)), qPrintable(outcome.err));
        }
        if (notStored.isEmpty() && message.isEmpty())
            QCOMPARE(outcome.err, QString());
        // Only the log's lines, as they were logged (not on a terminal: no progress line).
        if (setup == Setup::LogUnwritable)
            QVERIFY2(outcome.out.contains(QStringLiteral("＊＊＊ ダウンロード終了(")), qPrintable(outcome.out));
        else if (arguments.contains(QStringLiteral("--quiet")))
            QCOMPARE(outcome.out, QString());
        else
            QCOMPARE(outcome.out, asPrinted(logFileText(logPath())));
    }

    // Two unattended runs carry the log file on as the window's OK does, keep the replaced
    // page in the dated folder, and a window open all the while keeps their lines when it
    // writes the log after its own run.
    void runsLikeTheWindow()
    {
        writeList({QStringLiteral("日本語の名前")}, {QStringLiteral("/page")});
        const QString earlier = QStringLiteral("\r\n前の記録");
        QVERIFY(writeFile(logPath(), runlog::EncodeRecord(earlier)));
        Session window(GetWindowsDirectory());
        window.load();
        QCOMPARE(window.log().text(), earlier);

        const Outcome first = run({QStringLiteral("--run-all")});
        QCOMPARE(first.exitCode, 0);
        const QString afterFirst = logFileText(logPath());
        QVERIFY(afterFirst.startsWith(earlier));
        QCOMPARE(first.out, asPrinted(afterFirst.mid(earlier.size())));
        const QStringList lines1 = lines(afterFirst);
        QCOMPARE(countOf(lines1, runStartLine()), 1);
        QVERIFY(indexOf(lines1, entryLine(QStringLiteral("日本語の名前"), QStringLiteral(" のダウンロード終了("))) > 0);
        QVERIFY(indexOf(lines1, runEndLine()) > 0);
        QCOMPARE(readFile(page(QStringLiteral("日本語の名前"))), PageBody);
        ChangedMarks marks(window.settingsPath());
        marks.reload();
        QVERIFY(!marks.isMarked(QStringLiteral("日本語の名前")));

        m_server.setRoute(QStringLiteral("/page"), {.body = SecondBody});
        const Outcome second = run({QStringLiteral("--run-all")});
        m_server.setRoute(QStringLiteral("/page"), {.body = PageBody});
        QCOMPARE(second.exitCode, 0);
        const QString afterSecond = logFileText(logPath());
        QVERIFY(afterSecond.startsWith(afterFirst));
        QCOMPARE(second.out, asPrinted(afterSecond.mid(afterFirst.size())));
        QCOMPARE(readFile(page(QStringLiteral("日本語の名前"))), SecondBody);
        const QString dated = dataDir() + QStringLiteral("/日本語の名前/")
                              + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QLatin1String("/vek.htm");
        QCOMPARE(readFile(dated), PageBody);
        // The page changed: the window finds the entry marked.
        marks.reload();
        QVERIFY(marks.isMarked(QStringLiteral("日本語の名前")));

        QVERIFY(window.startRun());
        QVERIFY(QTest::qWaitFor([&] { return !window.run().isActive(); }, 10000));
        const RunSummary summary = window.finishRun();
        QVERIFY2(summary.logFileError.isEmpty(), qPrintable(summary.logFileError));
        const QString all = logFileText(logPath());
        QVERIFY(all.startsWith(afterSecond));
        QCOMPARE(countOf(lines(all), runStartLine()), 3);
        QCOMPARE(window.log().text(), all);
        QCOMPARE(readFile(logPath()), runlog::EncodeRecord(all));
    }

    // Cancelled as STOP cancels, the log written as OK writes it, exit 1. While it runs, a
    // second run is refused and the window's SAVE keeps its own list and the run's pages.
    void stopSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGTERM") << int(SIGTERM) << QStringLiteral("SIGTERM");
        QTest::newRow("SIGINT") << int(SIGINT) << QStringLiteral("SIGINT");
    }

    void stopSignal()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        const QStringList names{QStringLiteral("e1"), QStringLiteral("e2"), QStringLiteral("e3")};
        writeList(names, {QStringLiteral("/page"), QStringLiteral("/hang"), QStringLiteral("/hang2")});
        QProcess child;
        startChild(child, {QStringLiteral("--run-all")});
        QVERIFY(waitForRequest(QStringLiteral("/hang")));

        const Outcome refused = run({QStringLiteral("--run-all")});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("PID %1").arg(child.processId())), qPrintable(refused.err));
        Session window(GetWindowsDirectory());
        window.load();
        QString holder;
        QVERIFY(!window.beginRun(&holder));
        QVERIFY(holder.contains(QStringLiteral("PID %1").arg(child.processId())));
        QVERIFY(!window.startRun());
        QVERIFY(!window.run().isActive());
        // SAVE meanwhile: the run read the list at its start and writes no settings.
        QVERIFY(window.entries().add(QStringLiteral("added"), m_server.url(QStringLiteral("/page")), {}, 0, {}).ok());
        const settingsfile::Saved saved = window.save(0);
        QVERIFY2(saved.written, qPrintable(saved.error));

        ::kill(pid_t(child.processId()), signal);
        const Outcome outcome = finish(child, 10000);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains(QStringLiteral("Stopped on %1.").arg(name)), qPrintable(outcome.err));
        QVERIFY(outcome.err.contains(QStringLiteral("\n  e2  %1\n").arg(m_server.url(QStringLiteral("/hang")))));
        QVERIFY(outcome.err.contains(QStringLiteral("\n  e3  %1\n").arg(m_server.url(QStringLiteral("/hang2")))));
        QVERIFY(!outcome.err.contains(QStringLiteral("  e1  ")));

        const QStringList log = lines(logFileText(logPath()));
        QVERIFY(indexOf(log, entryLine(QStringLiteral("e1"), QStringLiteral(" のダウンロード終了("))) > 0);
        QVERIFY(indexOf(log, runStopLine()) > 0);
        QCOMPARE(indexOf(log, runEndLine()), -1);
        QCOMPARE(readFile(page(QStringLiteral("e1"))), PageBody);
        // Nothing half written: the pages stored and no temporary file beside them.
        QStringList files;
        QDirIterator it(dataDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(dataDir()).relativeFilePath(it.next());
        files.sort();
        QCOMPARE(files, (QStringList{QStringLiteral("VEKLOG.txt"), QStringLiteral("e1/vek-http.txt"), QStringLiteral("e1/vek.htm")}));

        Session after(GetWindowsDirectory());
        after.load();
        QCOMPARE(after.entries().EntryName(4), QStringLiteral("added"));
        QVERIFY(after.beginRun());
    }

    // On a terminal a progress line is redrawn in place under the log lines.
    void progressLineOnATerminal()
    {
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty())
            QSKIP("script (util-linux) is not installed");
        writeList({QStringLiteral("e1"), QStringLiteral("e2")}, {QStringLiteral("/page"), QStringLiteral("/second")});
        QProcess child;
        startChild(child, {QStringLiteral("-qec"), QStringLiteral(VEKANTO_EXE " --run-all"), QStringLiteral("/dev/null")},
                   QStringLiteral("C.UTF-8"), script);
        const Outcome outcome = finish(child);
        QCOMPARE(outcome.exitCode, 0);
        // The last entry handed out, then its connection given back.
        for (const char *busy : {"1", "0"}) {
            const QString line = QStringLiteral("\r2/2 entries  %1/10 connections  0:0").arg(QLatin1String(busy));
            QVERIFY2(outcome.out.contains(line), qPrintable(outcome.out));
        }
        QVERIFY(outcome.out.contains(QStringLiteral(" elapsed\x1b[K")));
        QVERIFY(outcome.out.contains(QStringLiteral("e2 のダウンロード終了(")));
        QCOMPARE(readFile(page(QStringLiteral("e2"))), SecondBody);
    }

    // A run killed outright leaves its lock file; the next run takes it over.
    void staleLockIsTakenOver()
    {
        writeList({QStringLiteral("e1")}, {QStringLiteral("/hang")});
        QProcess killed;
        startChild(killed, {QStringLiteral("--run-all")});
        QVERIFY(waitForRequest(QStringLiteral("/hang")));
        killed.kill();
        QVERIFY(killed.waitForFinished(5000));
        QVERIFY(QFileInfo::exists(GetWindowsDirectory() + QLatin1String("/vekanto.lock")));

        writeList({QStringLiteral("e1")}, {QStringLiteral("/page")});
        const Outcome next = run({QStringLiteral("--run-all")});
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(readFile(page(QStringLiteral("e1"))), PageBody);
        QVERIFY(!QFileInfo::exists(GetWindowsDirectory() + QLatin1String("/vekanto.lock")));
    }

    // The limit on dated copies in vek.ini holds for an unattended run too: the copies past it
    // are removed at its end, said on the terminal and in the log file.
    void retentionLimitHonoured()
    {
        writeIni(entries({QStringLiteral("e1")}, {QStringLiteral("/page")}),
                 {.dirName = dataDir(), .keepLog = true, .logPath = logPath(), .keepVersions = 1});
        const QString folder = dataDir() + QLatin1String("/e1");
        for (const char *day : {"20200101", "20200102"}) {
            QVERIFY(QDir().mkpath(folder + u'/' + QLatin1String(day)));
            QVERIFY(writeFile(folder + u'/' + QLatin1String(day) + QLatin1String("/vek.htm"), day));
        }
        QVERIFY(writeFile(page(QStringLiteral("e1")), "before"));
        const Outcome outcome = run({QStringLiteral("--run-all")});
        QCOMPARE(outcome.exitCode, 0);
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{today});
        QCOMPARE(readFile(folder + u'/' + today + QLatin1String("/vek.htm")), QByteArray("before"));
        const QRegularExpression pruned = entryLine(QStringLiteral("e1"), QStringLiteral(" の古いコピーを 2 件削除しました("));
        QCOMPARE(countOf(lines(logFileText(logPath())), pruned), 1);
        QVERIFY2(outcome.out.contains(QStringLiteral("e1 の古いコピーを 2 件削除しました(")), qPrintable(outcome.out));
    }

    // --help in the locale's language is the text the README shows; --version the title.
    void printedTexts_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("readmeMarker");
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("help in English") << QStringLiteral("--help") << QStringLiteral("C.UTF-8")
                                         << QStringLiteral("<!-- vekanto --help, English -->") << QStringList();
        QTest::newRow("help in Japanese") << QStringLiteral("--help") << QStringLiteral("ja_JP.UTF-8")
                                          << QStringLiteral("<!-- vekanto --help, Japanese -->") << QStringList();
        // LC_ALL outweighs LANG, as for every program's messages.
        QTest::newRow("help in English, LANG Japanese")
            << QStringLiteral("--help") << QStringLiteral("C.UTF-8")
            << QStringLiteral("<!-- vekanto --help, English -->") << QStringList{QStringLiteral("LANG=ja_JP.UTF-8")};
        QTest::newRow("version") << QStringLiteral("--version") << QStringLiteral("C.UTF-8") << QString() << QStringList();
    }

    void printedTexts()
    {
        QFETCH(QString, argument);
        QFETCH(QString, locale);
        QFETCH(QString, readmeMarker);
        QFETCH(QStringList, extra);
        QString expected = AppTitle() + QLatin1Char('\n');
        if (!readmeMarker.isEmpty()) {
            const QString readme = QString::fromUtf8(readFile(QStringLiteral(VEKANTO_SOURCE_DIR "/README.md")));
            const QString fence = QStringLiteral("```text\n");
            const qsizetype marker = readme.indexOf(readmeMarker);
            QVERIFY2(marker >= 0, qPrintable(readmeMarker));
            const qsizetype from = readme.indexOf(fence, marker) + fence.size();
            expected = readme.mid(from, readme.indexOf(QLatin1String("```"), from) - from);
        }
        const Outcome outcome = run({argument}, locale, extra);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, expected);
        QCOMPARE(outcome.err, QString());
    }

    // The help names the settings file where the program reads it: under the data home, with
    // XDG_DATA_HOME and without it.
    void helpNamesTheSettingsFile_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("English") << QStringLiteral("C.UTF-8");
        QTest::newRow("Japanese") << QStringLiteral("ja_JP.UTF-8");
    }

    void helpNamesTheSettingsFile()
    {
        QFETCH(QString, locale);
        const Outcome outcome = run({QStringLiteral("--help")}, locale);
        QCOMPARE(outcome.exitCode, 0);
        const QString help = outcome.out;
        const auto named = [&](const QString &start) {
            const QRegularExpressionMatch m =
                QRegularExpression(QRegularExpression::escape(start) + QStringLiteral("\\S*vek\\.ini")).match(help);
            return m.hasMatch() ? m.captured() : QStringLiteral("(not named)");
        };

        // With XDG_DATA_HOME, as this test runs.
        QCOMPARE(named(QStringLiteral("$XDG_DATA_HOME/")).replace(QStringLiteral("$XDG_DATA_HOME"), m_home->path()),
                 iniPath());
        // Without it, in a home folder of this test's own.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", m_data->path().toLocal8Bit());
        qunsetenv("XDG_DATA_HOME");
        const QString withoutDataHome = iniPath();
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", m_home->path().toLocal8Bit());
        QCOMPARE(named(QStringLiteral("~/")).replace(0, 1, m_data->path()), withoutDataHome);
    }

    // Without a display the window cannot open: one line in the help's language says so and
    // names what runs without one, where Qt would abort.
    void windowWithoutADisplay_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("said");
        QTest::newRow("English") << QStringLiteral("C.UTF-8") << QStringLiteral("The window needs a display");
        QTest::newRow("Japanese") << QStringLiteral("ja_JP.UTF-8")
                                  << QStringLiteral("ウィンドウを開くにはディスプレイが必要です");
    }

    void windowWithoutADisplay()
    {
        QFETCH(QString, locale);
        QFETCH(QString, said);
        const Outcome outcome = run({}, locale);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QString());
        QVERIFY2(outcome.err.startsWith(said), qPrintable(outcome.err));
        QVERIFY2(outcome.err.contains(QStringLiteral("vekanto --run-all")), qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(u'\n'), 1);
        QVERIFY(outcome.err.endsWith(u'\n'));
        // Nothing was started: a window would have made the program's folder.
        QVERIFY(!QFileInfo::exists(m_home->path() + QLatin1String("/vekanto")));
    }

    // A window system the user chose still opens the window without a display: the window
    // listens for a second start, which shows it and ends.
    void chosenWindowSystemOpensTheWindow()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QStringList offscreen{QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                                    QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path()};
        QProcess window;
        startChild(window, {}, QStringLiteral("C.UTF-8"), QStringLiteral(VEKANTO_EXE), offscreen);
        const auto listening = [&] {
            return !QDir(runtime.path()).entryList({QStringLiteral("vekanto-*")}, QDir::System).isEmpty();
        };
        QVERIFY(QTest::qWaitFor([&] { return listening() || window.state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(window.state() == QProcess::Running, window.readAllStandardError().constData());

        const Outcome second = run({}, QStringLiteral("C.UTF-8"), offscreen);
        window.kill();
        window.waitForFinished(5000);
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(second.err.contains(QStringLiteral("Vekanto は既に起動しています")), qPrintable(second.err));
    }

    // The daily timer's units as installed, checked by systemd itself where it is there.
    void unitFilesVerify()
    {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), QStringLiteral(VEKANTO_UNIT_DIR "/vekanto-run.service"),
                               QStringLiteral(VEKANTO_UNIT_DIR "/vekanto-run.timer")});
        QVERIFY(verify.waitForFinished(30000));
        const QString said = QString::fromUtf8(verify.readAll());
        QVERIFY2(verify.exitStatus() == QProcess::NormalExit && verify.exitCode() == 0, qPrintable(said));
        QVERIFY2(said.isEmpty(), qPrintable(said));
    }
};

VEKANTO_CORE_TEST_MAIN(TestRunAll)
#include "tst_runall.moc"
