// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_server.h"
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "core/run/run_log.h"
#include "platform/clock.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace driver;

namespace {

// The tests run as root, and root writes through permission bits. Each case below therefore
// stands for a disk that refuses writes in a way root cannot get round:
enum class Damage {
    // Read-only data folder: its path runs through a regular file, so it can never be made.
    DataFolderUnderFile,
    // Read-only data folder holding earlier pages: the immutable attribute (root obeys it),
    // or permission bits when not root. Skipped where neither works.
    DataFolderReadOnly,
    // The entry's folder is a regular file.
    PageFolderIsFile,
    // The entry's page "vek.htm" is a folder.
    PageFileIsFolder,
    // Today's dated folder name is taken by a regular file.
    DatedNameIsFile,
    // Read-only settings folder: after start-up the folder is moved away and a regular file
    // takes its place, so nothing can be created in it.
    SettingsFolderIsFile,
    // The settings file is a folder.
    SettingsFileIsFolder,
    // Read-only settings folder by attribute or permission bits, as for the data folder.
    SettingsFolderReadOnly,
    // A full disk: a file-size limit of the process (root is held to it too) fails every
    // write past a few bytes while creating files and folders still works.
    DiskFull,
};

const QString Name = QStringLiteral("ページ");
const QString Dated = QStringLiteral("20310704");
const QByteArray EarlierPage = "<html>earlier page</html>";
const QByteArray EarlierDated = "<html>the page before it</html>";
// Longer than the full disk's limit, so that writing it fails there.
const QByteArray NewPage = QByteArray("<html>") + QByteArray(4000, 'n') + "</html>";
constexpr rlim_t FullDiskBytes = 64;

const QString RunEndBox = QStringLiteral("ダウンロード終了");
const QString SingleFailedBox = QStringLiteral("ダウンロード失敗、終了します。");
const QString SavedBox = QStringLiteral("保存しました");
const QString SaveFailedBox = QStringLiteral("設定ファイルを保存できませんでした。");
const QString LogWriteFailedBox = QStringLiteral("ログファイルを書き込めませんでした。");

// How a full run must log the entry: its end line, or the failure line the damage causes.
const QString Stored = QStringLiteral(" のダウンロード終了(");
const QString FolderFailed = QStringLiteral(" のフォルダを作成できませんでした(");
const QString WriteFailed = QStringLiteral(" のページを保存できませんでした(");

// Every file and folder below root with its bytes; folders as a marker.
QHash<QString, QByteArray> snapshot(const QString &root)
{
    QHash<QString, QByteArray> files;
    if (!QFileInfo(root).isDir()) {
        if (QFileInfo(root).isFile())
            files.insert(QStringLiteral("."), readFile(root));
        return files;
    }
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // The run lock, held from the click until OK, is no earlier file.
        if (it.fileName() == QLatin1String("vekanto.lock"))
            continue;
        files.insert(QDir(root).relativeFilePath(path),
                     QFileInfo(path).isDir() ? QByteArray("<folder>") : readFile(path));
    }
    return files;
}

// Paths added, removed or changed between two snapshots.
QStringList changes(const QHash<QString, QByteArray> &before, const QHash<QString, QByteArray> &after)
{
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()) || after.value(it.key()) != it.value())
            changed << it.key();
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            changed << it.key();
    }
    changed.sort();
    return changed;
}

bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

bool canCreateIn(const QString &dir)
{
    const QString probe = dir + QLatin1String("/.probe");
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    QFile::remove(probe);
    return true;
}

// Makes a folder and everything in it read-only for this process; undone by writable().
class ReadOnlyTree
{
public:
    ~ReadOnlyTree() { writable(); }

    bool apply(const QString &root)
    {
        QStringList paths{root};
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
        // Innermost first: an immutable folder would refuse changes to what it holds.
        std::reverse(paths.begin(), paths.end());
        for (const QString &path : std::as_const(paths)) {
            if (setImmutable(path, true))
                m_immutable << path;
        }
        if (!canCreateIn(root))
            return true;
        for (const QString &path : std::as_const(paths)) {
            QFile::setPermissions(path, QFileInfo(path).isDir() ? QFile::ReadOwner | QFile::ExeOwner
                                                                : QFile::ReadOwner);
            m_chmodded << path;
        }
        return !canCreateIn(root);
    }

    void writable()
    {
        for (const QString &path : std::as_const(m_immutable))
            setImmutable(path, false);
        for (const QString &path : std::as_const(m_chmodded))
            QFile::setPermissions(path, QFileInfo(path).isDir() ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                                : QFile::ReadOwner | QFile::WriteOwner);
        m_immutable.clear();
        m_chmodded.clear();
    }

private:
    QStringList m_immutable;
    QStringList m_chmodded;
};

// A file-size limit for the process while it is in scope; writes past it fail with EFBIG.
class FullDisk
{
public:
    FullDisk()
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = FullDiskBytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    Q_DISABLE_COPY_MOVE(FullDisk)

private:
    rlimit m_old{};
};

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestBadDisk : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<MsgBoxAnswerer> m_boxes;

