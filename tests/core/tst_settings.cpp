#include "support/msgbox_answerer.h"
#include "support/core_testmain.h"

#include "app/frm_vekmain.h"
#include "editor/frm_vekop1.h"
#include "platform/codepage.h"
#include "platform/tree_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace {

struct Node {
    QString text;
    int parentPosition;
    int entry;
};

QByteArray crlf(const QString &lines)
{
    QString text = lines;
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return codepage::toAnsi(text);
}

QList<Node> nodesOf(const TreeView *tree)
{
    QList<Node> nodes;
    for (int pos = 1; pos <= tree->NodeCount(); ++pos)
        nodes.append({tree->NodeText(pos), tree->ParentPosition(pos), tree->EntryOf(pos)});
    return nodes;
}

QString describe(const QList<Node> &nodes)
{
    QStringList parts;
    for (const Node &n : nodes)
        parts << QStringLiteral("%1<%2>#%3").arg(n.text).arg(n.parentPosition).arg(n.entry);
    return parts.join(QLatin1Char(' '));
}

} // namespace

// Loading and saving the list and the options, driven through the main window.
class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<frm_vekmain> m_window;
    std::unique_ptr<MsgBoxAnswerer> m_boxes;

    QString iniPath() const { return m_window->SettingsPath(); }
    void writeIni(const QByteArray &bytes)
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString readIni() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? codepage::fromAnsi(f.readAll()) : QString();
    }
    // Starts the program afresh over whatever vek.ini holds now.
    void restart()
    {
        m_window = std::make_unique<frm_vekmain>();
        m_window->Form_Load();
    }
    void setEntry(int n, const QString &name, const QString &address = QString(), int parent = 0)
    {
        EntryTable &t = m_window->Entries;
        t.EntryName(n) = name;
        t.EntryAddress(n) = address;
        t.EntryRule(n) = QStringLiteral("%0y");
        t.EntryParent(n) = qint16(parent);
        t.EntryNname(n) = 1;
        t.EntryCount = qMax(t.EntryCount, n);
    }

