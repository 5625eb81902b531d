// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"
#include "support/fixtures.h"

#include "core/list/entry_table.h"
#include "core/session.h"
#include "core/settings/options.h"
#include "core/settings/settings_file.h"
#include "platform/codepage.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

namespace {

QByteArray crlf(const QString &lines)
{
    QString text = lines;
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return codepage::toAnsi(text);
}

// Every live entry in entry order: name, parent entry and entry number.
QString describe(const EntryTable &t)
{
    QStringList parts;
    for (int n = 1; n <= EntryTable::Slots; ++n) {
        if (t.isOccupied(n))
            parts << QStringLiteral("%1<%2>#%3").arg(t.EntryName(n)).arg(t.EntryParent(n)).arg(n);
    }
    return parts.join(QLatin1Char(' '));
}

int occupied(const EntryTable &t)
{
    int count = 0;
    for (int n = 1; n <= EntryTable::Slots; ++n)
        count += t.isOccupied(n) ? 1 : 0;
    return count;
}

// The names a load reports: put at the top level, and "=name" for names sharing a folder.
QStringList told(const settingsfile::LoadReport &report)
{
    QStringList names = report.placedAtTop;
    for (const QString &name : report.sharedFolders)
        names << u'=' + name;
    return names;
}

} // namespace

