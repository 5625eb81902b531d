// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/run_driver.h"
#include "support/test_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace rundriver;

// How runs start, wait, time out, stop and end, and what a second and third run of a day keep.
class TestEngineRun : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;

    QString dataDir() const { return m_data->path(); }

    std::unique_ptr<Program> start(const QList<Entry> &entries, const QString &timeout = QStringLiteral("60"))
    {
        writeIni(entries, {.dirName = dataDir(), .timeout = timeout});
        return std::make_unique<Program>();
    }

    Entry entry(const QString &name, const QString &path) const
    {
        return {name, m_server.url(path), {}};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/hang"), {.hang = true});
        m_server.setRoute(QStringLiteral("/page"), {.body = "page"});
    }

    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_data->isValid());
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        m_server.clearRequests();
    }

    void cleanup() { vclock::reset(); }

    void cleanupTestCase() { m_server.stop(); }

    void emptyListEndsAtFirstTick()
    {
        auto program = start({});
        QVERIFY(program->runAll(3000));
        // The run ends by itself, once: the window shows its end box on this.
        QCOMPARE(program->finished, 1);
        const QStringList log = lines(program->log());
        // CR LF, start line, CR LF; then CR LF, CR LF, end line.
        QCOMPARE(log.size(), 5);
        QVERIFY(runStartLine().match(log.at(1)).hasMatch());
        QCOMPARE(log.at(2), QString());
        QCOMPARE(log.at(3), QString());
        QVERIFY(runEndLine().match(log.at(4)).hasMatch());
    }

    // Ten transfers that never answer fill every slot; time-outs must still free them, so
    // the two entries behind them start on the lowest freed slots and the run ends.
    void timeoutsRunWhileAllSlotsAreBusy()
    {
        QList<Entry> entries;
        for (int i = 1; i <= 10; ++i)
            entries << entry(QStringLiteral("hang%1").arg(i), QStringLiteral("/hang"));
        // late1 still runs when late2 starts, so late2 cannot take slot 1.
        m_server.setRoute(QStringLiteral("/late"), {.body = "late page", .delayMs = 2000});
        entries << entry(QStringLiteral("late1"), QStringLiteral("/late"))
                << entry(QStringLiteral("late2"), QStringLiteral("/page"));
        auto program = start(entries, QStringLiteral("6"));
        QVERIFY(program->runAll(30000));

        const QStringList log = lines(program->log());
        for (int i = 1; i <= 10; ++i) {
            const QString name = QStringLiteral("hang%1").arg(i);
            int slot = 0;
            QVERIFY(program->startOf(name, &slot) >= 0);
            QCOMPARE(slot, i);
            QCOMPARE(countOf(log, entryLine(name, QStringLiteral(" のダウンロードをタイムオーバーにより中止しました("))), 1);
        }
        // Each waiting entry starts only after a time-out freed a slot, on the lowest free one.
        const int firstTimeout = indexOf(log, entryLine(QStringLiteral("hang1"), QStringLiteral(" のダウンロードをタイムオーバーにより中止しました(")));
        const int secondTimeout = indexOf(log, entryLine(QStringLiteral("hang2"), QStringLiteral(" のダウンロードをタイムオーバーにより中止しました(")));
        QVERIFY(indexOf(log, entryLine(QStringLiteral("late1"), QStringLiteral(" からダウンロード開始("))) > firstTimeout);
        QVERIFY(indexOf(log, entryLine(QStringLiteral("late2"), QStringLiteral(" からダウンロード開始("))) > secondTimeout);
        int slot = 0;
        program->startOf(QStringLiteral("late1"), &slot);
        QCOMPARE(slot, 1);
        program->startOf(QStringLiteral("late2"), &slot);
        QCOMPARE(slot, 2);
        QCOMPARE(readFile(dataDir() + QLatin1String("/late1/vek.htm")), QByteArray("late page"));
        QCOMPARE(readFile(dataDir() + QLatin1String("/late2/vek.htm")), QByteArray("page"));
        // A timed-out slot keeps its last status line until it is used again.
        QCOMPARE(program->status(3), QStringLiteral("要求を送信しています (hang3)"));
        QCOMPARE(program->counter, QStringLiteral("12/12"));
        // The summary tells the same.
        const RunSummary summary = program->session.runSummary();
        QCOMPARE(summary.entries.size(), 12);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(summary.entries.at(i).ending, Ending::TimedOut);
        QCOMPARE(summary.stored().size(), 2);
        QCOMPARE(summary.stored().at(0).name, QStringLiteral("late1"));
        QVERIFY(!summary.stopped);
    }

    void transferStartedBeforeMidnightTimesOutAfterIt()
    {
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(23, 59, 58, 700)));
        auto program = start({entry(QStringLiteral("night"), QStringLiteral("/hang"))}, QStringLiteral("2"));
        QVERIFY(program->runAll(10000));
        const QStringList log = lines(program->log());
        QCOMPARE(countOf(log, entryLine(QStringLiteral("night"), QStringLiteral(" のダウンロードをタイムオーバーにより中止しました("))), 1);
        QCOMPARE(vclock::now().date(), QDate(2031, 7, 5));
        QVERIFY(runEndLine().match(log.last()).hasMatch());
    }

    // The wall clock moved during a run decides nothing about time-outs: moved back, a hung
    // transfer still times out on time; moved forward, a healthy one is not cut short.
    void clockMovedDuringARun_data()
    {
        QTest::addColumn<int>("shiftSeconds");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("back an hour, hung transfer") << -3600 << QStringLiteral("/hang") << true;
        QTest::newRow("forward an hour, slow page") << 3600 << QStringLiteral("/slowpage") << false;
    }

    void clockMovedDuringARun()
    {
        QFETCH(int, shiftSeconds);
        QFETCH(QString, path);
        QFETCH(bool, timesOut);
        m_server.setRoute(QStringLiteral("/slowpage"), {.body = "slow", .delayMs = 1500});
        auto program = start({entry(QStringLiteral("moved"), path)}, QStringLiteral("3"));
        program->session.startRun();
        QTRY_VERIFY(program->startOf(QStringLiteral("moved")) >= 0);
        vclock::setNow(vclock::now().addSecs(shiftSeconds));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(QTest::qWaitFor([&] { return !program->run().isActive(); }, 10000));
        const QStringList log = lines(program->log());
        QCOMPARE(countOf(log, entryLine(QStringLiteral("moved"), QStringLiteral(" のダウンロードをタイムオーバーにより中止しました("))),
                 timesOut ? 1 : 0);
        QCOMPARE(readFile(dataDir() + QLatin1String("/moved/vek.htm")), timesOut ? QByteArray() : QByteArray("slow"));
        // Three seconds after the start and the next tick, not an hour.
        QVERIFY(waited.elapsed() < 6000);
    }

    // The first run stores the page; the second of the day keeps the first in the dated
    // folder; each later one moves the copy made before aside to vek-1.htm, vek-2.htm, ... so
    // no page of the day is lost. A shorter page leaves no tail of a longer one. A run that
    // replaced a page by another marks its entry as changed.
    void datedCopiesOfTheDay()
    {
        const QString folder = dataDir() + QLatin1String("/daily");
        const QString dated = folder + QLatin1String("/20310704");
        const QByteArray bodies[] = {"first page, the longest of the four", "second", "third!", "4", "4"};
        const bool changed[] = {false, true, true, true, false};
        for (int run = 0; run < 5; ++run) {
            m_server.setRoute(QStringLiteral("/daily"), {.body = bodies[run]});
            auto program = start({entry(QStringLiteral("daily"), QStringLiteral("/daily"))});
            QSignalSpy marked(&program->run(), &DownloadRun::pageChanged);
            QVERIFY(program->runAll(5000));
            QCOMPARE(marked.size(), changed[run] ? 1 : 0);
            QCOMPARE(program->session.marks().isMarked(QStringLiteral("daily")), changed[run]);
            QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), bodies[run]);
            // Beside the page, what its answer said of it.
            if (run == 0) {
                QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                         (QStringList{QStringLiteral("vek-http.txt"), QStringLiteral("vek.htm")}));
                continue;
            }
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{QStringLiteral("20310704"), QStringLiteral("vek-http.txt"), QStringLiteral("vek.htm")}));
            // A page stored again unchanged is the dated copy itself.
            QCOMPARE(sameFile(dated + QLatin1String("/vek.htm"), folder + QLatin1String("/vek.htm")), !changed[run]);
            // vek.htm is the page replaced last; vek-N.htm the ones replaced before it, in order.
            QStringList expected{QStringLiteral("vek.htm")};
            QCOMPARE(readFile(dated + QLatin1String("/vek.htm")), bodies[run - 1]);
            for (int earlier = 1; earlier < run; ++earlier) {
                const QString aside = QStringLiteral("vek-%1.htm").arg(earlier);
                expected << aside;
                QCOMPARE(readFile(dated + u'/' + aside), bodies[earlier - 1]);
            }
            expected.sort();
            QCOMPARE(QDir(dated).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), expected);
        }
    }

    // A page stored over another is "changed" when its reader sees other text: a page whose
    // only change is in a script, an attribute or its blanks, or in the lines its entry
    // ignores, is stored all the same but marks nothing.
    void changedMeansTheReaderSeesIt_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("ignore");
        QTest::addColumn<QByteArray>("contentType");
        // The second page's, when its server named another.
        QTest::addColumn<QByteArray>("secondType");
        QTest::addColumn<bool>("changed");
        const QByteArray page = QStringLiteral("<html><head><script>var token = \"a1\";</script></head>"
                                               "<body><p class=\"x\">本日の天気は晴れ</p>\n<p>更新 10:00</p></body></html>")
                                    .toUtf8();
        const auto with = [&page](const char *from, const char *to) {
            return QByteArray(page).replace(QByteArray(from), QByteArray(to));
        };
        const QByteArray html = "text/html";
        QTest::newRow("a token in a script") << page << with("a1", "b2") << QString() << html << html << false;
        QTest::newRow("the text") << page << with("晴れ", "雨") << QString() << html << html << true;
        QTest::newRow("an ignored line") << page << with("10:00", "10:05") << QStringLiteral("^更新 ") << html << html << false;
        // Bytes a browser reads by the server's charset: a script changed, the same text.
        const QByteArray sjis = codepage::toAnsi(QStringLiteral("<p>晴れ</p><script>a()</script>"));
        const QByteArray sjisType = "text/html; charset=Shift_JIS";
        QTest::newRow("Shift_JIS by the server's word, a script")
            << sjis << QByteArray(sjis).replace("a()", "b()") << QString() << sjisType << sjisType << false;
        // Each page by the word its own server sent with it.
        QTest::newRow("the same text, now in UTF-8 by the server's word")
            << sjis << QStringLiteral("<p>晴れ</p><script>a()</script>").toUtf8() << QString() << sjisType
            << QByteArray("text/html; charset=UTF-8") << false;
    }

    void changedMeansTheReaderSeesIt()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, ignore);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, secondType);
        QFETCH(bool, changed);
        const QString folder = dataDir() + QLatin1String("/weather");
        const QList<Entry> list{{QStringLiteral("weather"), m_server.url(QStringLiteral("/weather")), {}, ignore}};
        m_server.setRoute(QStringLiteral("/weather"), {.body = first, .contentType = contentType});
        QVERIFY(start(list)->runAll(5000));
        m_server.setRoute(QStringLiteral("/weather"), {.body = second, .contentType = secondType});
        auto program = start(list);
        QSignalSpy marked(&program->run(), &DownloadRun::pageChanged);
        QVERIFY(program->runAll(5000));
        // Stored as sent either way, with the page it replaced in the dated folder.
        QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), second);
        QCOMPARE(readFile(folder + QLatin1String("/20310704/vek.htm")), first);
        QCOMPARE(marked.size(), changed ? 1 : 0);
        QCOMPARE(program->session.runSummary().entries.value(0).changed, changed);
        QCOMPARE(program->session.marks().isMarked(QStringLiteral("weather")), changed);
    }

    // An entry whose last fetch failed is marked, with its reason, until it is fetched again;
    // an entry a stopped run never got to keeps its mark. Both faces write the marks at the
    // end of a run, beside the settings file.
    void failedEntriesAreMarkedUntilFetched()
    {
        m_server.setRoute(QStringLiteral("/flaky"), {.status = 503, .body = "busy"});
        const QList<Entry> list{entry(QStringLiteral("page"), QStringLiteral("/page")),
                                entry(QStringLiteral("flaky"), QStringLiteral("/flaky")),
                                entry(QStringLiteral("hang"), QStringLiteral("/hang")),
                                entry(QStringLiteral(".."), QStringLiteral("/page"))};
        auto program = start(list, QStringLiteral("1"));
        QVERIFY(program->runAll(10000));
        const RunSummary first = program->session.finishRun();
        QCOMPARE(first.failuresError, QString());
        const QString path = program->session.failures().path();
        QCOMPARE(path, GetWindowsDirectory() + QLatin1String("/vek-failed.txt"));
        FailedMarks marks(iniPath());
        marks.reload();
        QCOMPARE(marks.reason(QStringLiteral("page")), std::nullopt);
        QCOMPARE(marks.reason(QStringLiteral("FLAKY")), std::optional<QString>(QStringLiteral("503 Service Unavailable")));
        QCOMPARE(marks.reason(QStringLiteral("hang")), std::optional<QString>(QStringLiteral("タイムオーバー")));
        QCOMPARE(marks.reason(QStringLiteral("..")), std::optional<QString>(QStringLiteral("保存先のフォルダ名に使えない名前")));

        // Fetched again: the mark goes. Stopped before its turn: the mark stays.
        m_server.setRoute(QStringLiteral("/flaky"), {.body = "back"});
        program = start(list, QStringLiteral("1"));
        QVERIFY(program->runAll(10000));
        program->session.finishRun();
        marks.reload();
        QCOMPARE(marks.reason(QStringLiteral("flaky")), std::nullopt);
        QVERIFY(marks.reason(QStringLiteral("hang")));
        program = start(list, QStringLiteral("1"));
        program->session.startRun();
        program->run().stop();
        program->session.finishRun();
        marks.reload();
        QVERIFY(marks.reason(QStringLiteral("hang")));
        QVERIFY(marks.reason(QStringLiteral("..")));
    }

    // The second fetch of a page asks only whether it changed, with the validators its answer
    // brought, exactly as they came; an unchanged page is a success that writes nothing, and
    // its dated copy is a link to it. A page edited by hand, or the page of another day's
    // address, is fetched whole.
    void conditionalFetches_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("single");
        // What the second request sent back; empty when it sent nothing.
        QTest::addColumn<QByteArray>("ifNoneMatch");
        QTest::addColumn<QByteArray>("ifModifiedSince");
        QTest::addColumn<int>("status");
        // The second fetch left vek.htm's file (and its time) as it was.
        QTest::addColumn<bool>("untouched");

        const QByteArray date = "Sun, 06 Nov 1994 08:49:37 GMT";
        QTest::newRow("weak ETag sent back, run") << "etag" << false << QByteArray("W/\"x y\"") << QByteArray() << 304 << true;
        QTest::newRow("the server's Last-Modified, single download") << "date" << true << QByteArray() << date << 304 << true;
        QTest::newRow("edited by hand: fetched whole") << "edited" << true << QByteArray() << QByteArray() << 200 << false;
        QTest::newRow("conditions ignored, same page: nothing written") << "ignored" << false << QByteArray("\"1\"") << QByteArray() << 200 << true;
        QTest::newRow("changed page replaces the old") << "changed" << false << QByteArray("\"1\"") << QByteArray() << 200 << false;
        QTest::newRow("another day's address asks afresh") << "nextday" << true << QByteArray() << QByteArray() << 200 << true;
    }

    void conditionalFetches()
    {
        QFETCH(QString, change);
        QFETCH(bool, single);
        QFETCH(QByteArray, ifNoneMatch);
        QFETCH(QByteArray, ifModifiedSince);
        QFETCH(int, status);
        QFETCH(bool, untouched);
        const QByteArray page = "<p>\x93\xfa\x96\x7b</p>";
        const QString path = QStringLiteral("/cond-") + change;
        TestServer::Response answer{.body = page, .etag = "\"1\""};
        if (change == u"etag")
            answer.etag = "W/\"x y\"";
        if (change == u"date")
            answer = {.body = page, .lastModified = "Sun, 06 Nov 1994 08:49:37 GMT"};
        if (change == u"ignored")
            answer = {.body = page, .headers = {{"ETag", "\"1\""}}};
        m_server.setRoute(path, answer);
        auto program = start({{QStringLiteral("cond"), m_server.url(path + QLatin1String("?d=")),
                               change == u"nextday" ? QStringLiteral("%0d") : QString()}});
        const auto fetch = [&program, single] {
            if (single)
                program->session.startOne(1);
            else
                program->session.startRun();
            const bool ended = QTest::qWaitFor([&program] { return !program->run().isActive(); }, 5000);
            program->session.finishRun();
            return ended;
        };
        QVERIFY(fetch());
        const QString folder = dataDir() + QLatin1String("/cond");
        const QString stored = folder + QLatin1String("/vek.htm");
        QCOMPARE(readFile(stored), page);
        const QByteArray infoBefore = readFile(folder + QLatin1String("/vek-http.txt"));
        QByteArray before = page;
        if (change == u"edited") {
            before[3] = 'P';
            QVERIFY(writeFile(stored, before));
        } else if (change == u"changed") {
            m_server.setRoute(path, {.body = "new page", .etag = "\"2\""});
        } else if (change == u"nextday") {
            vclock::setNow(QDateTime(QDate(2031, 7, 5), QTime(10, 0)));
        }
        const QDateTime storedAt(QDate(2031, 7, 4), QTime(9, 30));
        {
            QFile file(stored);
            QVERIFY(file.open(QIODevice::ReadOnly) && file.setFileTime(storedAt, QFileDevice::FileModificationTime));
        }
        const QByteArray after = change == u"changed" ? QByteArray("new page") : page;
        const ino_t inode = inodeOf(stored);
        m_server.clearRequests();
        QVERIFY(fetch());

        const QList<TestServer::Request> requests = m_server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].header("If-None-Match"), ifNoneMatch);
        QCOMPARE(requests[0].header("If-Modified-Since"), ifModifiedSince);
        QCOMPARE(readFile(stored), after);
        const QString dated = folder + (change == u"nextday" ? QLatin1String("/20310705/vek.htm") : QLatin1String("/20310704/vek.htm"));
        QCOMPARE(readFile(dated), before);
        QCOMPARE(inodeOf(stored) == inode, untouched);
        QCOMPARE(QFileInfo(dated).lastModified(), storedAt);
        // A link wherever a page is kept twice; only a changed page is a file of its own.
        QVERIFY(sameFile(dated, stored) == untouched);
        if (status == 304)
            QCOMPARE(readFile(folder + QLatin1String("/vek-http.txt")), infoBefore);

        // An unchanged page is logged so, and the entry still ends as a stored one.
        const QStringList log = lines(program->log());
        const QString unchangedText = QStringLiteral(" のページは前回から変わっていません(");
        QCOMPARE(countOf(log, entryLine(QStringLiteral("cond"), unchangedText, status == 304)), untouched ? 1 : 0);
        if (status == 304)
            QVERIFY(program->log().contains(QStringLiteral(") 304 Not Modified")));
        if (!single)
            QCOMPARE(countOf(log, entryLine(QStringLiteral("cond"), QStringLiteral(" のダウンロード終了("))), 2);
        const QList<EntryEnd> ends = program->session.runSummary().entries;
        QCOMPARE(ends.value(0).ending, Ending::Stored);
        QCOMPARE(ends.value(0).changed, !untouched);
    }

    // With a limit set, the end of a run removes the dated copies past it and logs a line with
    // their count for each entry that had some, before the log file is written.
    void retentionAtTheEndOfARun()
    {
        const QString log = dataDir() + QLatin1String("/VEKLOG.txt");
        writeIni({entry(QStringLiteral("old"), QStringLiteral("/page")), entry(QStringLiteral("new"), QStringLiteral("/page"))},
                 {.dirName = dataDir(), .keepLog = true, .logPath = log, .keepDays = 3});
        const QString folder = dataDir() + QLatin1String("/old");
        for (const char *day : {"20310630", "20310701", "20310702", "20310703"}) {
            QVERIFY(QDir().mkpath(folder + u'/' + QLatin1String(day)));
            QVERIFY(writeFile(folder + u'/' + QLatin1String(day) + QLatin1String("/vek.htm"), day));
        }
        QVERIFY(writeFile(folder + QLatin1String("/vek.htm"), "old page"));
        Program program;
        QVERIFY(program.runAll(5000));
        // Nothing is pruned before the run's end.
        QCOMPARE(QDir(folder).entryList({QStringLiteral("2031*")}, QDir::Dirs).size(), 5);
        const RunSummary summary = program.session.finishRun();
        QCOMPARE(summary.logFileError, QString());
        // 4 July and the two days before it are kept.
        QCOMPARE(QDir(folder).entryList({QStringLiteral("2031*")}, QDir::Dirs),
                 (QStringList{QStringLiteral("20310702"), QStringLiteral("20310703"), QStringLiteral("20310704")}));
        QCOMPARE(readFile(folder + QLatin1String("/20310704/vek.htm")), QByteArray("old page"));
        const QStringList lines = fixtures::lines(program.log());
        const QRegularExpression pruned = entryLine(QStringLiteral("old"), QStringLiteral(" の古いコピーを 2 件削除しました("));
        QCOMPARE(countOf(lines, pruned), 1);
        QVERIFY(indexOf(lines, pruned) > indexOf(lines, runEndLine()));
        QCOMPARE(countOf(lines, QRegularExpression(QStringLiteral("^new の古いコピー"))), 0);
        QVERIFY(runlog::DecodeFile(readFile(log)).contains(lines.at(indexOf(lines, pruned))));
    }

    // A data folder typed in that does not exist yet is made, with its parents.
    void missingDataFolderIsMade()
    {
        const QString data = dataDir() + QLatin1String("/not/yet");
        writeIni({entry(QStringLiteral("p"), QStringLiteral("/page"))}, {.dirName = data});
        Program program;
        QVERIFY(program.runAll(5000));
        QCOMPARE(readFile(data + QLatin1String("/p/vek.htm")), QByteArray("page"));
    }

    // An answer that is not the page (an error page, an empty 204, a 304 that was not
    // followed) is a failure with its status; the page and the day's copy stay as they were.
    void answerThatIsNoPageKeepsThePage_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << 404 << QStringLiteral("404 Not Found");
        QTest::newRow("503") << 503 << QStringLiteral("503 Service Unavailable");
        QTest::newRow("204") << 204 << QStringLiteral("204 No Content");
        QTest::newRow("304") << 304 << QStringLiteral("304 Not Modified");
    }

    void answerThatIsNoPageKeepsThePage()
    {
        QFETCH(int, status);
        QFETCH(QString, reason);
        const QString folder = dataDir() + QLatin1String("/gone");
        QVERIFY(QDir().mkpath(folder + QLatin1String("/20310704")));
        QVERIFY(writeFile(folder + QLatin1String("/vek.htm"), "the good page"));
        QVERIFY(writeFile(folder + QLatin1String("/20310704/vek.htm"), "this morning's page"));
        const bool bodyless = status == 204 || status == 304;
        m_server.setRoute(QStringLiteral("/gone"), {.status = status, .body = bodyless ? QByteArray() : QByteArray("error page")});
        auto program = start({entry(QStringLiteral("gone"), QStringLiteral("/gone"))});
        QVERIFY(program->runAll(5000));

        const QStringList log = lines(program->log());
        const QRegularExpression failed(QStringLiteral("^gone のダウンロードに失敗しました\\(") + timeRx()
                                        + QStringLiteral("\\) ") + QRegularExpression::escape(reason) + u'$');
        QCOMPARE(countOf(log, failed), 1);
        QCOMPARE(countOf(log, entryLine(QStringLiteral("gone"), QStringLiteral(" のダウンロード終了("))), 0);
        QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), QByteArray("the good page"));
        QCOMPARE(QDir(folder + QLatin1String("/20310704")).entryList(QDir::Files), QStringList{QStringLiteral("vek.htm")});
        QCOMPARE(readFile(folder + QLatin1String("/20310704/vek.htm")), QByteArray("this morning's page"));
        QCOMPARE(program->run().connections().busyCount(), 0);
        // The entry failed with the reason its line gave.
        const QList<EntryEnd> ends = program->session.runSummary().entries;
        QCOMPARE(ends.size(), 1);
        QCOMPARE(ends.at(0).ending, Ending::Failed);
        QCOMPARE(ends.at(0).reason, reason);
        QVERIFY(!ends.at(0).changed);
    }

    void stopInTheMiddle()
    {
        QList<Entry> entries;
        for (int i = 1; i <= 5; ++i)
            entries << entry(QStringLiteral("s%1").arg(i), QStringLiteral("/hang"));
        auto program = start(entries);
        program->session.startRun();
        QVERIFY(program->run().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(program->startOf(QStringLiteral("s2")) >= 0, 3000);
        program->run().stop();

        QVERIFY(!program->run().isActive());
        for (int slot = 1; slot <= 10; ++slot) {
            QCOMPARE(program->run().connections().SlotBusy(slot), 0);
            QCOMPARE(program->run().connections().SlotEntry(slot), 0);
            QCOMPARE(program->status(slot), QStringLiteral("接続無し"));
        }
        const QString atStop = program->log();
        QVERIFY2(runStopLine().match(lines(atStop).last()).hasMatch(), qPrintable(atStop));
        QVERIFY(entryLine(QStringLiteral("s2"), QStringLiteral(" からダウンロード開始(")).match(lines(atStop).at(lines(atStop).size() - 2)).hasMatch());
        QCOMPARE(program->counter, QStringLiteral("2/5"));

        // No tick after STOP: nothing more starts, the run never ends by itself.
        QTest::qWait(1200);
        QCOMPARE(program->log(), atStop);
        QCOMPARE(program->finished, 0);
        QVERIFY(!program->run().isActive());
        // Those under way and those never reached were all cancelled.
        const RunSummary summary = program->session.runSummary();
        QVERIFY(summary.stopped);
        QCOMPARE(summary.entries.size(), 5);
        QCOMPARE(summary.notStored().size(), 5);
        for (const EntryEnd &end : summary.entries)
            QCOMPARE(end.ending, Ending::Cancelled);
        QCOMPARE(summary.entries.at(4).name, QStringLiteral("s5"));
        QCOMPARE(summary.entries.at(4).address, m_server.url(QStringLiteral("/hang")));
    }

    void unsafeNamesAreNeverPaths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << QStringLiteral("../escape");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("empty") << QString();
    }

    void unsafeNamesAreNeverPaths()
    {
        QFETCH(QString, name);
        // The data folder is one level down, so an escape would land in the temporary folder.
        const QString data = dataDir() + QLatin1String("/data");
        QVERIFY(QDir().mkpath(data));
        auto program = start({});
        program->session.options().dirName = data;
        EntryTable &table = program->session.entries();
        table.EntryName(1) = name;
        table.EntryAddress(1) = m_server.url(QStringLiteral("/page"));
        table.EntryName(2) = QStringLiteral("good");
        table.EntryAddress(2) = m_server.url(QStringLiteral("/page"));
        table.EntryCount = 2;
        QVERIFY(program->runAll(5000));

        const QStringList log = lines(program->log());
        QCOMPARE(countOf(log, entryLine(name, QStringLiteral(" は保存先のフォルダ名に使えないため、ダウンロードしませんでした("))), 1);
        QCOMPARE(countOf(log, entryLine(name, QStringLiteral(" からダウンロード開始("))), 0);
        QCOMPARE(m_server.requestCount(), 1);
        QCOMPARE(QDir(data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("good")});
        QCOMPARE(QDir(dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("data")});
        QVERIFY(!QFileInfo::exists(data + QLatin1String("/vek.htm")));
        const QList<EntryEnd> ends = program->session.runSummary().entries;
        QCOMPARE(ends.size(), 2);
        QCOMPARE(ends.at(0).ending, Ending::BadName);
        QCOMPARE(ends.at(1).ending, Ending::Stored);
    }

    // A time-out text that is no positive whole number must not cancel a transfer at the
    // next tick; 60 is used and the log says so once.
    void timeoutText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("warned");
        QTest::newRow("word") << QStringLiteral("abc") << true;
        QTest::newRow("zero") << QStringLiteral("0") << true;
        QTest::newRow("negative") << QStringLiteral("-3") << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("fraction") << QStringLiteral("1.5") << true;
        QTest::newRow("full-width digits") << QStringLiteral("６０") << false;
        QTest::newRow("two seconds") << QStringLiteral("2") << false;
    }

    void timeoutText()
    {
        QFETCH(QString, text);
        QFETCH(bool, warned);
        m_server.setRoute(QStringLiteral("/slow"), {.body = "slow page", .delayMs = 900});
        auto program = start({entry(QStringLiteral("slow"), QStringLiteral("/slow"))});
        program->session.options().timeout = text;
        QVERIFY(program->runAll(6000));
        const QStringList log = lines(program->log());
        const QString warning = QStringLiteral("タイムアウトの秒数「%1」は正の整数ではないため、60 秒を使います").arg(text);
        QCOMPARE(log.count(warning), warned ? 1 : 0);
        if (warned)
            QCOMPARE(log.indexOf(warning), 3);
        QCOMPARE(countOf(log, entryLine(QStringLiteral("slow"), QStringLiteral(" のダウンロード終了("))), 1);
        QCOMPARE(readFile(dataDir() + QLatin1String("/slow/vek.htm")), QByteArray("slow page"));
    }

    // With all 100 entries in use the cursor reaches 101, a row the table does not have.
    void cursorPastAFullTable()
    {
        auto program = start({});
        EntryTable &table = program->session.entries();
        for (int n = 1; n <= 100; ++n)
            table.EntryName(n) = QStringLiteral("e%1").arg(n);
        table.EntryAddress(100) = m_server.url(QStringLiteral("/page"));
        table.EntryCount = 100;
        program->session.startRun();
        // Jump to the last entry before the first tick: entries 1..99 have no address and
        // are passed over, one per tick.
        for (int n = 1; n < 100; ++n)
            program->run().Timer1_Timer();
        QCOMPARE(program->counter, QStringLiteral("99/100"));
        QTRY_VERIFY_WITH_TIMEOUT(!program->run().isActive(), 5000);
        QCOMPARE(program->counter, QStringLiteral("100/100"));
        QCOMPARE(readFile(dataDir() + QLatin1String("/e100/vek.htm")), QByteArray("page"));
        QVERIFY(runEndLine().match(lines(program->log()).last()).hasMatch());
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngineRun)
#include "tst_engine_run.moc"
