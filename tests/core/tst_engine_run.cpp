#include "support/test_server.h"
#include "support/core_testmain.h"

#include "engine_driver.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace enginedriver;

// How runs start, wait, time out, stop and end, and what a second and third run of a day keep.
class TestEngineRun : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<MsgBoxAnswerer> m_boxes;

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
        m_boxes = std::make_unique<MsgBoxAnswerer>();
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        m_server.clearRequests();
    }

    void cleanup()
    {
        m_boxes.reset();
        vclock::reset();
    }

    void cleanupTestCase() { m_server.stop(); }

    void emptyListEndsAtFirstTick()
    {
        auto program = start({});
        QVERIFY(program->runAll(3000));
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("ダウンロード終了")});
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
        QCOMPARE(program->counter(), QStringLiteral("12/12"));
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

    // The first run stores the page; the second of the day keeps the first in the dated
    // folder; the third overwrites that copy. A shorter page leaves no tail of a longer one.
    void datedCopiesOfTheDay()
    {
        const QString folder = dataDir() + QLatin1String("/daily");
        const QString dated = folder + QLatin1String("/20310704/vek.htm");
        const QByteArray bodies[] = {"first page, the longest of the three", "second", "third!"};
        for (int run = 0; run < 3; ++run) {
            m_server.setRoute(QStringLiteral("/daily"), {.body = bodies[run]});
            auto program = start({entry(QStringLiteral("daily"), QStringLiteral("/daily"))});
            QVERIFY(program->runAll(5000));
            QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), bodies[run]);
            if (run == 0) {
                QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("vek.htm")});
            } else {
                QCOMPARE(readFile(dated), bodies[run - 1]);
                QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                         (QStringList{QStringLiteral("20310704"), QStringLiteral("vek.htm")}));
                QCOMPARE(QDir(folder + QLatin1String("/20310704")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                         QStringList{QStringLiteral("vek.htm")});
            }
        }
    }

    void stopInTheMiddle()
    {
        QList<Entry> entries;
        for (int i = 1; i <= 5; ++i)
            entries << entry(QStringLiteral("s%1").arg(i), QStringLiteral("/hang"));
        auto program = start(entries);
        program->button("btn_dlstart")->click();
        QVERIFY(!program->window->isEnabled());
        QVERIFY(program->dialog->isVisible());
        QVERIFY(program->stop()->isEnabled());
        QVERIFY(!program->ok()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(program->startOf(QStringLiteral("s2")) >= 0, 3000);
        program->stop()->click();

        QVERIFY(!program->stop()->isEnabled());
        QVERIFY(program->ok()->isEnabled());
        for (int slot = 1; slot <= 10; ++slot) {
            QCOMPARE(program->window->SlotBusy(slot), 0);
            QCOMPARE(program->window->SlotEntry(slot), 0);
            QCOMPARE(program->status(slot), QStringLiteral("接続無し"));
        }
        const QString atStop = program->log();
        QVERIFY2(runStopLine().match(lines(atStop).last()).hasMatch(), qPrintable(atStop));
        QVERIFY(entryLine(QStringLiteral("s2"), QStringLiteral(" からダウンロード開始(")).match(lines(atStop).at(lines(atStop).size() - 2)).hasMatch());
        QCOMPARE(program->counter(), QStringLiteral("2/5"));

        // No tick after STOP: nothing more starts, no end box comes.
        QTest::qWait(1200);
        QCOMPARE(program->log(), atStop);
        QVERIFY(m_boxes->texts().isEmpty());
        // Closing the window is the same as OK once the run is over.
        program->dialog->close();
        QVERIFY(!program->dialog->isVisible());
        QVERIFY(program->window->isEnabled());
        QVERIFY(program->button("btn_dlstart")->isEnabled());
    }

    void closingDuringARunIsRefused()
    {
        auto program = start({entry(QStringLiteral("c1"), QStringLiteral("/hang"))});
        program->button("btn_dlstart")->click();
        program->dialog->close();
        QVERIFY(program->dialog->isVisible());
        QVERIFY(!program->window->isEnabled());
        program->stop()->click();
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
        program->window->DirName->setText(data);
        program->window->Entries.EntryName(1) = name;
        program->window->Entries.EntryAddress(1) = m_server.url(QStringLiteral("/page"));
        program->window->Entries.EntryName(2) = QStringLiteral("good");
        program->window->Entries.EntryAddress(2) = m_server.url(QStringLiteral("/page"));
        program->window->Entries.EntryCount = 2;
        QVERIFY(program->runAll(5000));

        const QStringList log = lines(program->log());
        QCOMPARE(countOf(log, entryLine(name, QStringLiteral(" は保存先のフォルダ名に使えないため、ダウンロードしませんでした("))), 1);
        QCOMPARE(countOf(log, entryLine(name, QStringLiteral(" からダウンロード開始("))), 0);
        QCOMPARE(m_server.requestCount(), 1);
        QCOMPARE(QDir(data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("good")});
        QCOMPARE(QDir(dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("data")});
        QVERIFY(!QFileInfo::exists(data + QLatin1String("/vek.htm")));
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
        program->window->Text4->setText(text);
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
        frm_vekmain *w = program->window.get();
        for (int n = 1; n <= 100; ++n)
            w->Entries.EntryName(n) = QStringLiteral("e%1").arg(n);
        w->Entries.EntryAddress(100) = m_server.url(QStringLiteral("/page"));
        w->Entries.EntryCount = 100;
        program->button("btn_dlstart")->click();
        // Jump to the last entry before the first tick.
        w->RunCursor = 100;
        QTRY_VERIFY_WITH_TIMEOUT(program->ok()->isEnabled(), 5000);
        QCOMPARE(program->counter(), QStringLiteral("100/100"));
        QCOMPARE(readFile(dataDir() + QLatin1String("/e100/vek.htm")), QByteArray("page"));
        QVERIFY(runEndLine().match(lines(program->log()).last()).hasMatch());
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngineRun)
#include "tst_engine_run.moc"