// Loading and saving the list and the options: the settings file over a table and options
// of the core, without any window.
class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    EntryTable m_entries;
    Options m_options;

    QString iniPath() const { return settingsfile::defaultPath(m_dir->path()); }
    void writeIni(const QString &lines) { QVERIFY(fixtures::writeFile(iniPath(), crlf(lines))); }
    QString readIni() const { return codepage::fromAnsi(fixtures::readFile(iniPath())); }

    // The table and options a fresh program starts with, then filled from the file.
    settingsfile::LoadReport reload()
    {
        m_entries = EntryTable();
        m_options = Options::defaultsIn(m_dir->path());
        return settingsfile::load(iniPath(), m_entries, m_options);
    }
    bool save(int *followed = nullptr, QString *error = nullptr)
    {
        const settingsfile::Saved saved =
            settingsfile::save(iniPath(), m_entries, m_options, {}, followed ? *followed : 0);
        if (followed)
            *followed = saved.selected;
        if (error)
            *error = saved.error;
        return saved.written;
    }
    void setEntry(int n, const QString &name, const QString &address = QString(), int parent = 0)
    {
        m_entries.EntryName(n) = name;
        m_entries.EntryAddress(n) = address;
        m_entries.EntryRule(n) = QStringLiteral("%0y");
        m_entries.EntryParent(n) = qint16(parent);
        m_entries.EntryNname(n) = 1;
        m_entries.EntryCount = qMax(m_entries.EntryCount, n);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        reload();
    }
    void cleanup() { m_dir.reset(); }

    // A session over a folder without a settings file keeps an empty list and the defaults
    // beside the program's folder.
    void sessionStartsWithDefaultsWithoutSettingsFile()
    {
        Session session(m_dir->path());
        QCOMPARE(session.settingsPath(), iniPath());
        const Session::LoadResult loaded = session.load();
        QCOMPARE(loaded.report.unreadable, QString());
        QCOMPARE(told(loaded.report), QStringList());
        QCOMPARE(loaded.unreadableLog, QString());
        QCOMPARE(occupied(session.entries()), 0);
        QCOMPARE(session.entries().EntryCount, 0);
        QCOMPARE(session.entries().EntryLimit, 100);
        QCOMPARE(session.options().dirName, m_dir->path() + QStringLiteral("/"));
        QCOMPARE(session.options().logPath, m_dir->path() + QStringLiteral("/VEKLOG.txt"));
        QCOMPARE(session.options().timeout, QStringLiteral("60"));
        QVERIFY(!session.options().logOn);
        QVERIFY(!QFileInfo::exists(iniPath()));
    }

    void loadBuildsList_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<QStringList>("expectedTold");

        const QStringList none;
        QTest::newRow("stale entry 5 after a hole")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nTEXT3=c\nTEXT5=e\n"
            << "a<0>#1 b<0>#2 c<0>#3 e<0>#5" << 5 << none;
        QTest::newRow("children under their parents")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=1\nTEXT3=c\nroot3=2\n"
            << "a<0>#1 b<1>#2 c<2>#3" << 3 << none;
        QTest::newRow("key spelled ROOT3 found by root3")
            << "[data]\ntext1=a\nTEXT2=b\nTEXT3=c\nROOT3=1\n" << "a<0>#1 b<0>#2 c<1>#3" << 3 << none;
        QTest::newRow("deleted markers load as empty slots")
            << "[DATA]\nTEXT1=nl\nROOT1=0\nTEXT2=NL\nTEXT3=Nl\nNIP3=http://x\nTEXT4=d\n"
            << "d<0>#4" << 4 << none;
        QTest::newRow("names beginning with nl are entries")
            << "[DATA]\nTEXT1=nlx\nTEXT2=NLnews\nROOT2=1\n" << "nlx<0>#1 NLnews<1>#2" << 2 << none;
        QTest::newRow("blank names trimmed, all-blank name is empty")
            << "[DATA]\nTEXT1=  a b  \nTEXT2=\"   \"\nTEXT3=c\n" << "a b<0>#1 c<0>#3" << 3 << none;
        QTest::newRow("parent pointing forward goes to the top")
            << "[DATA]\nTEXT1=a\nROOT1=2\nTEXT2=b\n" << "a<0>#1 b<0>#2" << 2 << QStringList{"a"};
        QTest::newRow("parent pointing at itself goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=2\n" << "a<0>#1 b<0>#2" << 2 << QStringList{"b"};
        QTest::newRow("parent at an empty slot goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT3=c\nROOT3=2\n" << "a<0>#1 c<0>#3" << 3 << QStringList{"c"};
        QTest::newRow("root that is no number reads as 0")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=x1\nnname2=zz\n" << "a<0>#1 b<0>#2" << 2
            << QStringList{"b"};
        QTest::newRow("nname that is no number moves nothing")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=1\nnname2=zz\n" << "a<0>#1 b<1>#2" << 2 << none;
        QTest::newRow("names sharing a folder are kept and told")
            << "[DATA]\nTEXT1=News\nTEXT2=b\nTEXT3= news\n" << "News<0>#1 b<0>#2 news<0>#3" << 3
            << QStringList{"=News", "=news"};
        QTest::newRow("negative parent goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=-1\n" << "a<0>#1 b<0>#2" << 2 << QStringList{"b"};
        QTest::newRow("entry 100 is never read")
            << "[DATA]\nTEXT1=a\nTEXT100=z\n" << "a<0>#1" << 1 << none;
        QTest::newRow("lines before the first section are not read")
            << "TEXT1=x\n[DATA]\nTEXT2=b\n" << "b<0>#2" << 2 << none;
    }
    void loadBuildsList()
    {
        QFETCH(QString, ini);
        QFETCH(QString, expected);
        QFETCH(int, expectedCount);
        QFETCH(QStringList, expectedTold);
        writeIni(ini);
        const settingsfile::LoadReport report = reload();
        QCOMPARE(describe(m_entries), expected);
        QCOMPARE(m_entries.EntryCount, expectedCount);
        QCOMPARE(told(report), expectedTold);
        QCOMPARE(report.unreadable, QString());
    }

    void loadReadsValuesWhole()
    {
        const QString longAddress = QStringLiteral("http://example.test/") + QString(600, u'a');
        const QString rule = QStringLiteral("NL%0y") + QString(300, u'/');
        writeIni(QStringLiteral("[DATA]\nTEXT1=日本語ソ表\nNIP1=%1\nCIP1=%2\nnname1=7\n"
                                "[Option]\ndirname=/tmp/ページ/\nlogpath=NLlog.txt\n"
                                "logsw=1\ndtime=45\nnotify=0\n")
                     .arg(longAddress, rule));
        reload();
        QCOMPARE(m_entries.EntryName(1), QStringLiteral("日本語ソ表"));
        QCOMPARE(m_entries.EntryAddress(1), longAddress);
        QCOMPARE(m_entries.EntryRule(1), rule);
        QCOMPARE(m_entries.EntryNname(1), qint16(7));
        QCOMPARE(m_options.dirName, QStringLiteral("/tmp/ページ/"));
        QCOMPARE(m_options.logPath, QStringLiteral("NLlog.txt"));
        QCOMPARE(m_options.timeout, QStringLiteral("45"));
        QVERIFY(m_options.logOn);
        QVERIFY(!m_options.notify);
    }

    // The limits on dated copies: a positive number each, anything else keeps every copy; SAVE
    // writes only a limit that is set, so a file without them is written as it always was.
    void retentionLimits_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("versions");
        // The file's lines of the limits after SAVE, blanks aside.
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("none") << "" << 0 << 0 << QStringList{};
        QTest::newRow("both") << "keepdays=30\nkeepvers= 12 \n" << 30 << 12 << QStringList{"keepdays=30", "keepvers=12"};
        QTest::newRow("versions only") << "keepvers=5\n" << 0 << 5 << QStringList{"keepvers=5"};
        QTest::newRow("zero is off, and goes") << "keepdays=0\nkeepvers=7\n" << 0 << 7 << QStringList{"keepvers=7"};
        QTest::newRow("no number is off") << "keepdays=abc\nkeepvers=-3\n" << 0 << 0 << QStringList{};
    }

    void retentionLimits()
    {
        QFETCH(QString, option);
        QFETCH(int, days);
        QFETCH(int, versions);
        QFETCH(QStringList, saved);
        writeIni(QStringLiteral("[DATA]\nTEXT1=a\n[Option]\ndtime=60\n") + option);
        reload();
        QCOMPARE(m_options.keepDays, days);
        QCOMPARE(m_options.keepVersions, versions);
        QVERIFY(save());
        QStringList limits;
        for (QString line : readIni().split(QStringLiteral("\r\n"))) {
            if (line.startsWith(QLatin1String("keep")))
                limits << line.remove(u' ');
        }
        QCOMPARE(limits, saved);
        reload();
        QCOMPARE(m_options.keepDays, days);
        QCOMPARE(m_options.keepVersions, versions);
    }

    void loadKeepsOptionsTheFileLacks()
    {
        m_options.dirName = QStringLiteral("/typed/");
        m_options.logPath = QStringLiteral("/typed/log.txt");
        m_options.timeout = QStringLiteral("12");
        m_options.logOn = true;
        m_options.notify = false;
        writeIni(QStringLiteral("[Option]\nlogsw=0\n"));
        QVERIFY(settingsfile::load(iniPath(), m_entries, m_options).unreadable.isEmpty());
        QCOMPARE(m_options.dirName, QStringLiteral("/typed/"));
        QCOMPARE(m_options.logPath, QStringLiteral("/typed/log.txt"));
        QCOMPARE(m_options.timeout, QStringLiteral("12"));
        QVERIFY(!m_options.logOn);
        QVERIFY(!m_options.notify);
    }

    // 「サーバーごとに間隔を空ける」 is on only with hostpace=1, whatever it was before the load; off is
    // saved as no key at all, duplicates included.
    void hostPaceKey_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("on") << "hostpace=1" << false << true;
        QTest::newRow("off") << "hostpace=0" << true << false;
        QTest::newRow("no key, was off") << "" << false << false;
        QTest::newRow("no key, was on") << "" << true << false;
        QTest::newRow("no number") << "hostpace=yes" << true << false;
        QTest::newRow("2 is not on") << "hostpace=2" << true << false;
        QTest::newRow("blanks and case") << "HostPace = 1 " << false << true;
        QTest::newRow("two keys, the first on") << "hostpace=1\nhostpace=0" << false << true;
        QTest::newRow("two keys, the first off") << "hostpace=0\nhostpace=1" << true << false;
    }

    void hostPaceKey()
    {
        QFETCH(QString, lines);
        QFETCH(bool, before);
        QFETCH(bool, loaded);
        writeIni(QStringLiteral("[Option]\ndtime=30\n") + lines + u'\n');
        m_options.hostPace = before;
        QVERIFY(settingsfile::load(iniPath(), m_entries, m_options).unreadable.isEmpty());
        QCOMPARE(m_options.hostPace, loaded);

        QVERIFY(save());
        const QString ini = readIni();
        const qsizetype keys = ini.count(QStringLiteral("hostpace"), Qt::CaseInsensitive);
        QCOMPARE(keys, loaded ? 1 : 0);
        QCOMPARE(ini.contains(QStringLiteral("\r\nhostpace=1\r\n"), Qt::CaseInsensitive), loaded);
        reload();
        QCOMPARE(m_options.hostPace, loaded);
    }

    void saveWritesKeysInOrder()
    {
        setEntry(1, QStringLiteral("ニュース"), QStringLiteral("http://a.test/"));
        setEntry(2, QStringLiteral("sub"), QStringLiteral("http://b.test/"), 1);
        m_entries.EntryIgnore(2) = QStringLiteral("^最終更新");
        m_options.dirName = QStringLiteral("/data/");
        m_options.logPath = QStringLiteral("/data/log.txt");
        m_options.logOn = true;
        m_options.timeout = QStringLiteral("30");
        m_options.notify = false;
        QString error;
        QVERIFY2(save(nullptr, &error), qPrintable(error));
        QCOMPARE(readIni(),
                 QStringLiteral("[DATA]\r\nTEXT1=ニュース\r\nNIP1=http://a.test/\r\nCIP1=%0y\r\n"
                                "ROOT1=0\r\nnname1=1\r\nTEXT2=sub\r\nNIP2=http://b.test/\r\n"
                                "CIP2=%0y\r\nROOT2=1\r\nnname2=1\r\nIGNORE2=^最終更新\r\n"
                                "[SDATA]\r\ncnt=0\r\n"
                                "[Option]\r\ndirname=/data/\r\nlogpath=/data/log.txt\r\n"
                                "logsw=1\r\ndtime=30\r\nnotify=0\r\n"));
    }

    // Entries 3 and 4 deleted of 1..5: one pass leaves a marker at 3 and moves 5 to 4.
    void saveCompactsAndReloads()
    {
        for (int n = 1; n <= 5; ++n)
            setEntry(n, QStringLiteral("e%1").arg(n), QStringLiteral("http://h.test/%1").arg(n));
        m_entries.EntryParent(5) = 2;
        m_entries.markDeleted(3);
        m_entries.markDeleted(4);
        int followed = 5;
        QVERIFY(save(&followed));

        const QString ini = readIni();
        QVERIFY(ini.contains(QStringLiteral("TEXT3=nl\r\n")));
        QVERIFY(ini.contains(QStringLiteral("TEXT4=e5\r\nNIP4=http://h.test/5\r\n")));
        QVERIFY(ini.contains(QStringLiteral("ROOT4=2\r\n")));
        QVERIFY(!ini.contains(QStringLiteral("TEXT5")));
        // The followed entry went along with its move, and memory matches the file.
        QCOMPARE(followed, 4);
        QCOMPARE(describe(m_entries), QStringLiteral("e1<0>#1 e2<0>#2 e5<2>#4"));
        QVERIFY(m_entries.isEmpty(3));

        reload();
        QCOMPARE(describe(m_entries), QStringLiteral("e1<0>#1 e2<0>#2 e5<2>#4"));
        QVERIFY(m_entries.isEmpty(3));
    }

    void saveNeverOverwritesEntriesBeginningWithNl()
    {
        setEntry(1, QStringLiteral("nlnews"), QStringLiteral("http://n.test/"));
        setEntry(2, QStringLiteral("NLx"));
        setEntry(3, QStringLiteral("c"));
        QVERIFY(save());
        reload();
        QCOMPARE(describe(m_entries), QStringLiteral("nlnews<0>#1 NLx<0>#2 c<0>#3"));
        QCOMPARE(m_entries.EntryAddress(1), QStringLiteral("http://n.test/"));
    }

    void saveMovesParentReferences_data()
    {
        QTest::addColumn<QList<int>>("parents");   // parent of entries 1..6
        QTest::addColumn<QList<int>>("deleted");
        QTest::addColumn<QString>("expected");

        QTest::newRow("child follows a moved parent")
            << QList<int>{0, 1, 0, 2, 4, 0} << QList<int>{3}
            << "e1<0>#1 e2<1>#2 e4<2>#3 e5<3>#4 e6<0>#5";
        QTest::newRow("reference to a deleted entry is dropped")
            << QList<int>{0, 1, 0, 3, 0, 0} << QList<int>{3}
            << "e1<0>#1 e2<1>#2 e4<0>#3 e5<0>#4 e6<0>#5";
        QTest::newRow("first entry deleted")
            << QList<int>{0, 0, 2, 3, 3, 0} << QList<int>{1}
            << "e2<0>#1 e3<1>#2 e4<2>#3 e5<2>#4 e6<0>#5";
        QTest::newRow("nothing deleted keeps everything")
            << QList<int>{0, 1, 2, 3, 1, 5} << QList<int>{}
            << "e1<0>#1 e2<1>#2 e3<2>#3 e4<3>#4 e5<1>#5 e6<5>#6";
    }
    void saveMovesParentReferences()
    {
        QFETCH(QList<int>, parents);
        QFETCH(QList<int>, deleted);
        QFETCH(QString, expected);
        for (int n = 1; n <= parents.size(); ++n)
            setEntry(n, QStringLiteral("e%1").arg(n), QString(), parents[n - 1]);
        for (int n : deleted)
            m_entries.markDeleted(n);
        QVERIFY(save());
        QCOMPARE(describe(m_entries), expected);
        const settingsfile::LoadReport report = reload();
        QCOMPARE(describe(m_entries), expected);
        QCOMPARE(told(report), QStringList());
    }

    // An entry's lines to ignore are a key of their own beside its others, written only where
    // there are any, and renumbered with the entry by SAVE's moves.
    void ignoreLinesGoWithTheirEntry_data()
    {
        QTest::addColumn<QStringList>("ignores"); // of entries e1..eN; "×" deletes the entry
        QTest::addColumn<QString>("before");      // lines of [DATA] already in the file
        QTest::addColumn<QStringList>("keys");    // the IGNORE lines SAVE leaves, in order
        QTest::addColumn<QStringList>("loaded");  // name=ignore of the entries that have one

        QTest::newRow("kept through SAVE and LOAD")
            << QStringList{"", "^最終更新", ""} << QString()
            << QStringList{"IGNORE2=^最終更新"} << QStringList{"e2=^最終更新"};
        QTest::newRow("renumbered with its entry")
            << QStringList{"", "×", "\\d+ 人が閲覧", "x"} << QString()
            << QStringList{"IGNORE2=\\d+ 人が閲覧", "IGNORE3=x"} << QStringList{"e3=\\d+ 人が閲覧", "e4=x"};
        QTest::newRow("none writes no key") << QStringList{"", ""} << QString() << QStringList{} << QStringList{};
        QTest::newRow("a key left by a longer list, or by the entry before, goes")
            << QStringList{"a", ""} << QStringLiteral("TEXT2=old\nIGNORE2=old\nIGNORE2=again\nIGNORE5=old5\n")
            << QStringList{"IGNORE1=a"} << QStringList{"e1=a"};
        QTest::newRow("blanks and quotes at either end kept")
            << QStringList{" x ", "\"q\""} << QString()
            << QStringList{"IGNORE1=\" x \"", "IGNORE2=\"\"q\"\""} << QStringList{"e1= x ", "e2=\"q\""};
    }
    void ignoreLinesGoWithTheirEntry()
    {
        QFETCH(QStringList, ignores);
        QFETCH(QString, before);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, loaded);
        if (!before.isEmpty())
            writeIni(QStringLiteral("[DATA]\n") + before);
        for (int n = 1; n <= ignores.size(); ++n) {
            setEntry(n, QStringLiteral("e%1").arg(n));
            if (ignores.at(n - 1) == u"×")
                m_entries.markDeleted(n);
            else
                m_entries.EntryIgnore(n) = ignores.at(n - 1);
        }
        QVERIFY(save());
        static const QRegularExpression ignoreKey(QStringLiteral("^IGNORE\\d+=.*$"),
                                                  QRegularExpression::MultilineOption);
        QStringList found;
        for (auto match = ignoreKey.globalMatch(QString(readIni()).remove(u'\r')); match.hasNext();)
            found << match.next().captured();
        QCOMPARE(found, keys);
        reload();
        QStringList withIgnore;
        for (int n = 1; n <= EntryTable::Kept; ++n) {
            if (!m_entries.EntryIgnore(n).isEmpty())
                withIgnore << m_entries.EntryName(n) + u'=' + m_entries.EntryIgnore(n);
        }
        QCOMPARE(withIgnore, loaded);
    }

    void saveRemovesStaleKeys()
    {
        QString ini = QStringLiteral("[DATA]\n");
        for (int n = 1; n <= 8; ++n)
            ini += QStringLiteral("TEXT%1=old%1\nNIP%1=http://o.test/\nCIP%1=\nROOT%1=0\nnname%1=1\n").arg(n);
        // Keys written twice (an editor's slip): the first read hides the second, which must
        // not come back once the first is removed.
        for (int n = 5; n <= 6; ++n)
            ini += QStringLiteral("TEXT%1=again%1\nNIP%1=http://a.test/\nTEXT%1=thrice%1\n").arg(n);
        ini += QStringLiteral("; kept comment\n[Other]\nx=1\n");
        writeIni(ini);
        reload();
        QCOMPARE(occupied(m_entries), 8);
        for (int n = 3; n <= 8; ++n)
            m_entries.clear(n);
        QVERIFY(save());
        const QString saved = readIni();
        for (int n = 3; n <= 8; ++n) {
            for (const char *stem : {"TEXT", "NIP", "CIP", "ROOT", "nname"}) {
                const QString keyLine = QLatin1String(stem) + QString::number(n) + u'=';
                QVERIFY2(!saved.contains(keyLine), qPrintable(keyLine));
            }
        }
        QVERIFY(saved.contains(QStringLiteral("; kept comment")));
        QVERIFY(saved.contains(QStringLiteral("[Other]\r\nx=1\r\n")));
        reload();
        QCOMPARE(occupied(m_entries), 2);
    }

    // A file CP932 can hold is written in CP932 as ever. One character outside it (a home
    // folder "Müller", an entry "café") makes the whole file UTF-8 behind a byte-order mark,
    // so after a restart every value is as typed; before, they came back with "?".
    void saveKeepsEveryCharacter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("dirName");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("CP932 holds it") << QStringLiteral("名前①") << QStringLiteral("/home/太郎/") << false;
        QTest::newRow("emoji in a name") << QStringLiteral("名前😀") << QStringLiteral("/home/太郎/") << true;
        QTest::newRow("accent in a name") << QStringLiteral("café") << QStringLiteral("/data/") << true;
        QTest::newRow("accent in the data folder") << QStringLiteral("名前") << QStringLiteral("/home/Müller/") << true;
    }

    void saveKeepsEveryCharacter()
    {
        QFETCH(QString, name);
        QFETCH(QString, dirName);
        QFETCH(bool, utf8);
        setEntry(1, name, QStringLiteral("http://a.test/") + name);
        m_options.dirName = dirName;
        const settingsfile::Saved saved = settingsfile::save(iniPath(), m_entries, m_options, {}, 0);
        QVERIFY(saved.written);
        QCOMPARE(saved.utf8, utf8);
        const QByteArray bytes = fixtures::readFile(iniPath());
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), utf8);
        if (!utf8)
            QVERIFY(bytes.contains(codepage::toAnsi(QStringLiteral("TEXT1=") + name)));
        reload();
        QCOMPARE(m_entries.EntryName(1), name);
        QCOMPARE(m_entries.EntryAddress(1), QStringLiteral("http://a.test/") + name);
        QCOMPARE(m_options.dirName, dirName);
    }

    void saveMovesEntry100DownOnlyIntoAFreeSlot()
    {
        for (int n = 1; n <= 97; ++n)
            setEntry(n, QStringLiteral("e%1").arg(n));
        setEntry(100, QStringLiteral("last"));
        QVERIFY(save());
        QVERIFY(m_entries.isEmpty(100));
        QCOMPARE(m_entries.EntryName(99), QStringLiteral("last"));
        reload();
        // The 98th live entry, behind the one hole the pass left.
        QCOMPARE(occupied(m_entries), 98);
        QVERIFY(m_entries.isEmpty(98));
        QCOMPARE(m_entries.EntryName(99), QStringLiteral("last"));
    }

    // The session saves to its own file and loads it back with the options it holds.
    void sessionSavesAndLoadsItsFile()
    {
        {
            Session session(m_dir->path());
            session.entries().EntryName(1) = QStringLiteral("a");
            session.entries().EntryCount = 1;
            session.options().timeout = QStringLiteral("15");
            const settingsfile::Saved saved = session.save(1);
            QVERIFY2(saved.written, qPrintable(saved.error));
            QCOMPARE(saved.selected, 1);
        }
        Session session(m_dir->path());
        QVERIFY(session.load().report.unreadable.isEmpty());
        QCOMPARE(describe(session.entries()), QStringLiteral("a<0>#1"));
        QCOMPARE(session.options().timeout, QStringLiteral("15"));
    }

    void failedSaveKeepsTheFolderAndSaysWhy()
    {
        // A folder in the file's place makes the replacement fail.
        QVERIFY(QDir().mkpath(iniPath() + QStringLiteral("/sub")));
        setEntry(1, QStringLiteral("a"));
        QString error;
        QVERIFY(!save(nullptr, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(iniPath() + QStringLiteral("/sub")).isDir());
        // The list in memory is untouched by the failure.
        QCOMPARE(describe(m_entries), QStringLiteral("a<0>#1"));
    }
};

VEKANTO_CORE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
