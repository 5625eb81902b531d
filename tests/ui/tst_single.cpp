// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_server.h"
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/inet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using namespace driver;

namespace {

const QString Time = QStringLiteral("\\d{1,2}:\\d{2}:\\d{2}");

QString dateTime()
{
    return QRegularExpression::escape(vclock::Date() + QLatin1Char(' ')) + Time;
}

} // namespace

// "ダウンロード" on the main window: the selected entry fetched at once, in the foreground.
class TestSingle : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<frm_vekmain> m_window;
    std::unique_ptr<MsgBoxAnswerer> m_boxes;

    frm_vekmain &w() { return *m_window; }

    // Entries and the selection are set as they stand, without nodes: the download reads
    // the list and the selection only.
    void setEntry(int n, const QString &name, const QString &address, const QString &rule = {})
    {
        EntryTable &t = w().session().entries();
        t.EntryName(n) = name;
        t.EntryAddress(n) = address;
        t.EntryRule(n) = rule;
        t.EntryCount = qMax(t.EntryCount, n);
    }
    void select(int n)
    {
        w().SelectEntry(n);
        QCOMPARE(widget<QLabel>(&w(), "tree_cnt")->text(), QString::number(n));
    }
    QString page(const QString &name) const { return m_data->path() + QLatin1Char('/') + name + QStringLiteral("/vek.htm"); }
    // Clicks "ダウンロード"; the download goes on in the event loop while the click returns.
    void clickDownload() { click(&w(), "Command4"); }
    // Until the download has ended and its boxes are answered: OK usable.
    bool ended(int timeoutMs = 20000)
    {
        return QTest::qWaitFor([this] { return widget<QPushButton>(w().Progress(), "Command2")->isEnabled(); },
                               timeoutMs);
    }
    QString status1() { return widget<QLabel>(w().Progress(), "Label3(1)")->text(); }
    QPushButton *mainButton(const char *name) { return widget<QPushButton>(&w(), name); }

    // After a click the dialog waits for OK, with the main window still disabled.
    void verifyEndState()
    {
        frm_VEKDL *dialog = w().Progress();
        QVERIFY(dialog->isVisible());
        QVERIFY(!widget<QPushButton>(dialog, "Command1")->isEnabled());
        QVERIFY(widget<QPushButton>(dialog, "Command2")->isEnabled());
        // Enabled itself, usable once the disabled main window comes back.
        QVERIFY(mainButton("btn_dlstart")->isEnabledTo(&w()));
        QVERIFY(!w().isEnabled());
        click(dialog, "Command2");
        QVERIFY(!dialog->isVisible());
        QVERIFY(w().isEnabled());
    }

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }
    void cleanupTestCase() { m_server.stop(); }
    void init()
    {
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        m_data = std::make_unique<QTemporaryDir>();
        m_boxes = std::make_unique<MsgBoxAnswerer>();
        m_window = std::make_unique<frm_vekmain>();
        w().Form_Load();
        field(w(), "DirName")->setText(m_data->path());
        w().show();
        m_server.clearRequests();
        m_boxes->clear();
    }
    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
        vclock::reset();
    }

    // The page is stored as the full run stores it: the bytes as received (a UTF-8 page keeps
    // every character), the page it replaces kept in today's dated folder.
    void successStoresTheBytesAndKeepsTheOldPage()
    {
        const QByteArray body = QStringLiteral("<html>日本語のページ ①</html>\r\nend").toUtf8();
        m_server.setRoute(QStringLiteral("/news/20310704.html"), {.body = body});
        setEntry(1, QStringLiteral("one"), m_server.url(QStringLiteral("/one")));
        setEntry(3, QStringLiteral("ニュース"), m_server.url(QStringLiteral("/news/")),
                 QStringLiteral("%0y%0m%0d.html"));
        QVERIFY(QDir().mkpath(m_data->path() + QStringLiteral("/ニュース")));
        QVERIFY(writeFile(page(QStringLiteral("ニュース")), QByteArray(4000, 'x')));
        select(3);
        clickDownload();
        QVERIFY(ended());

        QCOMPARE(readFile(page(QStringLiteral("ニュース"))), body);
        QCOMPARE(readFile(m_data->path() + QStringLiteral("/ニュース/20310704/vek.htm")), QByteArray(4000, 'x'));
        QCOMPARE(m_server.requestedPaths(), QStringList{QStringLiteral("/news/20310704.html")});
        QCOMPARE(status1(), QStringLiteral("接続無し"));
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("ダウンロード終了")});
        QVERIFY(!QFileInfo::exists(m_data->path() + QStringLiteral("/one")));
        const QRegularExpression log(
            QStringLiteral("^\\r\\n＊＊＊ ダウンロード開始\\(%1\\) ＊＊＊\\r\\n"
                           "\\r\\nニュース からダウンロード開始\\(%2\\)"
                           "\\r\\n\\r\\n＊＊＊ ダウンロード終了\\(%1\\) ＊＊＊$")
                .arg(dateTime(), Time));
        QVERIFY2(log.match(w().Progress()->LogText()).hasMatch(), qPrintable(w().Progress()->LogText()));
        verifyEndState();
    }

    // The editor's preview of a rule is what the download then asks for, whatever the case
    // of the letters typed.
    void previewIsWhatIsFetched_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("shown"); // on 4 July 2031
        QTest::newRow("upper-case padded date") << QStringLiteral("%0Y%0M%0D.html") << QStringLiteral("20310704.html");
        QTest::newRow("mixed case short date") << QStringLiteral("%y/%M/%d") << QStringLiteral("31/7/4");
        QTest::newRow("unknown letters dropped") << QStringLiteral("%X%0Qa%0d") << QStringLiteral("a04");
    }
    void previewIsWhatIsFetched()
    {
        QFETCH(QString, rule);
        QFETCH(QString, shown);
        m_server.setRoute(QStringLiteral("/r/") + shown, {.body = "dated"});
        click(&w(), "btn_add");
        typeIn("txtname", QStringLiteral("dated"));
        typeIn("txtip", m_server.url(QStringLiteral("/r/")));
        typeIn("cip", rule);
        QCOMPARE(widget<QLabel>(editor(), "Label4")->text(), shown);
        clickEditor("btn_root");
        clickNode(w(), 1);
        clickDownload();

        QTRY_COMPARE(m_server.requestedPaths(), QStringList{QStringLiteral("/r/") + shown});
        QTRY_COMPARE(readFile(page(QStringLiteral("dated"))), QByteArray("dated"));
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("ダウンロード終了")});
        verifyEndState();
    }

    void folderIsFoundOrMadeAndEmptyRuleFetchesTheAddress_data()
    {
        QTest::addColumn<QString>("dataSuffix");
        QTest::addColumn<QString>("existing");
        QTest::newRow("plain data folder") << QString() << QString();
        QTest::newRow("data folder ending in a separator") << QStringLiteral("/") << QString();
        // The folder the full run stores into; no second folder beside it.
        QTest::newRow("folder in another letter case") << QString() << QStringLiteral("NeW");
        QTest::newRow("data folder not made yet") << QStringLiteral("/not/yet") << QString();
    }
    void folderIsFoundOrMadeAndEmptyRuleFetchesTheAddress()
    {
        QFETCH(QString, dataSuffix);
        QFETCH(QString, existing);
        if (!existing.isEmpty())
            QVERIFY(QDir(m_data->path()).mkdir(existing));
        m_server.setRoute(QStringLiteral("/exact"), {.body = "abc"});
        setEntry(1, QStringLiteral("new"), m_server.url(QStringLiteral("/exact")));
        field(w(), "DirName")->setText(m_data->path() + dataSuffix);
        select(1);
        clickDownload();
        QVERIFY(ended());
        QCOMPARE(m_server.requestedPaths(), QStringList{QStringLiteral("/exact")});
        const QString folder = existing.isEmpty() ? QStringLiteral("new") : existing;
        QCOMPARE(readFile(m_data->path() + dataSuffix + u'/' + folder + QStringLiteral("/vek.htm")), QByteArray("abc"));
        QCOMPARE(QDir(m_data->path() + dataSuffix).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{folder});
        verifyEndState();
    }

    void nothingHappensWithoutSelectionOrAddress_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("address");
        QTest::newRow("nothing selected") << 0 << QStringLiteral("http://127.0.0.1:1/x");
        QTest::newRow("entry without address") << 1 << QString();
        QTest::newRow("selection past the table") << 101 << QStringLiteral("http://127.0.0.1:1/x");
    }
    void nothingHappensWithoutSelectionOrAddress()
    {
        QFETCH(int, selected);
        QFETCH(QString, address);
        setEntry(1, QStringLiteral("a"), address);
        select(selected);
        clickDownload();
        QTest::qWait(100);
        QVERIFY(!w().HasProgress() || !w().Progress()->isVisible());
        QVERIFY(m_boxes->seen().isEmpty());
        QVERIFY(w().isEnabled());
        QVERIFY(mainButton("btn_dlstart")->isEnabled());
        QCOMPARE(m_server.requestCount(), 0);
    }

    void failureEndsInOrder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<TestServer::Response>("response");
        QTest::addColumn<QString>("address"); // overrides the server's address when set
        QTest::addColumn<QString>("reason");  // the reason the failure line gives, when fixed

        QTest::newRow("connection reset") << QStringLiteral("/reset")
                                          << TestServer::Response{.reset = true} << QString() << QString();
        QTest::newRow("closed before headers")
            << QStringLiteral("/close") << TestServer::Response{.closeBeforeHeaders = true}
            << QString() << QString();
        QTest::newRow("time-out") << QStringLiteral("/hang") << TestServer::Response{.hang = true}
                                  << QString() << QStringLiteral("時間切れです");
        QTest::newRow("refused") << QString() << TestServer::Response{}
                                 << QStringLiteral("http://127.0.0.1:1/none") << QStringLiteral("接続を拒否されました");
        QTest::newRow("not http") << QString() << TestServer::Response{}
                                  << QStringLiteral("file:///etc/hostname") << QString();
        // An error page is no page: it never replaces the old one.
        QTest::newRow("404 page") << QStringLiteral("/gone") << TestServer::Response{.status = 404, .body = "gone"}
                                  << QString() << QStringLiteral("404 Not Found");
    }
    void failureEndsInOrder()
    {
        QFETCH(QString, path);
        QFETCH(TestServer::Response, response);
        QFETCH(QString, address);
        QFETCH(QString, reason);
        if (!path.isEmpty())
            m_server.setRoute(path, response);
        const QString name = QStringLiteral("bad");
        setEntry(1, name, address.isEmpty() ? m_server.url(path) : address);
        QVERIFY(QDir().mkpath(m_data->path() + QLatin1Char('/') + name));
        QFile old(page(name));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old page");
        old.close();
        // The single download gives up after the time-out the window shows.
        field(w(), "Text4")->setText(QStringLiteral("1"));
        select(1);
        clickDownload();
        QVERIFY(ended());

        QCOMPARE(m_boxes->texts(), (QStringList{QStringLiteral("ダウンロード失敗、終了します。"),
                                                QStringLiteral("ダウンロード終了")}));
        QCOMPARE(readFile(page(name)), QByteArray("old page"));
        QCOMPARE(status1(), QStringLiteral("接続開始 (bad)"));
        // The failure line gives the reason, as a full run's does.
        const QRegularExpression log(
            QStringLiteral("^\\r\\n＊＊＊ ダウンロード開始\\(%1\\) ＊＊＊\\r\\n"
                           "\\r\\nbad からダウンロード開始\\(%2\\)"
                           "\\r\\nbad のダウンロードに失敗しました\\(%2\\) %3"
                           "\\r\\n\\r\\n＊＊＊ ダウンロード失敗\\(%1\\) ＊＊＊"
                           "\\r\\n\\r\\n＊＊＊ ダウンロード終了\\(%1\\) ＊＊＊$")
                .arg(dateTime(), Time,
                     reason.isEmpty() ? QStringLiteral("[^\\r\\n]+") : QRegularExpression::escape(reason)));
        QVERIFY2(log.match(w().Progress()->LogText()).hasMatch(), qPrintable(w().Progress()->LogText()));
        verifyEndState();
    }

    void failedWriteIsAFailure()
    {
        m_server.setRoute(QStringLiteral("/ok"), {.body = "fine"});
        setEntry(1, QStringLiteral("blocked"), m_server.url(QStringLiteral("/ok")));
        // A folder where the page should go cannot be replaced by a file.
        QVERIFY(QDir().mkpath(page(QStringLiteral("blocked")) + QStringLiteral("/inside")));
        select(1);
        clickDownload();
        QVERIFY(ended());
        QCOMPARE(m_boxes->texts(), (QStringList{QStringLiteral("ダウンロード失敗、終了します。"),
                                                QStringLiteral("ダウンロード終了")}));
        QVERIFY(QFileInfo(page(QStringLiteral("blocked"))).isDir());
        QVERIFY(w().Progress()->LogText().contains(QStringLiteral("blocked のページを保存できませんでした(")));
        QVERIFY(w().Progress()->LogText().contains(QStringLiteral("＊＊＊ ダウンロード失敗(")));
        verifyEndState();
    }

    // Nothing blocks while the page is on its way: the click returns at once, the window waits
    // disabled and the progress window shows the entry starting.
    void nothingWaitsForThePage()
    {
        m_server.setRoute(QStringLiteral("/slow"), {.body = "late", .delayMs = 1000});
        setEntry(1, QStringLiteral("slow"), m_server.url(QStringLiteral("/slow")));
        select(1);
        clickDownload();
        QVERIFY(!w().isEnabled());
        QVERIFY(widget<QPushButton>(w().Progress(), "Command1")->isEnabled());
        QTRY_COMPARE(m_server.requestCount(), 1);
        QCOMPARE(status1(), QStringLiteral("接続開始 (slow)"));
        QVERIFY(m_boxes->seen().isEmpty());
        QVERIFY(ended());
        QCOMPARE(readFile(page(QStringLiteral("slow"))), QByteArray("late"));
        verifyEndState();
    }

    // STOP ends a single download within a second, as it ends a run: the old page stays byte
    // for byte (also once the answer would have come), the stop is logged, no box is shown,
    // and after OK the window works as before.
    void stopCancelsTheDownload()
    {
        static const char oldBytes[] = "<html>前のページ \x00\xff</html>";
        const QByteArray oldPage(oldBytes, sizeof oldBytes - 1);
        m_server.setRoute(QStringLiteral("/slow"), {.body = "too late", .delayMs = 2500});
        m_server.setRoute(QStringLiteral("/quick"), {.body = "quick"});
        setEntry(1, QStringLiteral("slow"), m_server.url(QStringLiteral("/slow")));
        setEntry(2, QStringLiteral("quick"), m_server.url(QStringLiteral("/quick")));
        QVERIFY(QDir().mkpath(m_data->path() + QStringLiteral("/slow")));
        QVERIFY(writeFile(page(QStringLiteral("slow")), oldPage));
        select(1);
        clickDownload();
        QTRY_COMPARE(m_server.requestCount(), 1);

        frm_VEKDL *dialog = w().Progress();
        QElapsedTimer clock;
        clock.start();
        click(dialog, "Command1");
        QVERIFY(QTest::qWaitFor([dialog] { return widget<QPushButton>(dialog, "Command2")->isEnabled(); }, 1000));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(!widget<QPushButton>(dialog, "Command1")->isEnabled());
        QCOMPARE(w().session().run().connections().busyCount(), 0);
        QVERIFY(!w().session().run().isActive());
        QCOMPARE(status1(), QStringLiteral("接続無し"));
        const QStringList log = lines(dialog->LogText());
        QCOMPARE(countOf(log, runStopLine()), 1);
        QCOMPARE(countOf(log, runLine("ダウンロード失敗")), 0);
        QCOMPARE(countOf(log, runEndLine()), 0);
        // The answer the server still sends is never stored.
        QTest::qWait(3000);
        QCOMPARE(readFile(page(QStringLiteral("slow"))), oldPage);
        QCOMPARE(QDir(m_data->path() + QStringLiteral("/slow")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("vek.htm")});
        QVERIFY(m_boxes->seen().isEmpty());
        QCOMPARE(w().session().runSummary().entries.constFirst().ending, Ending::Cancelled);

        click(dialog, "Command2");
        QVERIFY(!dialog->isVisible());
        QVERIFY(w().isEnabled());
        QVERIFY(mainButton("btn_dlstart")->isEnabled());
        select(2);
        clickDownload();
        QVERIFY(ended());
        QCOMPARE(readFile(page(QStringLiteral("quick"))), QByteArray("quick"));
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("ダウンロード終了")});
        verifyEndState();
    }

    void nameLeavingTheDataFolderIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << QStringLiteral("..");
        QTest::newRow("slash") << QStringLiteral("../escape");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
    }
    void nameLeavingTheDataFolderIsRefused()
    {
        QFETCH(QString, name);
        m_server.setRoute(QStringLiteral("/ok"), {.body = "fine"});
        setEntry(1, name, m_server.url(QStringLiteral("/ok")));
        select(1);
        clickDownload();
        QCOMPARE(m_boxes->seen().size(), 1);
        QVERIFY(m_boxes->texts().constFirst().contains(name));
        QCOMPARE(m_server.requestCount(), 0);
        QVERIFY(!w().HasProgress() || !w().Progress()->isVisible());
        QVERIFY(w().isEnabled());
        QVERIFY(!QFileInfo::exists(m_data->path() + QStringLiteral("/../escape")));
    }
};

VEKANTO_TEST_MAIN(TestSingle)
#include "tst_single.moc"