private slots:
    void init()
    {
        m_boxes = std::make_unique<MsgBoxAnswerer>();
        restart();
        QFile::remove(iniPath());
        QDir(iniPath()).removeRecursively();
        restart();
        m_boxes->clear();
    }
    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
    }

    void startsWithDefaultsWithoutSettingsFile()
    {
        const frm_vekmain &w = *m_window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Vekanto 0.8.1"));
        QCOMPARE(w.AppTitle, QStringLiteral("Vekanto 0.8.1"));
        QCOMPARE(w.TreeView1->NodeCount(), 0);
        QCOMPARE(w.Entries.EntryCount, 0);
        QCOMPARE(w.Entries.EntryLimit, 100);
        QCOMPARE(w.DirName->text(), w.WinDir + QStringLiteral("/"));
        QCOMPARE(w.Text3->text(), w.WinDir + QStringLiteral("/VEKLOG.txt"));
        QCOMPARE(w.Text4->text(), QStringLiteral("60"));
        QCOMPARE(w.tree_cnt->text(), QStringLiteral("1"));
        QVERIFY(!w.Check1->isChecked());
        QVERIFY(!w.Text3->isEnabled());
        QVERIFY(!w.btn_log_sansyou->isEnabled());
        QVERIFY(w.isEnabled());
        QVERIFY(QDir(w.WinDir).exists());
        QVERIFY(!w.WinDir.endsWith(QLatin1Char('/')));
        QVERIFY(m_boxes->seen().isEmpty());
    }

    void loadBuildsTree_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("expectedNodes");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<int>("messages");

        QTest::newRow("stale entry 5 after a hole gets position 4")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nTEXT3=c\nTEXT5=e\n"
            << "a<0>#1 b<0>#2 c<0>#3 e<0>#5" << 5 << 0;
        QTest::newRow("children under their parents")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=1\nTEXT3=c\nroot3=2\n"
            << "a<0>#1 b<1>#2 c<2>#3" << 3 << 0;
        QTest::newRow("key spelled ROOT3 found by root3")
            << "[data]\ntext1=a\nTEXT2=b\nTEXT3=c\nROOT3=1\n" << "a<0>#1 b<0>#2 c<1>#3" << 3 << 0;
        QTest::newRow("deleted markers load as empty slots")
            << "[DATA]\nTEXT1=nl\nROOT1=0\nTEXT2=NL\nTEXT3=Nl\nNIP3=http://x\nTEXT4=d\n"
            << "d<0>#4" << 4 << 0;
        QTest::newRow("names beginning with nl are entries")
            << "[DATA]\nTEXT1=nlx\nTEXT2=NLnews\nROOT2=1\n" << "nlx<0>#1 NLnews<1>#2" << 2 << 0;
        QTest::newRow("blank names trimmed, all-blank name is empty")
            << "[DATA]\nTEXT1=  a b  \nTEXT2=\"   \"\nTEXT3=c\n" << "a b<0>#1 c<0>#3" << 3 << 0;
        QTest::newRow("parent pointing forward goes to the top")
            << "[DATA]\nTEXT1=a\nROOT1=2\nTEXT2=b\n" << "a<0>#1 b<0>#2" << 2 << 1;
        QTest::newRow("parent pointing at itself goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=2\n" << "a<0>#1 b<0>#2" << 2 << 1;
        QTest::newRow("parent at an empty slot goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT3=c\nROOT3=2\n" << "a<0>#1 c<0>#3" << 3 << 1;
        QTest::newRow("root that is no number reads as 0")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=x1\nnname2=zz\n" << "a<0>#1 b<0>#2" << 2 << 1;
        QTest::newRow("negative parent goes to the top")
            << "[DATA]\nTEXT1=a\nTEXT2=b\nROOT2=-1\n" << "a<0>#1 b<0>#2" << 2 << 1;
        QTest::newRow("entry 100 is never read")
            << "[DATA]\nTEXT1=a\nTEXT100=z\n" << "a<0>#1" << 1 << 0;
        QTest::newRow("lines before the first section are not read")
            << "TEXT1=x\n[DATA]\nTEXT2=b\n" << "b<0>#2" << 2 << 0;
    }
    void loadBuildsTree()
    {
        QFETCH(QString, ini);
        QFETCH(QString, expectedNodes);
        QFETCH(int, expectedCount);
        QFETCH(int, messages);
        writeIni(crlf(ini));
        restart();
        QCOMPARE(describe(nodesOf(m_window->TreeView1)), expectedNodes);
        QCOMPARE(m_window->Entries.EntryCount, expectedCount);
        QCOMPARE(m_window->tree_cnt->text(), QStringLiteral("1"));
        QCOMPARE(m_boxes->seen().size(), messages);
        // Every node leads to an entry that holds its name.
        for (const Node &n : nodesOf(m_window->TreeView1))
            QCOMPARE(m_window->Entries.EntryName(n.entry), n.text);
    }

    void loadReadsValuesWhole()
    {
        const QString longAddress = QStringLiteral("http://example.test/") + QString(600, u'a');
        const QString rule = QStringLiteral("NL%0y") + QString(300, u'/');
        writeIni(crlf(QStringLiteral("[DATA]\nTEXT1=日本語ソ表\nNIP1=%1\nCIP1=%2\nnname1=7\n"
                                     "[Option]\ndirname=/tmp/ページ/\nlogpath=NLlog.txt\n"
                                     "logsw=1\ndtime=45\n")
                          .arg(longAddress, rule)));
        restart();
        const EntryTable &t = m_window->Entries;
        QCOMPARE(t.EntryName(1), QStringLiteral("日本語ソ表"));
        QCOMPARE(t.EntryAddress(1), longAddress);
        QCOMPARE(t.EntryRule(1), rule);
        QCOMPARE(t.EntryNname(1), qint16(7));
        QCOMPARE(m_window->DirName->text(), QStringLiteral("/tmp/ページ/"));
        QCOMPARE(m_window->Text3->text(), QStringLiteral("NLlog.txt"));
        QCOMPARE(m_window->Text4->text(), QStringLiteral("45"));
        QVERIFY(m_window->Check1->isChecked());
        QVERIFY(m_window->Text3->isEnabled());
        QVERIFY(m_window->btn_log_sansyou->isEnabled());
    }

    void loadKeepsWidgetsForMissingOptions()
    {
        m_window->DirName->setText(QStringLiteral("/typed/"));
        m_window->Check1->setChecked(true);
        writeIni(crlf(QStringLiteral("[Option]\nlogsw=0\n")));
        QTest::mouseClick(m_window->btn_load, Qt::LeftButton);
        QCOMPARE(m_window->DirName->text(), QStringLiteral("/typed/"));
        QVERIFY(!m_window->Check1->isChecked());
        QVERIFY(!m_window->Text3->isEnabled());
        QVERIFY(!m_window->btn_log_sansyou->isEnabled());
    }

    void saveWritesKeysInOrder()
    {
        setEntry(1, QStringLiteral("ニュース"), QStringLiteral("http://a.test/"));
        setEntry(2, QStringLiteral("sub"), QStringLiteral("http://b.test/"), 1);
        m_window->DirName->setText(QStringLiteral("/data/"));
        m_window->Text3->setText(QStringLiteral("/data/log.txt"));
        m_window->Check1->setChecked(true);
        m_window->Text4->setText(QStringLiteral("30"));
        QTest::mouseClick(m_window->btn_save, Qt::LeftButton);
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("保存しました")});
        QCOMPARE(readIni(),
                 QStringLiteral("[DATA]\r\nTEXT1=ニュース\r\nNIP1=http://a.test/\r\nCIP1=%0y\r\n"
                                "ROOT1=0\r\nnname1=1\r\nTEXT2=sub\r\nNIP2=http://b.test/\r\n"
                                "CIP2=%0y\r\nROOT2=1\r\nnname2=1\r\n[SDATA]\r\ncnt=0\r\n"
                                "[Option]\r\ndirname=/data/\r\nlogpath=/data/log.txt\r\n"
                                "logsw=1\r\ndtime=30\r\n"));
        QVERIFY(m_window->isEnabled());
    }

    void saveWritesComboItemsButNeverReadsThem()
    {
        for (int c = 0; c <= 4; ++c) {
            for (int i = 0; i < 3; ++i)
                m_window->Combo1(c)->addItem(QStringLiteral("c%1i%2").arg(c).arg(i));
        }
        QVERIFY(m_window->SaveSettings());
        const QString ini = readIni();
        QVERIFY(ini.contains(QStringLiteral("cmb01=c0i1\r\ncmb11=c1i1\r\ncmb21=c2i1\r\n"
                                            "cmb31=c3i1\r\ncmb41=c4i1\r\ncmb02=c0i2")));
        QVERIFY(!ini.contains(QStringLiteral("c0i0")));
        QVERIFY(ini.contains(QStringLiteral("cnt=3\r\n")));
        restart();
        QCOMPARE(m_window->Combo1(0)->count(), 0);
    }

    // Entries 3 and 4 deleted of 1..5: one pass leaves a marker at 3 and moves 5 to 4.
    void saveCompactsAndRebuilds()
    {
        for (int n = 1; n <= 5; ++n)
            setEntry(n, QStringLiteral("e%1").arg(n), QStringLiteral("http://h.test/%1").arg(n));
        m_window->Entries.EntryParent(5) = 2;
        m_window->Entries.markDeleted(3);
        m_window->Entries.markDeleted(4);
        m_window->tree_cnt->setText(QStringLiteral("5"));
        QVERIFY(m_window->SaveSettings());

        const QString ini = readIni();
        QVERIFY(ini.contains(QStringLiteral("TEXT3=nl\r\n")));
        QVERIFY(ini.contains(QStringLiteral("TEXT4=e5\r\nNIP4=http://h.test/5\r\n")));
        QVERIFY(ini.contains(QStringLiteral("ROOT4=2\r\n")));
        QVERIFY(!ini.contains(QStringLiteral("TEXT5")));
        // The selection followed its entry, and every node leads to its own entry.
        QCOMPARE(m_window->tree_cnt->text(), QStringLiteral("4"));
        QCOMPARE(describe(nodesOf(m_window->TreeView1)), QStringLiteral("e1<0>#1 e2<0>#2 e5<2>#4"));

        restart();
        QCOMPARE(describe(nodesOf(m_window->TreeView1)), QStringLiteral("e1<0>#1 e2<0>#2 e5<2>#4"));
        QVERIFY(m_window->Entries.isEmpty(3));
    }

    void saveNeverOverwritesEntriesBeginningWithNl()
    {
        setEntry(1, QStringLiteral("nlnews"), QStringLiteral("http://n.test/"));
        setEntry(2, QStringLiteral("NLx"));
        setEntry(3, QStringLiteral("c"));
        QVERIFY(m_window->SaveSettings());
        restart();
        QCOMPARE(describe(nodesOf(m_window->TreeView1)),
                 QStringLiteral("nlnews<0>#1 NLx<0>#2 c<0>#3"));
        QCOMPARE(m_window->Entries.EntryAddress(1), QStringLiteral("http://n.test/"));
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
            m_window->Entries.markDeleted(n);
        QVERIFY(m_window->SaveSettings());
        QCOMPARE(describe(nodesOf(m_window->TreeView1)), expected);
        restart();
        QCOMPARE(describe(nodesOf(m_window->TreeView1)), expected);
        QVERIFY(m_boxes->seen().isEmpty());
    }

    void saveRemovesStaleKeys()
    {
        QString ini = QStringLiteral("[DATA]\n");
        for (int n = 1; n <= 8; ++n)
            ini += QStringLiteral("TEXT%1=old%1\nNIP%1=http://o.test/\nCIP%1=\nROOT%1=0\nnname%1=1\n").arg(n);
        ini += QStringLiteral("; kept comment\n[Other]\nx=1\n");
        writeIni(crlf(ini));
        restart();
        QCOMPARE(m_window->TreeView1->NodeCount(), 8);
        for (int n = 3; n <= 8; ++n)
            m_window->Entries.clear(n);
        QVERIFY(m_window->SaveSettings());
        const QString saved = readIni();
        for (const char *stem : {"TEXT", "NIP", "CIP", "ROOT", "nname"})
            QVERIFY2(!saved.contains(QLatin1String(stem) + QStringLiteral("3=")), stem);
        QVERIFY(saved.contains(QStringLiteral("; kept comment")));
        QVERIFY(saved.contains(QStringLiteral("[Other]\r\nx=1\r\n")));
        restart();
        QCOMPARE(m_window->TreeView1->NodeCount(), 2);
    }

    void saveStoresWhatTheCodePageKeeps()
    {
        setEntry(1, QStringLiteral("名前😀"), QStringLiteral("http://a.test/ㅎ"));
        QVERIFY(m_window->SaveSettings());
        QCOMPARE(m_window->Entries.EntryName(1), QStringLiteral("名前?"));
        QCOMPARE(m_window->Entries.EntryAddress(1), QStringLiteral("http://a.test/?"));
        QCOMPARE(m_window->TreeView1->NodeText(1), QStringLiteral("名前?"));
    }

    void saveMovesEntry100DownOnlyIntoAFreeSlot()
    {
        for (int n = 1; n <= 97; ++n)
            setEntry(n, QStringLiteral("e%1").arg(n));
        setEntry(100, QStringLiteral("last"));
        QVERIFY(m_window->SaveSettings());
        QVERIFY(m_window->Entries.isEmpty(100));
        QCOMPARE(m_window->Entries.EntryName(99), QStringLiteral("last"));
        restart();
        QCOMPARE(m_window->TreeView1->NodeText(98), QStringLiteral("last"));
    }

    // Saving renumbers entries, so an editor open on one entry must not write to another.
    void loadAndSaveCloseAnOpenEditor()
    {
        for (bool save : {false, true}) {
            setEntry(1, QStringLiteral("a"));
            m_window->Editor()->show();
            QVERIFY(save ? m_window->SaveSettings() : m_window->LoadSettings());
            QVERIFY(!m_window->Editor()->isVisible());
        }
    }

    void failedSaveIsReportedNotPraised()
    {
        // A folder in the file's place makes the replacement fail.
        QVERIFY(QDir().mkpath(iniPath() + QStringLiteral("/sub")));
        setEntry(1, QStringLiteral("a"));
        QTest::mouseClick(m_window->btn_save, Qt::LeftButton);
        QCOMPARE(m_boxes->seen().size(), 1);
        QVERIFY(m_boxes->texts().constFirst().startsWith(
            QStringLiteral("設定ファイルを保存できませんでした。")));
        QVERIFY(QFileInfo(iniPath() + QStringLiteral("/sub")).isDir());
        QVERIFY(m_window->isEnabled());
        // The list in memory is untouched by the failure.
        QCOMPARE(m_window->TreeView1->NodeText(1), QStringLiteral("a"));
    }
};

VEKANTO_CORE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
