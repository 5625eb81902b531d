#pragma once

#include "app/entry_table.h"
#include "platform/widget_array.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Inet;
class TreeView;
class VbTimer;
class frm_vekop1;
class frm_VEKDL;
class Profile;

// The main window: owner of the entry table, the connection slots and every user action.
// Its member functions live in the folder of the subsystem they belong to.
class frm_vekmain : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_vekmain)

public:
    explicit frm_vekmain(QWidget *parent = nullptr);
    ~frm_vekmain() override;

    // Start-up (app/startup.cpp).
    void Form_Load();

    // Settings file (app/settings.cpp). Both return false when the file could not be used;
    // the user has then been told.
    bool LoadSettings();
    bool SaveSettings();
    QString SettingsPath() const;

    // List operations called by the editor (list/). Both return false when they refused,
    // after telling the user; nothing has then been stored.
    bool OpAdd();
    bool OpWrite();
    qint32 NtextCheck(const QString &name) const;

    // Cancels every connection and frees every slot (engine/).
    void AllCancel();
    // Start-up with logging on: the progress log carries on from the log file (engine/).
    void SeedLogFromFile();
    // A full run and a single download open and close the progress dialog alike (engine/).
    frm_VEKDL *BeginProgress();
    void EndProgress(const QString &finalBox);

    // The two other windows, created on first use and never destroyed.
    frm_vekop1 *Editor();
    frm_VEKDL *Progress();
    bool HasProgress() const { return m_progress != nullptr; }

    // Selected entry number as tree_cnt holds it.
    int SelectedEntry() const;

    // The list in memory.
    EntryTable Entries;

    // Hand-over variables between the editor and the list operations.
    QString Ntxtbuf;
    QString Nipbuf;
    QString Cipbuf;
    QString Nnamebuf;
    qint32 Bindex = 0;
    QString CheckTxt;
    qint32 LCNT = 0;

    QString AppTitle;
    QString WinDir;
    QString WinDirBuf;
    qint32 WinDirLen = 0;

    // Connection slots 1..10 and the run cursor (engine/).
    IndexedArray<qint32, 1, 10> SlotBusy;
    IndexedArray<qint32, 1, 10> SlotEntry;
    IndexedArray<qint32, 1, 10> SlotStart;
    // Start of each transfer on the full clock, so a run over midnight still times out.
    IndexedArray<qint64, 1, 10> SlotStartedMs;
    qint32 RunCursor = 0;
    // A tick lets pending events run; one arriving meanwhile must not start a second tick.
    bool TickRunning = false;

    // Widgets, named as the program's forms name them.
    TreeView *TreeView1 = nullptr;
    QLabel *tree_cnt = nullptr;
    QPushButton *btn_add = nullptr;
    QPushButton *btn_cng = nullptr;
    QPushButton *btn_del = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *btn_dlstart = nullptr;
    QPushButton *btn_diropen = nullptr;
    QPushButton *btn_Lopen = nullptr;
    QPushButton *btn_load = nullptr;
    QPushButton *btn_save = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *DirName = nullptr;
    QPushButton *btn_data_sansyou = nullptr;
    QCheckBox *Check1 = nullptr;
    QLineEdit *Text3 = nullptr;
    QPushButton *btn_log_sansyou = nullptr;
    QLineEdit *Text4 = nullptr;
    QLabel *Label3 = nullptr;
    IndexedArray<Inet *, 1, 10> Inet1;
    IndexedArray<QLineEdit *, 1, 10> Text1;
    IndexedArray<QComboBox *, 0, 4> Combo1;
    VbTimer *Timer1 = nullptr;
    QLineEdit *txt_buf = nullptr;

    // Event handlers, connected in the constructor.
    void btn_load_Click();
    void btn_save_Click();
    void btn_data_sansyou_Click();
    void btn_log_sansyou_Click();
    void Check1_Click();
    void btn_diropen_Click();
    void btn_Lopen_Click();
    void btn_add_Click();
    void btn_cng_Click();
    void btn_del_Click();
    void TreeView1_NodeClick(int position);
    void TreeView1_DblClick();
    void btn_dlstart_Click();
    void Timer1_Timer();
    void Inet1_StateChanged(int Index, short State);
    void Command4_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void connectHandlers();

    // Settings (app/settings.cpp).
    void closeEditor();
    bool readValue(Profile &ini, const QString &section, const QString &key, QString &target);
    void rebuildTree(QStringList *placedAtTop);
    void compactEntries(int &followed);
    void sortEntries(int &followed);

    // Folder, log and open actions (app/actions.cpp).
    void OpenWithShell(const QString &path);
    // Opens entry n's page file "vek.htm" when it exists (open page, double-click).
    void OpenPageOf(int n);

    // The download's rule expansion (engine/).
    QString ExpandRule(const QString &rule) const;

    frm_vekop1 *m_editor = nullptr;
    frm_VEKDL *m_progress = nullptr;
};
