// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/fs_faults.h"
#include "support/run_driver.h"

#include "core/list/entry_name.h"
#include "core/list/entry_table.h"
#include "core/run/timeout_text.h"
#include "core/store/page_info.h"
#include "core/store/page_store.h"
#include "platform/inet.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <memory>
#include <optional>

using namespace rundriver;

namespace {

const QString Unchanged = QStringLiteral("<unchanged>");
const QString Started = QStringLiteral("接続開始 (unit)");
// The two ends of a transfer in the control's numbering: the run is told them by the result
// the transfer hands over.
constexpr short Failed = 11;
constexpr short Completed = 12;
const QByteArray Page("<p>unit \x93\xfa\x96\x7b</p>\r\n");

QStringList listing(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

bool setStoredAt(const QString &path, const QDateTime &at)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.setFileTime(at, QFileDevice::FileModificationTime);
}

const QDate Day(2031, 7, 4);
const QString Address = QStringLiteral("http://a.test/unit");

// A page stored with everything its server says of it.
pagestore::Received served(const QByteArray &body)
{
    return {.body = body,
            .address = Address,
            .etag = "W/\"1\"",
            .lastModified = "Sun, 06 Nov 1994 08:49:37 GMT",
            .contentType = "text/html; charset=Shift_JIS"};
}

// The paths of an entry's stored pages inside its folder, newest first.
QStringList labels(const QString &dataDir, const QString &name)
{
    QStringList found;
    const QString folder = pagestore::EntryFolder(dataDir, name) + u'/';
    for (const QString &page : pagestore::StoredPages(dataDir, name))
        found << QString(page).remove(0, folder.size());
    return found;
}

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(EntryTable::Refusal)
Q_DECLARE_METATYPE(pagestore::Moved::Failure)

// The state handler fed with events directly, the page store's failures, and the small rules
// the run applies to names and the time-out text.
class TestEngineEvents : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    // Over no settings file: each test hands the run its list itself.
    std::unique_ptr<Program> m_program;
    // The log as it was once the slot was taken; the event under test appends to it.
    QString m_logBefore;
    static constexpr int Slot = 3;
    // A skipped entry ahead of "unit" keeps its entry number apart from its slot number.
    static constexpr int UnitEntry = 4;

    QString data() const { return m_dir->path(); }

    DownloadRun &run() { return m_program->run(); }

    // A state of slot `slot`'s transfer as it reports it: 1 to 10 as a state, the end (11 or
    // 12) as the result it hands over.
    void feed(int slot, short state)
    {
        if (state == Failed) {
            run().Inet1_Finished(slot, {.failure = TransferResult::Failure::Connection,
                                        .error = QStringLiteral("接続が切られました")});
        } else if (state == Completed) {
            run().Inet1_Finished(slot, {.status = 200, .reason = "OK", .body = Page});
        } else {
            run().Inet1_StateChanged(slot, state);
        }
    }

    // What the event under test added to the log.
    QString logAdded() const
    {
        const QString log = m_program->log();
        return log.startsWith(m_logBefore) ? log.mid(m_logBefore.size()) : QStringLiteral("<log rewritten>");
    }

    // Slot 3 busy with "unit", as the ticks leave it: two held entries take slots 1 and 2, a
    // third without an address is skipped. Each transfer is cancelled at once, so its slot
    // stays busy, its body is empty and only the events fed by the test arrive.
    bool occupy(const QString &dataDir)
    {
        EntryTable entries;
        const QStringList names = {QStringLiteral("held1"), QStringLiteral("held2"),
                                   QStringLiteral("skipped"), QStringLiteral("unit")};
        for (int n = 1; n <= names.size(); ++n) {
            entries.EntryName(n) = names.at(n - 1);
            // Not http: no request could leave even if a transfer were not cancelled.
            if (n != 3)
                entries.EntryAddress(n) = QStringLiteral("unit://") + names.at(n - 1);
        }
        entries.EntryCount = qint32(names.size());
        run().start(entries, dataDir, QStringLiteral("60"));
        for (int tick = 1; tick <= names.size(); ++tick) {
            run().Timer1_Timer();
            for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n)
                run().connections().Inet1(n)->Cancel();
        }
        m_logBefore = m_program->log();
        return run().connections().SlotEntry(Slot) == UnitEntry && m_program->status(Slot) == Started
               && run().connections().busyCount() == 3;
    }