private slots:
    void initTestCase()
    {
        // The kernel sends SIGXFSZ on a write past the size limit; the program must see EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        vclock::setNow(QDateTime(QDate(2031, 7, 4), QTime(10, 0)));
        QVERIFY(m_server.start());
        m_server.setRoute(QStringLiteral("/page"), {.body = NewPage});
        m_boxes = std::make_unique<MsgBoxAnswerer>();
    }

    void cleanupTestCase()
    {
        m_server.stop();
        vclock::reset();
    }

    void damage_data()
    {
        QTest::addColumn<Damage>("damage");
        // The line a full run and a single download log for the entry (both store pages alike);
        // Stored when the damage does not touch pages.
        QTest::addColumn<QString>("runLine");
        QTest::addColumn<bool>("saveFails");

        QTest::newRow("read-only data folder (path through a file)")
            << Damage::DataFolderUnderFile << FolderFailed << false;
        QTest::newRow("read-only data folder (attribute)")
            << Damage::DataFolderReadOnly << WriteFailed << false;
        QTest::newRow("page folder replaced by a file")
            << Damage::PageFolderIsFile << FolderFailed << false;
        QTest::newRow("page file replaced by a folder")
            << Damage::PageFileIsFolder << WriteFailed << false;
        QTest::newRow("dated folder name taken by a file")
            << Damage::DatedNameIsFile << FolderFailed << false;
        QTest::newRow("read-only settings folder (replaced by a file)")
            << Damage::SettingsFolderIsFile << Stored << true;
        QTest::newRow("settings file replaced by a folder")
            << Damage::SettingsFileIsFolder << Stored << true;
        QTest::newRow("read-only settings folder (attribute)")
            << Damage::SettingsFolderReadOnly << Stored << true;
        QTest::newRow("full disk") << Damage::DiskFull << WriteFailed << true;
    }

    // A full run, a single download and SAVE on a damaged disk: each reports its failure,
    // gives back what it held, and changes no earlier file.
    void damage()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, runLine);
        QFETCH(bool, saveFails);
        const bool pagesFail = runLine != Stored;

        QTemporaryDir root;
        QVERIFY(root.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QLatin1String("/home")));
        const QString disk = root.path() + QLatin1String("/disk");
        QString dataDir = disk + QLatin1String("/data");
        const QString folder = dataDir + QLatin1Char('/') + Name;
        const QString page = folder + QLatin1String("/vek.htm");
        const QString dated = folder + QLatin1Char('/') + Dated + QLatin1String("/vek.htm");

        // Earlier files: a page and its dated copy from earlier today.
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + Dated));
        QVERIFY(writeFile(page, EarlierPage));
        QVERIFY(writeFile(dated, EarlierDated));
        switch (damage) {
        case Damage::DataFolderUnderFile:
            QVERIFY(writeFile(disk + QLatin1String("/blocker"), "a file, not a folder"));
            dataDir = disk + QLatin1String("/blocker/data");
            break;
        case Damage::PageFolderIsFile:
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(writeFile(folder, EarlierPage));
            break;
        case Damage::PageFileIsFolder:
            QVERIFY(QFile::remove(page));
            QVERIFY(QDir().mkpath(page));
            QVERIFY(writeFile(page + QLatin1String("/inside.txt"), EarlierPage));
            break;
        case Damage::DatedNameIsFile:
            QVERIFY(QDir(folder + QLatin1Char('/') + Dated).removeRecursively());
            QVERIFY(writeFile(folder + QLatin1Char('/') + Dated, EarlierDated));
            break;
        default:
            break;
        }

        // The log file of earlier program runs, carried on with logging on.
        const QString logFile = root.path() + QLatin1String("/logs/VEKLOG.txt");
        const QByteArray earlierLog = runlog::EncodeRecord(QStringLiteral("earlier log"));
        QVERIFY(QDir().mkpath(root.path() + QLatin1String("/logs")));
        QVERIFY(writeFile(logFile, earlierLog));
        writeIni({{Name, m_server.url(QStringLiteral("/page")), {}}},
                 {.dirName = dataDir, .timeout = QStringLiteral("5"), .keepLog = true, .logPath = logFile});
        m_boxes->clear();
        Program program;
        QCOMPARE(m_boxes->texts(), QStringList());
        frm_vekmain *w = program.window.get();
        const QString winDir = w->session().dataHome();
        QCOMPARE(winDir, root.path() + QLatin1String("/home/vekanto"));

        ReadOnlyTree readOnly;
        switch (damage) {
        case Damage::DataFolderReadOnly:
            if (!readOnly.apply(dataDir))
                QSKIP("no way to make a folder read-only for this process here");
            break;
        case Damage::SettingsFolderIsFile:
            QVERIFY(QDir().rename(winDir, root.path() + QLatin1String("/home/moved")));
            QVERIFY(writeFile(winDir, "a file where the settings folder was"));
            break;
        case Damage::SettingsFileIsFolder:
            QVERIFY(QDir().rename(winDir + QLatin1String("/vek.ini"), winDir + QLatin1String("/old.ini")));
            QVERIFY(QDir().mkpath(winDir + QLatin1String("/vek.ini")));
            QVERIFY(QFile::copy(winDir + QLatin1String("/old.ini"), winDir + QLatin1String("/vek.ini/inside.ini")));
            break;
        case Damage::SettingsFolderReadOnly:
            if (!readOnly.apply(winDir))
                QSKIP("no way to make a folder read-only for this process here");
            break;
        default:
            break;
        }
        std::optional<FullDisk> full;
        const auto fill = [&] {
            if (damage == Damage::DiskFull)
                full.emplace();
        };
        const auto unfill = [&] { full.reset(); };

        // A full run.
        auto before = snapshot(root.path());
        fill();
        const bool ended = program.runAll(20000);
        QTest::qWait(100);
        unfill();
        QVERIFY(ended);
        QCOMPARE(m_boxes->texts(), QStringList{RunEndBox});
        for (int slot = 1; slot <= 10; ++slot) {
            QCOMPARE(program.connections().SlotBusy(slot), 0);
            QCOMPARE(program.connections().SlotEntry(slot), 0);
        }
        const QStringList runLog = lines(program.log());
        QVERIFY2(countOf(runLog, entryLine(Name, runLine, pagesFail)) == 1, qPrintable(program.log()));
        if (pagesFail) {
            QCOMPARE(countOf(runLog, entryLine(Name, Stored)), 0);
            QCOMPARE(changes(before, snapshot(root.path())), QStringList());
        } else {
            QCOMPARE(readFile(page), NewPage);
            QCOMPARE(readFile(dated), EarlierPage);
            QCOMPARE(readFile(folder + QLatin1Char('/') + Dated + QLatin1String("/vek-1.htm")), EarlierDated);
        }
        program.ok()->click();
        QVERIFY(w->isEnabled());
        QVERIFY(!program.dialog->isVisible());
        QCOMPARE(readFile(logFile), runlog::EncodeRecord(program.log()));

        // A single download of the same entry.
        m_boxes->clear();
        w->TreeView1_NodeClick(1);
        QCOMPARE(w->SelectedEntry(), 1);
        before = snapshot(root.path());
        const QByteArray logBefore = readFile(logFile);
        const int failedBefore = countOf(lines(program.log()), entryLine(Name, runLine, true));
        fill();
        program.button("Command4")->click();
        QTRY_VERIFY(program.ok()->isEnabled());
        if (pagesFail) {
            QCOMPARE(m_boxes->texts(), (QStringList{SingleFailedBox, RunEndBox}));
            QCOMPARE(changes(before, snapshot(root.path())), QStringList());
            QCOMPARE(countOf(lines(program.log()), entryLine(Name, runLine, true)), failedBefore + 1);
        } else {
            QCOMPARE(m_boxes->texts(), QStringList{RunEndBox});
            // The bytes as received; the page it replaced is the day's latest copy, and the
            // copy made earlier today moved aside.
            QCOMPARE(readFile(page), NewPage);
            QCOMPARE(readFile(dated), NewPage);
            QCOMPARE(readFile(folder + QLatin1Char('/') + Dated + QLatin1String("/vek-2.htm")), EarlierPage);
        }
        QVERIFY(!w->isEnabled());
        // OK writes the log file, on the same disk.
        m_boxes->clear();
        program.ok()->click();
        unfill();
        QVERIFY(w->isEnabled());
        if (damage == Damage::DiskFull) {
            QCOMPARE(m_boxes->seen().size(), 1);
            QVERIFY2(m_boxes->texts().constFirst().startsWith(LogWriteFailedBox), qPrintable(m_boxes->texts().constFirst()));
            QCOMPARE(readFile(logFile), logBefore);
        } else {
            QCOMPARE(m_boxes->texts(), QStringList());
            QCOMPARE(readFile(logFile), runlog::EncodeRecord(program.log()));
        }
        for (int slot = 1; slot <= 10; ++slot)
            QCOMPARE(program.connections().SlotBusy(slot), 0);

        // SAVE.
        m_boxes->clear();
        const auto settingsBefore = snapshot(root.path() + QLatin1String("/home"));
        fill();
        program.button("btn_save")->click();
        QTest::qWait(100);
        unfill();
        QCOMPARE(m_boxes->seen().size(), 1);
        if (saveFails) {
            QVERIFY2(m_boxes->texts().constFirst().startsWith(SaveFailedBox), qPrintable(m_boxes->texts().constFirst()));
            QCOMPARE(changes(settingsBefore, snapshot(root.path() + QLatin1String("/home"))), QStringList());
        } else {
            QCOMPARE(m_boxes->texts(), QStringList{SavedBox});
        }
        QVERIFY(w->isEnabled());
        readOnly.writable();
    }
};

VEKANTO_TEST_MAIN(TestBadDisk)
#include "tst_baddisk.moc"
