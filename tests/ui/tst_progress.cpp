// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_server.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "cli/cli_texts.h"
#include "cli/unattended_run.h"
#include "core/run/run_log.h"
#include "core/session.h"
#include "platform/clock.h"
#include "platform/windir.h"
#include "ui/platform/window_state.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace driver;

namespace {

enum class Logging { On, Off, Unwritable };
// OK clicked, the window closed, or a key pressed where the run left the focus.
enum class Closing { Ok, Window, Return, Escape };

const QString Idle = QStringLiteral("接続無し");
const QString EndBox = QStringLiteral("ダウンロード終了");
const QByteArray KeptLog = "\"kept\"\r\n";

QString logFileText(const QString &path)
{
    return runlog::FirstField(runlog::DecodeFile(readFile(path)));
}

// The log file's text with every time of day written as "T".
QString withoutTimes(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("\\d{1,2}:\\d{2}:\\d{2}"));
    return QString(text).replace(time, QStringLiteral("T"));
}

// The log box shows lines; the log keeps CR LF.
QString asShown(QString log)
{
    return log.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

Q_DECLARE_METATYPE(Logging)
Q_DECLARE_METATYPE(Closing)

// A run clicked through the main window: what the progress window and the main window show
// and allow while it runs and once it is over, and what closing the progress window does.
class TestProgress : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MsgBoxAnswerer> m_boxes;

    QString logPath(Logging logging) const
    {
        return m_dir->path() + (logging == Logging::Unwritable ? QLatin1String("/missing/VEKLOG.txt")
                                                               : QLatin1String("/VEKLOG.txt"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/page"), {.body = "page"});
        m_server.setRoute(QStringLiteral("/broken"), {.reset = true});
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_boxes = std::make_unique<MsgBoxAnswerer>();
        // Each case opens its windows where a first start opens them.
        QFile::remove(windowstate::filePath());
    }

    void cleanup() { m_boxes.reset(); }

    void cleanupTestCase() { m_server.stop(); }

    void runThroughTheWindow_data()
    {
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<Closing>("closing");
        QTest::addColumn<Logging>("logging");
        QTest::newRow("ends, OK, logging on") << false << Closing::Ok << Logging::On;
        QTest::newRow("ends, window closed, logging on") << false << Closing::Window << Logging::On;
        QTest::newRow("ends, OK, logging off") << false << Closing::Ok << Logging::Off;
        QTest::newRow("ends, OK, log file cannot be written") << false << Closing::Ok << Logging::Unwritable;
        QTest::newRow("stopped, window closed, logging off") << true << Closing::Window << Logging::Off;
        QTest::newRow("ends, Return, logging on") << false << Closing::Return << Logging::On;
        QTest::newRow("ends, Escape, logging off") << false << Closing::Escape << Logging::Off;
        QTest::newRow("stopped, Return, logging off") << true << Closing::Return << Logging::Off;
    }

    void runThroughTheWindow()
    {
        QFETCH(bool, stopped);
        QFETCH(Closing, closing);
        QFETCH(Logging, logging);
        const QString path = logPath(logging);
        if (logging == Logging::Off)
            QVERIFY(writeFile(path, KeptLog));
        // "<b>broken" fails, so its status line is not idle when the run is over; its name
        // is shown as typed, not as markup.
        writeIni({{QStringLiteral("page"), m_server.url(QStringLiteral("/page")), {}},
                  {QStringLiteral("<b>broken"), m_server.url(QStringLiteral("/broken")), {}}},
                 {.dirName = m_dir->path(), .keepLog = logging != Logging::Off, .logPath = path});
        auto program = std::make_unique<Program>();
        Program &p = *program;
        QCOMPARE(widget<QCheckBox>(p.window.get(), "Check1")->isChecked(), logging != Logging::Off);

        p.button("btn_dlstart")->click();
        QVERIFY(!p.window->isEnabled());
        QVERIFY(p.dialog->isVisible());
        QVERIFY(p.stop()->isEnabled());
        QVERIFY(!p.ok()->isEnabled());
        // Closing the progress window during a run is refused, by its keys too.
        p.dialog->close();
        QTest::keyClick(p.dialog, Qt::Key_Escape);
        QTest::keyClick(p.dialog, Qt::Key_Enter);
        QVERIFY(p.dialog->isVisible());
        QVERIFY(!p.window->isEnabled());
        QVERIFY(p.stop()->isEnabled());

        if (stopped) {
            p.stop()->click();
            QVERIFY(p.ok()->isEnabled());
            // No tick after STOP, so no end box either.
            QTest::qWait(1200);
            QCOMPARE(m_boxes->texts(), QStringList());
        } else {
            QVERIFY(QTest::qWaitFor([&p] { return p.ok()->isEnabled(); }, 5000));
            QCOMPARE(m_boxes->texts(), QStringList{EndBox});
            QCOMPARE(p.counter(), QStringLiteral("2/2"));
            int idle = 0;
            int failedSlot = 0;
            for (int slot = 1; slot <= 10; ++slot) {
                idle += p.status(slot) == Idle ? 1 : 0;
                failedSlot = p.status(slot) == Idle ? failedSlot : slot;
            }
            QCOMPARE(idle, 9);
            auto *failed = widget<QLabel>(p.dialog, QStringLiteral("Label3(%1)").arg(failedSlot));
            QCOMPARE(failed->text(), QStringLiteral("要求を送信しています (<b>broken)"));
            QCOMPARE(failed->textFormat(), Qt::PlainText);
            // Enabled in itself; the disabled main window still greys it until OK.
            QVERIFY(p.button("btn_dlstart")->isEnabledTo(p.window.get()));
        }
        QVERIFY(!p.stop()->isEnabled());
        QVERIFY(!p.window->isEnabled());
        QVERIFY(p.dialog->isVisible());
        // Ready for the key that closes it.
        QCOMPARE(p.dialog->focusWidget(), p.ok());
        QCOMPARE(p.shownLog(), asShown(p.log()));
        // Nothing is written before the progress window closes.
        QCOMPARE(QFileInfo::exists(path), logging == Logging::Off);

        m_boxes->clear();
        switch (closing) {
        case Closing::Ok:
            p.ok()->click();
            break;
        case Closing::Window:
            p.dialog->close();
            break;
        case Closing::Return:
        case Closing::Escape:
            QTest::keyClick(p.dialog->focusWidget(), closing == Closing::Return ? Qt::Key_Return : Qt::Key_Escape);
            break;
        }
        QVERIFY(!p.dialog->isVisible());
        QVERIFY(p.window->isEnabled());
        QVERIFY(p.button("btn_dlstart")->isEnabled());
        for (int slot = 1; slot <= 10; ++slot)
            QCOMPARE(p.status(slot), Idle);

        const QString log = p.log();
        switch (logging) {
        case Logging::On: {
            QCOMPARE(m_boxes->texts(), QStringList());
            QCOMPARE(readFile(path), runlog::EncodeRecord(log));
            // The next start-up carries on from the file and shows it.
            program.reset();
            Program next;
            QCOMPARE(next.log(), log);
            QCOMPARE(next.shownLog(), asShown(log));
            break;
        }
        case Logging::Off:
            QCOMPARE(m_boxes->texts(), QStringList());
            QCOMPARE(readFile(path), KeptLog);
            break;
        case Logging::Unwritable:
            QTRY_COMPARE(m_boxes->texts().size(), 1);
            QVERIFY2(m_boxes->texts().constFirst().startsWith(QStringLiteral("ログファイルを書き込めませんでした。\r\n") + path + QLatin1String("\r\n")),
                     qPrintable(m_boxes->texts().constFirst()));
            QVERIFY(!QFileInfo::exists(path));
            break;
        }
    }

    // Nothing starts, and the user is told, when the data folder is empty or relative (pages
    // would land at "/" or wherever the program was started) or another run (an unattended
    // one, or another window) holds the run lock. Once the lock is free the run goes, and
    // holds the lock until OK.
    void refusedBeforeAnythingStarts_data()
    {
        QTest::addColumn<QString>("dataFolder"); // "" keeps the test's own folder
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("box");
        const QString badFolder = QStringLiteral("データの保存場所が空か");
        const QString busy = QStringLiteral("別のダウンロードが実行中のため、開始できません。");
        QTest::newRow("empty data folder, 全てダウンロード") << QStringLiteral("<empty>") << false << QByteArray("btn_dlstart") << badFolder;
        QTest::newRow("relative data folder, 全てダウンロード") << QStringLiteral("pages") << false << QByteArray("btn_dlstart") << badFolder;
        QTest::newRow("empty data folder, ダウンロード") << QStringLiteral("<empty>") << false << QByteArray("Command4") << badFolder;
        QTest::newRow("relative data folder, ダウンロード") << QStringLiteral("~/pages") << false << QByteArray("Command4") << badFolder;
        QTest::newRow("another run, 全てダウンロード") << QString() << true << QByteArray("btn_dlstart") << busy;
        QTest::newRow("another run, ダウンロード") << QString() << true << QByteArray("Command4") << busy;
    }

    void refusedBeforeAnythingStarts()
    {
        QFETCH(QString, dataFolder);
        QFETCH(bool, locked);
        QFETCH(QByteArray, button);
        QFETCH(QString, box);
        const QString folder = dataFolder.isEmpty() ? m_dir->path() : dataFolder == u"<empty>" ? QString() : dataFolder;
        writeIni({{QStringLiteral("page"), m_server.url(QStringLiteral("/page")), {}}}, {.dirName = folder});
        auto other = std::make_unique<Session>(GetWindowsDirectory());
        if (locked)
            QVERIFY(other->beginRun());
        Program p;
        p.window->show();
        const int requests = m_server.requestCount();

        p.button(button.constData())->click();
        QTRY_COMPARE(m_boxes->texts().size(), 1);
        QVERIFY2(m_boxes->texts().constFirst().startsWith(box), qPrintable(m_boxes->texts().constFirst()));
        if (locked)
            QVERIFY(m_boxes->texts().constFirst().contains(QStringLiteral("PID %1").arg(QCoreApplication::applicationPid())));
        QVERIFY(!p.dialog->isVisible());
        QVERIFY(p.window->isEnabled());
        QCOMPARE(p.log(), QString());
        QTest::qWait(700);
        QCOMPARE(m_server.requestCount(), requests);
        QVERIFY(!QFileInfo::exists(m_dir->path() + QLatin1String("/page/vek.htm")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/page")));
        if (!locked)
            return;

        other.reset();
        m_boxes->clear();
        p.button(button.constData())->click();
        QVERIFY(QTest::qWaitFor([&p] { return p.ok()->isEnabled(); }, 5000));
        QVERIFY(QFileInfo::exists(m_dir->path() + QLatin1String("/page/vek.htm")));
        Session next(GetWindowsDirectory());
        QVERIFY(!next.beginRun());
        p.ok()->click();
        QVERIFY(next.beginRun());
    }

    // Closing the main window while a run or a single download is under way stops it as STOP
    // does, keeps the log as OK does, and leaves no window behind.
    void closingTheMainWindowStopsAndKeepsTheLog_data()
    {
        QTest::addColumn<bool>("single");
        QTest::newRow("full run") << false;
        QTest::newRow("single download") << true;
    }

    void closingTheMainWindowStopsAndKeepsTheLog()
    {
        QFETCH(bool, single);
        m_server.setRoute(QStringLiteral("/hang"), {.hang = true});
        const QString path = logPath(Logging::On);
        writeIni({{QStringLiteral("hang"), m_server.url(QStringLiteral("/hang")), {}}},
                 {.dirName = m_dir->path(), .keepLog = true, .logPath = path});
        Program p;
        p.window->show();
        if (single) {
            clickNode(*p.window, 1);
            QTimer::singleShot(500, p.window.get(), [&p] { p.window->close(); });
            p.button("Command4")->click();
        } else {
            p.button("btn_dlstart")->click();
            QTRY_COMPARE(p.status(1), QStringLiteral("要求を送信しています (hang)"));
            QVERIFY(p.window->close());
        }
        QTRY_VERIFY(!p.window->isVisible());
        QVERIFY(!p.dialog->isVisible());
        QVERIFY(!p.window->session().run().isActive());
        QCOMPARE(p.connections().busyCount(), 0);
        // A closing program asks nothing more.
        QCOMPARE(m_boxes->texts(), QStringList());
        const QStringList log = lines(p.log());
        QCOMPARE(countOf(log, runStopLine()), 1);
        QCOMPARE(countOf(log, runLine("ダウンロード失敗")), 0);
        QCOMPARE(readFile(path), runlog::EncodeRecord(p.log()));
    }

    // The end of a run is one and the same from both faces: the same list run from the window
    // (closed with OK) and by --run-all leaves the same log file, the same changed marks and
    // the same summary, and lets the run lock go.
    void endOfARunIsTheSameFromBothFaces()
    {
        m_server.setRoute(QStringLiteral("/same"), {.body = "same"});
        m_server.setRoute(QStringLiteral("/new"), {.body = "new page"});
        m_server.setRoute(QStringLiteral("/hang"), {.hang = true});
        const QString data = m_dir->path() + QLatin1String("/data");
        const QString path = logPath(Logging::On);
        // The hung entry comes last, so that every line is logged in one order.
        writeIni({{QStringLiteral("same"), m_server.url(QStringLiteral("/same")), {}},
                  {QStringLiteral("changed"), m_server.url(QStringLiteral("/new")), {}},
                  {QStringLiteral("broken"), m_server.url(QStringLiteral("/broken")), {}},
                  {QStringLiteral(".."), m_server.url(QStringLiteral("/same")), {}},
                  {QStringLiteral("short"), QStringLiteral("http:/x"), {}},
                  {QStringLiteral("hang"), m_server.url(QStringLiteral("/hang")), {}}},
                 {.dirName = data, .timeout = QStringLiteral("1"), .keepLog = true, .logPath = path});
        const QString marksPath = ChangedMarks(iniPath()).path();
        const auto prepare = [&] {
            QVERIFY(QDir(data).removeRecursively());
            for (const char *name : {"same", "changed"})
                QVERIFY(QDir().mkpath(data + u'/' + QLatin1String(name)));
            QVERIFY(writeFile(data + QLatin1String("/same/vek.htm"), "same"));
            QVERIFY(writeFile(data + QLatin1String("/changed/vek.htm"), "old page"));
            QFile::remove(path);
            QFile::remove(marksPath);
        };
        const auto lockIsFree = [] { return Session(GetWindowsDirectory()).beginRun(); };

        prepare();
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        RunSummary fromWindow;
        {
            Program p;
            QVERIFY(p.runAll(20000));
            p.ok()->click();
            // Nothing failed to be written: only the end box was shown.
            QCOMPARE(m_boxes->texts(), QStringList{EndBox});
            fromWindow = p.window->session().runSummary();
            QVERIFY(lockIsFree());
        }
        const QString windowLog = withoutTimes(logFileText(path));
        const QByteArray windowMarks = readFile(marksPath);
        const QStringList windowPages = QDir(data).entryList(QDir::Dirs | QDir::NoDotAndDotDot);

        prepare();
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        cli::UnattendedRun unattended(QString(), true, cli::English);
        QCOMPARE(unattended.exec(), 1);
        const RunSummary &fromCommandLine = unattended.summary();
        QVERIFY(lockIsFree());

        QVERIFY(!windowLog.isEmpty());
        QCOMPARE(withoutTimes(logFileText(path)), windowLog);
        QCOMPARE(readFile(marksPath), windowMarks);
        QCOMPARE(QDir(data).entryList(QDir::Dirs | QDir::NoDotAndDotDot), windowPages);
        QCOMPARE(fromCommandLine.logFileError, QString());
        QCOMPARE(fromCommandLine.marksError, QString());
        QCOMPARE(fromCommandLine.entries, fromWindow.entries);
        QCOMPARE(fromCommandLine.stopped, fromWindow.stopped);

        // And what they agree on is what happened.
        QVERIFY(windowMarks.contains("changed") && !windowMarks.contains("same"));
        const QStringList log = lines(logFileText(path));
        QCOMPARE(countOf(log, runStartLine()), 1);
        QCOMPARE(countOf(log, runEndLine()), 1);
        QStringList ended;
        for (const EntryEnd &end : fromWindow.entries)
            ended << QStringLiteral("%1 %2 %3").arg(end.name).arg(int(end.ending)).arg(end.changed);
        QCOMPARE(ended, (QStringList{QStringLiteral("same %1 0").arg(int(Ending::Stored)),
                                     QStringLiteral("changed %1 1").arg(int(Ending::Stored)),
                                     QStringLiteral("broken %1 0").arg(int(Ending::Failed)),
                                     QStringLiteral(".. %1 0").arg(int(Ending::BadName)),
                                     QStringLiteral("hang %1 0").arg(int(Ending::TimedOut))}));
        // A failure carries the reason its line gives.
        const EntryEnd &broken = fromWindow.entries.at(2);
        QVERIFY(!broken.reason.isEmpty());
        const QStringList failedLines = log.filter(QStringLiteral("broken のダウンロードに失敗しました("));
        QCOMPARE(failedLines.size(), 1);
        QVERIFY(failedLines.constFirst().endsWith(QLatin1Char(' ') + broken.reason));
        QVERIFY(!fromWindow.stopped);
        vclock::reset();
    }

    // ctest runs this program at QT_SCALE_FACTOR=2 on a 1920×1080 screen. Both windows fit it
    // with every button in the window, the progress window opens centred over the main window,
    // and a status line with a long entry name is cut, with its full text as tool tip, instead
    // of widening the window.
    void fitsAFullHdScreenAtScaleTwo()
    {
        const QString name = QString(300, u'長');
        writeIni({{name, m_server.url(QStringLiteral("/broken")), {}}}, {.dirName = m_dir->path()});
        Program p;
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        const qreal scale = p.window->devicePixelRatioF();
        if (scale != 2.0)
            QSKIP("needs QT_SCALE_FACTOR=2 and a 1920x1080 screen, as ctest gives it");

        QVERIFY(p.runAll(5000));
        // The screen in device pixels, less room for a title bar and a panel.
        const QRect screen(0, 0, 1920, 1080 - 80);
        for (QWidget *window : {static_cast<QWidget *>(p.window.get()), static_cast<QWidget *>(p.dialog)}) {
            const QRect device(window->frameGeometry().topLeft() * scale, window->frameGeometry().size() * scale);
            QVERIFY2(screen.contains(device), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                                             .arg(window->objectName())
                                                             .arg(device.x()).arg(device.y())
                                                             .arg(device.width()).arg(device.height())));
        }
        const QPoint offCentre = p.dialog->frameGeometry().center() - p.window->frameGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 2);
        for (const char *name : {"btn_add", "btn_dlstart", "btn_data_sansyou", "btn_log_sansyou", "btn_save"}) {
            QPushButton *b = p.button(name);
            QVERIFY2(p.window->rect().contains(QRect(b->mapTo(p.window.get(), QPoint()), b->size())), name);
        }
        for (QPushButton *b : {p.stop(), p.ok()}) {
            QVERIFY(b->isVisible());
            QVERIFY(p.dialog->rect().contains(QRect(b->mapTo(p.dialog, QPoint()), b->size())));
        }

        auto *line = widget<QLabel>(p.dialog, "Label3(1)");
        QVERIFY(line->text().contains(name));
        QVERIFY(line->width() < line->fontMetrics().horizontalAdvance(line->text()));
        QCOMPARE(line->toolTip(), line->text());
        p.ok()->click();
    }
};

VEKANTO_TEST_MAIN(TestProgress)
#include "tst_progress.moc"
