// Folder, log and open actions of the main window; dialogs are answered and the shell is
// recorded, so nothing is shown or launched.

#include "app/main_texts.h"
#include "list_driver.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_testmain.h"

#include <QDir>
#include <QTemporaryDir>

using namespace driver;

class tst_actions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pickFolder_data();
    void pickFolder();
    void pickLogFile_data();
    void pickLogFile();
    void logSwitch();
    void logSwitchFromSettings_data();
    void logSwitchFromSettings();
    void open_data();
    void open();
    void openNeverLeavesDataFolder();

private:
    struct Asked {
        QString kind;
        QString detail;
    };
    QList<Asked> m_asked;
    std::optional<QString> m_answer;
    QStringList m_opened;
};

void tst_actions::init()
{
    QFile::remove(iniPath());
    m_asked.clear();
    m_opened.clear();
    m_answer.reset();
    dialogs::setAnswerer([this](const QString &kind, const QString &detail) {
        m_asked.append({kind, detail});
        return m_answer;
    });
    shell::setRecorder([this](const QString &path) { m_opened << path; });
}

void tst_actions::cleanup()
{
    dialogs::setAnswerer({});
    shell::setRecorder({});
}

void tst_actions::pickFolder_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("chosen") << std::optional<QString>(QStringLiteral("/home/u/ページ"));
    QTest::newRow("cancelled") << std::optional<QString>();
}

void tst_actions::pickFolder()
{
    QFETCH(std::optional<QString>, answer);
    frm_vekmain w;
    w.Form_Load();
    w.show();
    auto *dir = widget<QLineEdit>(&w, "DirName");
    type(dir, QStringLiteral("/old/"));
    m_answer = answer;
    click(&w, "btn_data_sansyou");
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked[0].kind, QStringLiteral("folder"));
    QCOMPARE(m_asked[0].detail, QStringLiteral("フォルダを指定して下さい。"));
    // The chosen folder is taken as it comes, without a separator added.
    QCOMPARE(dir->text(), answer.value_or(QStringLiteral("/old/")));
}

void tst_actions::pickLogFile_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("chosen") << std::optional<QString>(QStringLiteral("/home/u/ログ.log"));
    QTest::newRow("cancelled") << std::optional<QString>();
}

void tst_actions::pickLogFile()
{
    QFETCH(std::optional<QString>, answer);
    frm_vekmain w;
    w.Form_Load();
    w.show();
    auto *path = widget<QLineEdit>(&w, "Text3");
    const QString before = path->text();
    m_answer = answer;

    // With logging off the button cannot be pressed.
    click(&w, "btn_log_sansyou");
    QVERIFY(m_asked.isEmpty());

    auto *sw = widget<QCheckBox>(&w, "Check1");
    QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(6, sw->height() / 2));
    click(&w, "btn_log_sansyou");
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked[0].kind, QStringLiteral("save"));
    // Filter index 2 of the original's filter text: its second description/pattern pair.
    QCOMPARE(m_asked[0].detail, QStringLiteral("テキスト ファイル (*.txt *.doc *.log) (*.txt)"));
    QCOMPARE(path->text(), answer.value_or(before));
}

void tst_actions::logSwitch()
{
    frm_vekmain w;
    w.Form_Load();
    w.show();
    auto *sw = widget<QCheckBox>(&w, "Check1");
    auto *path = widget<QLineEdit>(&w, "Text3");
    auto *browse = widget<QPushButton>(&w, "btn_log_sansyou");
    QVERIFY(!sw->isChecked());
    QVERIFY(!path->isEnabled());
    QVERIFY(!browse->isEnabled());
    for (bool on : {true, false, true}) {
        QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(6, sw->height() / 2));
        QCOMPARE(sw->isChecked(), on);
        QCOMPARE(path->isEnabled(), on);
        QCOMPARE(browse->isEnabled(), on);
    }
}

void tst_actions::logSwitchFromSettings_data()
{
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<QString>("atLoad");
    QTest::newRow("on, then off") << "1" << "0";
    QTest::newRow("off, then on") << "0" << "1";
}

void tst_actions::logSwitchFromSettings()
{
    QFETCH(QString, atStart);
    QFETCH(QString, atLoad);
    writeList(1, {QStringLiteral("logsw=") + atStart});
    frm_vekmain w;
    w.Form_Load();
    w.show();
    auto *path = widget<QLineEdit>(&w, "Text3");
    auto *browse = widget<QPushButton>(&w, "btn_log_sansyou");
    QCOMPARE(path->isEnabled(), atStart == QLatin1String("1"));
    QCOMPARE(browse->isEnabled(), atStart == QLatin1String("1"));

    writeList(1, {QStringLiteral("logsw=") + atLoad});
    MsgBoxAnswerer answerer;
    click(&w, "btn_load");
    QCOMPARE(path->isEnabled(), atLoad == QLatin1String("1"));
    QCOMPARE(browse->isEnabled(), atLoad == QLatin1String("1"));
}