private slots:
    void init()
    {
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_program = std::make_unique<Program>();
        m_logBefore.clear();
    }

    void cleanup()
    {
        m_program.reset();
        vclock::reset();
    }

    void stateChanged_data()
    {
        QTest::addColumn<short>("state");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("freed");
        QTest::addColumn<QString>("logText");
        // How the entry has ended by then; one not ended yet would count as cancelled.
        QTest::addColumn<Ending>("ending");

        QTest::newRow("1 resolving") << short(1) << QStringLiteral("IP アドレスを調べています (unit)") << false << QString() << Ending::Cancelled;
        QTest::newRow("5 requesting") << short(5) << QStringLiteral("要求を送信しています (unit)") << false << QString() << Ending::Cancelled;
        QTest::newRow("7 receiving") << short(7) << QStringLiteral("応答を受信しています (unit)") << false << QString() << Ending::Cancelled;
        for (short s : {2, 3, 4, 6, 8, 9, 10})
            QTest::addRow("%d ignored", int(s)) << s << Unchanged << false << QString() << Ending::Cancelled;
        QTest::newRow("11 error: logged, slot given back, status kept")
            << short(11) << Unchanged << true << QStringLiteral(" のダウンロードに失敗しました(") << Ending::Failed;
        QTest::newRow("12 completed: stored, slot given back")
            << short(12) << QStringLiteral("接続無し") << true << QStringLiteral(" のダウンロード終了(") << Ending::Stored;
    }

    void stateChanged()
    {
        QFETCH(short, state);
        QFETCH(QString, status);
        QFETCH(bool, freed);
        QFETCH(QString, logText);
        QFETCH(Ending, ending);
        QVERIFY(occupy(data()));
        feed(Slot, state);
        // held1, held2 and unit are the entries with an address.
        const QList<EntryEnd> ends = run().ends();
        QCOMPARE(ends.size(), 3);
        QCOMPARE(ends.at(2).entry, UnitEntry);
        QCOMPARE(ends.at(2).name, QStringLiteral("unit"));
        QCOMPARE(ends.at(2).ending, ending);
        QCOMPARE(ends.at(2).reason, ending == Ending::Failed ? QStringLiteral("接続が切られました") : QString());

        QCOMPARE(m_program->status(Slot), status == Unchanged ? Started : status);
        QCOMPARE(run().connections().SlotBusy(Slot), freed ? 0 : 1);
        QCOMPARE(run().connections().SlotEntry(Slot), freed ? 0 : UnitEntry);
        // The other slots' entries are not touched.
        QCOMPARE(run().connections().SlotEntry(1), 1);
        QCOMPARE(run().connections().SlotEntry(2), 2);
        const QStringList log = lines(logAdded());
        if (logText.isEmpty()) {
            QCOMPARE(logAdded(), QString());
        } else {
            QCOMPARE(log.size(), 2);
            // A failure gives its reason.
            QVERIFY2(entryLine(QStringLiteral("unit"), logText, state == Failed).match(log.at(1)).hasMatch(),
                     qPrintable(log.at(1)));
        }
        // Only a completed transfer writes: the page as received.
        QCOMPARE(QFileInfo::exists(data() + QLatin1String("/unit/vek.htm")), state == Completed);
        if (state == Completed) {
            QCOMPARE(listing(data() + QLatin1String("/unit")), QStringList{QStringLiteral("vek.htm")});
            QCOMPARE(readFile(data() + QLatin1String("/unit/vek.htm")), Page);
        }
    }

    // Events of a slot freed by time-out, STOP or completion find no entry and change nothing.
    void lateEventOfAFreedSlot_data()
    {
        QTest::addColumn<short>("state");
        for (short s : {1, 5, 7, 11, 12})
            QTest::addRow("state %d", int(s)) << s;
    }

    void lateEventOfAFreedSlot()
    {
        QFETCH(short, state);
        feed(Slot, state);
        QCOMPARE(m_program->statuses.size(), 0);
        QCOMPARE(m_program->log(), QString());
        QVERIFY(listing(data()).isEmpty());
        // Indexes outside 1..10 are no slot at all.
        feed(0, state);
        feed(11, state);
        QCOMPARE(m_program->statuses.size(), 0);
        QCOMPARE(m_program->log(), QString());
    }

    // A failure to make a folder, keep the old page or write the new one is logged with its
    // path, gives the slot back and leaves the old page whole.
    void storageFailure_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("logText");
        QTest::addColumn<QByteArray>("pageAfter");
        QTest::newRow("data folder is a file") << QStringLiteral("datafile") << QStringLiteral(" のフォルダを作成できませんでした(") << QByteArray();
        QTest::newRow("dated folder blocked by a file") << QStringLiteral("datedfile") << QStringLiteral(" のフォルダを作成できませんでした(") << QByteArray("old");
        QTest::newRow("dated copy cannot be written") << QStringLiteral("datedreadonly")
            << QStringLiteral(" の前のページを日付のフォルダに残せなかったため、ページを保存しませんでした(") << QByteArray("old");
        // Every byte of the copy written, then the disk refuses to put it in place.
        QTest::newRow("dated copy cannot be put in place") << QStringLiteral("datedcommit")
            << QStringLiteral(" の前のページを日付のフォルダに残せなかったため、ページを保存しませんでした(") << QByteArray("old");
        QTest::newRow("page cannot be written") << QStringLiteral("folderreadonly") << QStringLiteral(" のページを保存できませんでした(") << QByteArray();
    }

    void storageFailure()
    {
        QFETCH(QString, setup);
        QFETCH(QString, logText);
        QFETCH(QByteArray, pageAfter);
        const QString folder = data() + QLatin1String("/unit");
        // Even root cannot create files under /sys.
        const QString readOnly = QStringLiteral("/sys/kernel");
        if (setup.endsWith(QLatin1String("readonly"))) {
            QFile probe(readOnly + QLatin1String("/vekanto-probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("no read-only folder on this system");
            }
        }
        QString dataDir = data();
        if (setup == u"datafile") {
            QVERIFY(writeFile(data() + QLatin1String("/plainfile"), "x"));
            dataDir = data() + QLatin1String("/plainfile");
        } else if (setup == u"folderreadonly") {
            QVERIFY(QFile::link(readOnly, folder));
        } else {
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(writeFile(folder + QLatin1String("/vek.htm"), "old"));
            if (setup == u"datedfile")
                QVERIFY(writeFile(folder + QLatin1String("/20310704"), "x"));
            else if (setup == u"datedreadonly")
                QVERIFY(QFile::link(readOnly, folder + QLatin1String("/20310704")));
        }
        QVERIFY(occupy(dataDir));
        std::optional<fsfaults::FailPlacing> refusing;
        if (setup == u"datedcommit")
            refusing.emplace("/20310704/vek.htm", EIO);
        feed(Slot, Completed);
        if (refusing)
            QVERIFY(refusing->refused() > 0);
        refusing.reset();

        const QStringList log = lines(logAdded());
        QCOMPARE(log.size(), 2);
        QVERIFY2(entryLine(QStringLiteral("unit"), logText, true).match(log.at(1)).hasMatch(), qPrintable(log.at(1)));
        QCOMPARE(run().connections().SlotBusy(Slot), 0);
        QCOMPARE(run().connections().SlotEntry(Slot), 0);
        QCOMPARE(m_program->status(Slot), QStringLiteral("接続無し"));
        // The entry failed, with the path and reason its line gives.
        const EntryEnd end = run().ends().at(2);
        QCOMPARE(end.ending, Ending::Failed);
        QVERIFY2(!end.reason.isEmpty() && log.at(1).endsWith(end.reason), qPrintable(end.reason));
        if (!pageAfter.isEmpty()) {
            QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), pageAfter);
            // No temporary file is left beside the page.
            QCOMPARE(listing(folder), (QStringList{QStringLiteral("20310704"), QStringLiteral("vek.htm")}));
        }
    }

    // A page that is the one stored already (or a 304) leaves vek.htm as it was, file and time,
    // and its dated copy is a link to it; a changed page is a new file put in place, and the
    // dated copy is the old page's own file. Without links a dated copy is a copy made as ever.
    // Either way the copy holds the old bytes and keeps the time they were stored.
    void secondStore_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("noLinks");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("linked");
        QTest::newRow("same page: linked, nothing written") << "same" << false << false << true;
        QTest::newRow("same page, no links on the disk: copied") << "same" << true << false << false;
        QTest::newRow("304: linked, nothing written") << "304" << false << false << true;
        QTest::newRow("304, no links on the disk: copied") << "304" << true << false << false;
        QTest::newRow("changed page: the old one linked") << "changed" << false << true << true;
        QTest::newRow("changed page, no links on the disk: copied") << "changed" << true << true << false;
        QTest::newRow("same page with a new ETag") << "retagged" << false << false << true;
        // A second name of the link would follow wherever it points later.
        QTest::newRow("same page, vek.htm a symbolic link: copied") << "symlink" << false << false << false;
    }

    void secondStore()
    {
        QFETCH(QString, second);
        QFETCH(bool, noLinks);
        QFETCH(bool, written);
        QFETCH(bool, linked);
        const QString folder = data() + QLatin1String("/unit");
        const QString page = folder + QLatin1String("/vek.htm");
        const QString dated = folder + QLatin1String("/20310704/vek.htm");
        const QString info = folder + QLatin1String("/vek-http.txt");
        const pagestore::Received first = served(Page);
        QVERIFY(pagestore::StorePage(data(), QStringLiteral("unit"), Day, first).written);
        if (second == u"symlink") {
            QVERIFY(QFile::rename(page, data() + QLatin1String("/elsewhere.htm")));
            QVERIFY(QFile::link(data() + QLatin1String("/elsewhere.htm"), page));
        }
        const QDateTime storedAt(Day, QTime(9, 0));
        QVERIFY(setStoredAt(page, storedAt));
        const ino_t before = inodeOf(page);
        const QByteArray infoBefore = readFile(info);

        pagestore::Received next = first;
        if (second == u"304") {
            // What a 304 says of the page is not taken: what is kept stays byte for byte.
            next = {.notModified = true, .address = Address, .etag = "\"other\""};
        } else if (second == u"changed") {
            next.body = "<p>new</p>";
        } else if (second == u"retagged") {
            next.etag = "\"2\"";
        }
        std::optional<fsfaults::FailPlacing> refusing;
        if (noLinks)
            refusing.emplace("/20310704/", EPERM, fsfaults::FailPlacing::Calls::LinksOnly);
        const pagestore::Stored stored = pagestore::StorePage(data(), QStringLiteral("unit"), Day, next);
        if (refusing)
            QVERIFY(refusing->refused() > 0);
        refusing.reset();

        QCOMPARE(stored.failure, pagestore::Failure::None);
        QCOMPARE(stored.written, written);
        QCOMPARE(stored.changed, written);
        QCOMPARE(stored.linked, linked);
        QCOMPARE(stored.replaced, dated);
        QCOMPARE(readFile(dated), Page);
        QCOMPARE(readFile(page), written ? next.body : Page);
        QCOMPARE(inodeOf(dated) == before, linked);
        QCOMPARE(inodeOf(page) == before, !written);
        QCOMPARE(QFileInfo(dated).lastModified(), storedAt);
        if (!written)
            QCOMPARE(QFileInfo(page).lastModified(), storedAt);
        QVERIFY(!QFileInfo(dated).isSymLink());
        if (second == u"same" || second == u"304" || second == u"symlink")
            QCOMPARE(readFile(info), infoBefore);
        else
            QVERIFY2(readFile(info).contains("\netag " + next.etag + '\n'), readFile(info).constData());
        // No temporary file is left anywhere.
        QCOMPARE(listing(folder), (QStringList{QStringLiteral("20310704"), QStringLiteral("vek-http.txt"), QStringLiteral("vek.htm")}));
        QCOMPARE(listing(folder + QLatin1String("/20310704")), QStringList{QStringLiteral("vek.htm")});
    }

    // The validators go back only for the page they came with, from the address they came
    // from; a 304 is taken only then, and otherwise leaves the page as it was.
    void validatorsFor_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("sent");
        QTest::newRow("as stored") << "" << true;
        QTest::newRow("another address") << "address" << false;
        QTest::newRow("edited by hand, same size") << "edited" << false;
        QTest::newRow("replaced by a shorter page") << "shorter" << false;
        QTest::newRow("page removed") << "removed" << false;
        QTest::newRow("no ETag nor Last-Modified came") << "novalidators" << false;
        QTest::newRow("what is kept is damaged") << "damaged" << false;
        QTest::newRow("what is kept is missing") << "missing" << false;
    }

    void validatorsFor()
    {
        QFETCH(QString, change);
        QFETCH(bool, sent);
        const QString folder = data() + QLatin1String("/unit");
        const QString page = folder + QLatin1String("/vek.htm");
        pagestore::Received first = served(Page);
        if (change == u"novalidators")
            first.etag = first.lastModified = {};
        QVERIFY(pagestore::StorePage(data(), QStringLiteral("unit"), Day, first).written);
        QString address = Address;
        QByteArray bytes = Page;
        if (change == u"address") {
            address += QLatin1String("?day=5");
        } else if (change == u"edited") {
            bytes[1] = 'P';
        } else if (change == u"shorter") {
            bytes.chop(1);
        } else if (change == u"removed") {
            bytes.clear();
            QVERIFY(QFile::remove(page));
        } else if (change == u"damaged") {
            QVERIFY(writeFile(folder + QLatin1String("/vek-http.txt"), "\x93\xfa\n\nsize x\nsha256\n"));
        } else if (change == u"missing") {
            QVERIFY(QFile::remove(folder + QLatin1String("/vek-http.txt")));
        }
        if (!bytes.isEmpty() && bytes != Page)
            QVERIFY(writeFile(page, bytes));

        const Validators validators = pagestore::ValidatorsFor(data(), QStringLiteral("unit"), address);
        const Validators kept{.etag = first.etag, .lastModified = first.lastModified};
        QCOMPARE(validators, sent ? kept : Validators{});
        const pagestore::Stored stored = pagestore::StorePage(data(), QStringLiteral("unit"), Day,
                                                              {.notModified = true, .address = address});
        QCOMPARE(stored.failure, sent ? pagestore::Failure::None : pagestore::Failure::Write);
        QCOMPARE(readFile(page), bytes);
        QCOMPARE(QFileInfo::exists(folder + QLatin1String("/20310704/vek.htm")), sent);
    }

    // The limits remove the oldest dated copies past them, never vek.htm nor the newest copy
    // nor anything else in the folders; the copies made later in a day still count up from
    // the highest number there.
    void pruning_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("versions");
        QTest::addColumn<QStringList>("kept");

        // Newest first, with the pages they hold: E, D, C, B, B, A; vek.htm is G.
        const QStringList all{"20310704/vek.htm", "20310704/vek-2.htm", "20310704/vek-1.htm",
                              "20310703/vek.htm", "20310630/vek.htm", "20310626/vek.htm"};
        QTest::newRow("off") << Day << 0 << 0 << all;
        QTest::newRow("2 versions") << Day << 0 << 2 << all.mid(0, 2);
        QTest::newRow("1 version") << Day << 0 << 1 << all.mid(0, 1);
        QTest::newRow("today only") << Day << 1 << 0 << all.mid(0, 3);
        QTest::newRow("5 days") << Day << 5 << 0 << all.mid(0, 5);
        QTest::newRow("5 days and 4 versions") << Day << 5 << 4 << all.mid(0, 4);
        QTest::newRow("every copy too old: the newest stays") << QDate(2031, 8, 1) << 3 << 0 << all.mid(0, 1);
    }

    void pruning()
    {
        QFETCH(QDate, today);
        QFETCH(int, days);
        QFETCH(int, versions);
        QFETCH(QStringList, kept);
        const QString name = QStringLiteral("unit");
        const QList<std::pair<QDate, QByteArray>> stores{
            {QDate(2031, 6, 25), "A"}, {QDate(2031, 6, 26), "B"}, {QDate(2031, 6, 30), "B"},
            {QDate(2031, 7, 3), "C"}, {Day, "D"}, {Day, "E"}, {Day, "G"}};
        for (const auto &[day, body] : stores)
            QCOMPARE(pagestore::StorePage(data(), name, day, body).failure, pagestore::Failure::None);
        const QString folder = data() + QLatin1String("/unit");
        QVERIFY(writeFile(folder + QLatin1String("/20310626/notes.txt"), "mine"));
        const QStringList before = labels(data(), name);

        const pagestore::Pruned pruned = pagestore::PruneCopies(data(), name, today, {.days = days, .versions = versions});
        QCOMPARE(pruned.error, QString());
        QCOMPARE(labels(data(), name), QStringList{QStringLiteral("vek.htm")} + kept);
        QCOMPARE(pruned.removed, before.size() - 1 - kept.size());
        QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), QByteArray("G"));
        QCOMPARE(readFile(folder + QLatin1Char('/') + kept.first()), QByteArray("E"));
        // A folder emptied goes; one that holds something else stays with it.
        QCOMPARE(QFileInfo::exists(folder + QLatin1String("/20310630")), kept.contains(QStringLiteral("20310630/vek.htm")));
        QCOMPARE(readFile(folder + QLatin1String("/20310626/notes.txt")), QByteArray("mine"));

        // The next copy of the day is the newest of them, whatever was pruned before it.
        QCOMPARE(pagestore::StorePage(data(), name, today, "H").failure, pagestore::Failure::None);
        const QStringList after = pagestore::StoredPages(data(), name);
        QCOMPARE(readFile(after.at(0)), QByteArray("H"));
        QCOMPARE(readFile(after.at(1)), QByteArray("G"));
        QCOMPARE(readFile(after.at(2)), QByteArray("E"));
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << QStringLiteral("news") << true;
        QTest::newRow("japanese") << QStringLiteral("日本語") << true;
        QTest::newRow("dots inside") << QStringLiteral("a..b") << true;
        QTest::newRow("three dots") << QStringLiteral("...") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("slash") << QStringLiteral("a/b") << false;
        QTest::newRow("leading slash") << QStringLiteral("/etc") << false;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    }

    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(entryname::isSafeName(name), safe);
    }

    // What the list refuses to add or change, judged on what was typed before anything else; a
    // refusal changes nothing. Entry 1 is "abc", entry 2 "xyz"; a change is of entry 2.
    void listRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("fill");       // entries 3.. given before the add
        QTest::addColumn<EntryTable::Refusal>("addRefused");
        QTest::addColumn<EntryTable::Refusal>("changeRefused");
        using R = EntryTable::Refusal;
        const QString a = QStringLiteral("http://a.test/");
        QTest::newRow("new name") << QStringLiteral("new") << a << 0 << R::None << R::None;
        QTest::newRow("another entry's folder") << QStringLiteral(" ABC ") << a << 0 << R::SharedFolder << R::SharedFolder;
        QTest::newRow("own folder in other case") << QStringLiteral("XYZ") << a << 0 << R::SharedFolder << R::None;
        QTest::newRow("deleted marker") << QStringLiteral("nL ") << a << 0 << R::DeletedMarker << R::DeletedMarker;
        QTest::newRow("slash") << QStringLiteral("a/b") << a << 0 << R::NotFolderName << R::NotFolderName;
        QTest::newRow("blanks only") << QStringLiteral("   ") << a << 0 << R::NotFolderName << R::NotFolderName;
        QTest::newRow("256 bytes") << QString(85, QChar(u'字')) + u'x' << a << 0 << R::TooLong << R::TooLong;
        QTest::newRow("tab in the address") << QStringLiteral("new") << QStringLiteral("http://a/\t") << 0
                                            << R::ControlCharacters << R::ControlCharacters;
        QTest::newRow("list full") << QStringLiteral("new") << a << 97 << R::Full << R::None;
        // The typed values are judged first, as the editor did before the list did.
        QTest::newRow("list full and a bad name") << QStringLiteral("..") << a << 97 << R::NotFolderName << R::NotFolderName;
    }

    void listRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(int, fill);
        QFETCH(EntryTable::Refusal, addRefused);
        QFETCH(EntryTable::Refusal, changeRefused);
        EntryTable table;
        QVERIFY(table.add(QStringLiteral("abc"), {}, {}, 1, std::nullopt).ok());
        QCOMPARE(table.add(QStringLiteral("xyz"), {}, {}, 1, 1).entry, 2);
        for (int n = 3; n < 3 + fill; ++n)
            QVERIFY(table.add(QStringLiteral("f%1").arg(n), {}, {}, 1, std::nullopt).ok());
        const EntryTable before = table;

        const EntryTable::Edit added = table.add(name, address, {}, 1, 2);
        QCOMPARE(added.refusal, addRefused);
        QCOMPARE(added.entry, 3 + fill);
        if (added.ok()) {
            QCOMPARE(table.EntryName(added.entry), entryname::storedName(name));
            QCOMPARE(table.EntryParent(added.entry), qint16(2));
        } else {
            QCOMPARE(table.EntryCount, before.EntryCount);
            QVERIFY(table.isEmpty(added.entry > EntryTable::Kept ? EntryTable::Slots : added.entry));
        }

        table = before;
        const EntryTable::Edit changed = table.change(2, name, address, QStringLiteral("%0y"));
        QCOMPARE(changed.refusal, changeRefused);
        QCOMPARE(changed.entry, 2);
        QCOMPARE(table.EntryName(2), changed.ok() ? entryname::storedName(name) : QStringLiteral("xyz"));
        QCOMPARE(table.EntryRule(2), changed.ok() ? QStringLiteral("%0y") : QString());

        // An entry deleted meanwhile is gone; what was typed is judged first all the same.
        table = before;
        table.markDeleted(2);
        QCOMPARE(table.change(2, name, address, {}).refusal,
                 changeRefused == EntryTable::Refusal::None ? EntryTable::Refusal::Gone : changeRefused);
    }

    // An entry whose name differs only in letter case from an existing folder uses it; an
    // exact match wins over one that differs in case.
    void entryFolderIgnoresCase_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::newRow("new folder") << QStringList{} << QStringLiteral("Daily") << QStringLiteral("Daily");
        QTest::newRow("differs in case") << QStringList{QStringLiteral("daily")} << QStringLiteral("DAILY") << QStringLiteral("daily");
        QTest::newRow("exact wins") << QStringList{QStringLiteral("DAILY"), QStringLiteral("daily")} << QStringLiteral("daily") << QStringLiteral("daily");
        QTest::newRow("a file is no folder") << QStringList{QStringLiteral("file:daily")} << QStringLiteral("Daily") << QStringLiteral("Daily");
    }

    void entryFolderIgnoresCase()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, name);
        QFETCH(QString, folder);
        for (const QString &e : existing) {
            if (e.startsWith(QLatin1String("file:")))
                QVERIFY(writeFile(data() + QLatin1Char('/') + e.mid(5), "x"));
            else
                QVERIFY(QDir().mkdir(data() + QLatin1Char('/') + e));
        }
        QCOMPARE(pagestore::EntryFolder(data(), name), data() + QLatin1Char('/') + folder);
        QCOMPARE(pagestore::StorePage(data(), name, QDate(2031, 7, 4), "page").failure, pagestore::Failure::None);
        QCOMPARE(readFile(data() + QLatin1Char('/') + folder + QLatin1String("/vek.htm")), QByteArray("page"));
    }

    // A renamed entry's folder moves whole, in one rename, or not at all. Each folder made
    // holds a page, a dated copy and a file kept beside the page; "file:" makes a file.
    void moveEntryFolder_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<int>("refusedWith"); // an errno the disk answers the rename with, or 0
        QTest::addColumn<pagestore::Moved::Failure>("failure");
        QTest::addColumn<QString>("detail"); // for Taken: the folder in the way
        QTest::addColumn<QStringList>("after");
        using F = pagestore::Moved::Failure;
        const QStringList a{"a"};
        QTest::newRow("moved") << a << "a" << "b" << 0 << F::None << "" << QStringList{"b"};
        QTest::newRow("found in another letter case") << QStringList{"A"} << "a" << "b" << 0 << F::None << ""
                                                      << QStringList{"b"};
        QTest::newRow("letter case only") << QStringList{"news"} << "news" << "News" << 0 << F::None << ""
                                          << QStringList{"News"};
        QTest::newRow("the folder has the new name already") << QStringList{"News"} << "news" << "News" << 0
                                                             << F::None << "" << QStringList{"News"};
        QTest::newRow("no folder yet") << QStringList{} << "a" << "b" << 0 << F::None << "" << QStringList{};
        QTest::newRow("no folder yet, the new one exists") << QStringList{"b"} << "a" << "b" << 0 << F::None
                                                           << "" << QStringList{"b"};
        QTest::newRow("taken") << QStringList{"a", "b"} << "a" << "b" << 0 << F::Taken << "b"
                               << QStringList{"a", "b"};
        QTest::newRow("taken in another letter case") << QStringList{"a", "B"} << "a" << "b" << 0 << F::Taken
                                                      << "B" << QStringList{"a", "B"};
        QTest::newRow("letter case only, another folder has it")
            << QStringList{"news", "NEWS"} << "news" << "News" << 0 << F::Taken << "NEWS" << QStringList{"NEWS", "news"};
        QTest::newRow("a file has the new name") << QStringList{"a", "file:b"} << "a" << "b" << 0 << F::Rename
                                                 << "" << QStringList{"a", "b"};
        QTest::newRow("the disk refuses") << a << "a" << "b" << EACCES << F::Rename << "" << a;
        // No folder outside the data folder is ever moved, nor moved out of it.
        QTest::newRow("old name leads out") << QStringList{"a"} << ".." << "b" << 0 << F::None << "" << a;
        QTest::newRow("new name leads out") << a << "a" << "../b" << 0 << F::Rename << "" << a;
    }

    void moveEntryFolder()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(int, refusedWith);
        QFETCH(pagestore::Moved::Failure, failure);
        QFETCH(QString, detail);
        QFETCH(QStringList, after);
        // The data folder sits in a folder of its own, so nothing may leave it unseen.
        const QString dataDir = data() + QLatin1String("/data");
        QVERIFY(QDir().mkpath(dataDir));
        QByteArray page;
        for (const QString &e : existing) {
            const QString path = dataDir + QLatin1Char('/') + e.section(u':', -1);
            if (e.startsWith(QLatin1String("file:"))) {
                QVERIFY(writeFile(path, "x"));
                continue;
            }
            page = e.toUtf8();
            QVERIFY(QDir().mkpath(path + QLatin1String("/20310704")));
            QVERIFY(writeFile(path + QLatin1String("/vek.htm"), page));
            QVERIFY(writeFile(path + QLatin1String("/20310704/vek.htm"), "older"));
            QVERIFY(writeFile(path + QLatin1String("/beside.txt"), "kept"));
        }
        std::optional<fsfaults::FailPlacing> disk;
        if (refusedWith)
            disk.emplace("/data/", refusedWith);

        const pagestore::Moved moved = pagestore::MoveEntryFolder(dataDir, oldName, newName);
        disk.reset();
        QCOMPARE(moved.failure, failure);
        QCOMPARE(moved.ok(), failure == pagestore::Moved::Failure::None);
        if (failure == pagestore::Moved::Failure::Taken)
            QCOMPARE(moved.detail, dataDir + QLatin1Char('/') + detail);
        else if (failure == pagestore::Moved::Failure::Rename)
            QVERIFY2(moved.detail.contains(newName), qPrintable(moved.detail));
        QStringList left = listing(dataDir);
        left.sort();
        after.sort();
        QCOMPARE(left, after);
        QCOMPARE(listing(data()), QStringList{"data"});
        if (moved.ok() && after == QStringList{newName}) {
            const QString folder = dataDir + QLatin1Char('/') + after.constFirst();
            QCOMPARE(readFile(folder + QLatin1String("/vek.htm")), page);
            QCOMPARE(readFile(folder + QLatin1String("/20310704/vek.htm")), QByteArray("older"));
            QCOMPARE(readFile(folder + QLatin1String("/beside.txt")), QByteArray("kept"));
            QCOMPARE(pagestore::StoredPages(dataDir, newName).size(), 2);
        }
    }

    // The data folder text is joined as it is typed: a trailing "/" doubles the separator.
    void trailingSeparatorInDataFolder()
    {
        QVERIFY(occupy(data() + QLatin1Char('/')));
        feed(Slot, Completed);
        QVERIFY(QFileInfo::exists(data() + QLatin1String("/unit/vek.htm")));
        QVERIFY(logAdded().contains(QStringLiteral("unit のダウンロード終了(")));
    }

    void timeoutSeconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("valid");
        QTest::newRow("default") << QStringLiteral("60") << 60 << true;
        QTest::newRow("one") << QStringLiteral("1") << 1 << true;
        QTest::newRow("blanks around") << QStringLiteral(" 15 ") << 15 << true;
        QTest::newRow("leading zero") << QStringLiteral("007") << 7 << true;
        QTest::newRow("full-width") << QStringLiteral("３０") << 30 << true;
        QTest::newRow("zero") << QStringLiteral("0") << 60 << false;
        QTest::newRow("negative") << QStringLiteral("-5") << 60 << false;
        QTest::newRow("plus sign") << QStringLiteral("+5") << 60 << false;
        QTest::newRow("fraction") << QStringLiteral("2.5") << 60 << false;
        QTest::newRow("word") << QStringLiteral("abc") << 60 << false;
        QTest::newRow("digits then word") << QStringLiteral("10s") << 60 << false;
        QTest::newRow("empty") << QString() << 60 << false;
        QTest::newRow("too large for a number") << QStringLiteral("99999999999") << 60 << false;
    }

    void timeoutSeconds()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        QFETCH(bool, valid);
        const std::optional<int> typed = run::TimeoutSeconds(text);
        QCOMPARE(typed.value_or(run::DefaultTimeoutSeconds), seconds);
        QCOMPARE(typed.has_value(), valid);
    }
};

VEKANTO_CORE_TEST_MAIN(TestEngineEvents)
#include "tst_engine_events.moc"