// Entries e1 .. e4 live in a data folder typed with or without a trailing "/". Each row builds
// some of entry 2's folder and page, maybe deletes an entry first, selects one, and acts.
void tst_actions::open_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<bool>("trailingSlash");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("opened");

    const QStringList none, folder{"e2/"}, page{"e2/vek.htm"};
    const QByteArray dir("btn_diropen"), open("btn_Lopen"), dbl("double-click");

    QTest::newRow("folder, exists") << dir << true << folder << 0 << 2 << "//e2";
    QTest::newRow("folder, exists, no trailing slash") << dir << false << folder << 0 << 2 << "/e2";
    QTest::newRow("folder, missing") << dir << true << none << 0 << 2 << "";
    QTest::newRow("folder, only a file of that name") << dir << true << QStringList{"e2"} << 0 << 2 << "";
    QTest::newRow("page, exists") << open << true << page << 0 << 2 << "//e2/vek.htm";
    QTest::newRow("page, exists, no trailing slash") << open << false << page << 0 << 2 << "/e2/vek.htm";
    QTest::newRow("page, folder without page") << open << true << folder << 0 << 2 << "";
    QTest::newRow("page, missing") << open << true << none << 0 << 2 << "";
    QTest::newRow("page, a folder named vek.htm") << open << true << QStringList{"e2/vek.htm/"} << 0 << 2 << "";
    QTest::newRow("double-click, page exists") << dbl << true << page << 0 << 2 << "//e2/vek.htm";
    QTest::newRow("double-click, page missing") << dbl << true << folder << 0 << 2 << "";

    // After deleting entry 1, entry 2 sits at node position 1 and entry 3 at position 2.
    const QStringList both{"e2/vek.htm", "e3/vek.htm"};
    QTest::newRow("folder after a deletion") << dir << true << QStringList{"e2/", "e3/"} << 1 << 3 << "//e3";
    QTest::newRow("page after a deletion") << open << true << both << 1 << 3 << "//e3/vek.htm";
    QTest::newRow("double-click after a deletion") << dbl << true << both << 1 << 2 << "//e2/vek.htm";
    // A deleted entry opens nothing, even when a folder of its marker name exists.
    QTest::newRow("folder of a deleted entry") << dir << true << QStringList{"nl/", "e2/"} << 2 << 2 << "";
    QTest::newRow("page of a deleted entry") << open << true << QStringList{"nl/vek.htm", "e2/vek.htm"} << 2 << 2 << "";
}

void tst_actions::open()
{
    QFETCH(QByteArray, action);
    QFETCH(bool, trailingSlash);
    QFETCH(QStringList, made);
    QFETCH(int, deleted);
    QFETCH(int, selected);
    QFETCH(QString, opened);

    QTemporaryDir data;
    QVERIFY(data.isValid());
    for (const QString &item : made) {
        if (item.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir(data.path()).mkpath(item));
        } else {
            QVERIFY(QDir(data.path()).mkpath(QFileInfo(item).path()));
            QFile file(data.filePath(item));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    writeList(4);
    frm_vekmain w;
    driver::startShown(w);
    type(widget<QLineEdit>(&w, "DirName"), data.path() + (trailingSlash ? "/" : ""));
    MsgBoxAnswerer answerer;
    if (deleted) {
        answerer.queue(QMessageBox::Yes);
        clickNode(w, deleted);
        click(&w, "btn_del");
    }
    if (selected != deleted)
        clickNode(w, selected);
    QCOMPARE(driver::selected(w), QString::number(selected));

    if (action == "double-click")
        doubleClickNode(w, selected);
    else
        click(&w, action.constData());
    QCOMPARE(m_opened, opened.isEmpty() ? QStringList() : QStringList{data.path() + opened});
}

// A name read from a hand-edited settings file that would lead out of the data folder opens
// nothing, though the folder it names exists.
void tst_actions::openNeverLeavesDataFolder()
{
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("inner/sub")));
    QFile page(data.filePath(QStringLiteral("vek.htm")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    {
        QFile ini(iniPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[DATA]\r\nTEXT1=..\r\nROOT1=0\r\nTEXT2=.\r\nROOT2=0\r\n");
    }
    frm_vekmain w;
    driver::startShown(w);
    type(widget<QLineEdit>(&w, "DirName"), data.filePath(QStringLiteral("inner")));
    for (int n : {1, 2}) {
        clickNode(w, n);
        click(&w, "btn_diropen");
        click(&w, "btn_Lopen");
    }
    QCOMPARE(m_opened, QStringList());
}

VEKANTO_TEST_MAIN(tst_actions)
#include "tst_actions.moc"
