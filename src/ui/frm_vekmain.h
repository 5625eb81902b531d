// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/list/entry_table.h"
#include "core/session.h"
#include "core/settings/settings_file.h"
#include "platform/indexed_array.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class TreeView;
class frm_history;
class frm_vekop1;
class frm_VEKDL;

// The main window: the face of one Session. It shows the list as a tree, holds the option
// fields, and forwards every user action to the core.
class frm_vekmain : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_vekmain)

public:
    // Shows `session`, or a session of its own over the program's folder when none is given.
    explicit frm_vekmain(Session *session = nullptr, QWidget *parent = nullptr);
    ~frm_vekmain() override;

    void Form_Load();

    // Both return false when the file could not be used; the user has then been told.
    bool LoadSettings();
    // `wroteUtf8` tells that the file had to be written in UTF-8.
    bool SaveSettings(bool *wroteUtf8 = nullptr);
    QString SettingsPath() const;

    // What the editor hands over to the list operations: one entry as typed, and where it goes.
    struct HandOver {
        QString Ntxtbuf{}; // name
        QString Nipbuf{};  // address
        QString Cipbuf{};  // rule
        QString Nnamebuf{};
        // OpAdd: 0 adds at the top level, anything else under the entry selected now.
        // OpWrite: the entry changed.
        qint32 Bindex = 0;
        // The lines to ignore in deciding whether its page changed.
        QString Ignbuf{};
    };
    // List operations called by the editor. A refusal comes back with nothing stored; the
    // editor tells the user. A change of name takes the entry's folder along.
    EntryTable::Edit OpAdd(const HandOver &entry);
    Session::Changed OpWrite(const HandOver &entry);
    qint32 NtextCheck(const QString &name) const;

    // Cancels every connection and frees every slot.
    void AllCancel();
    // Shows the window in front, as asked by a second start of the program.
    void BringToFront();

    // The two other windows, created on first use and never destroyed.
    frm_vekop1 *Editor();
    frm_VEKDL *Progress();
    bool HasProgress() const { return m_progress != nullptr; }

    // Hands a path to the desktop; when the desktop has no program for it, says so over
    // `over` (this window when none is given).
    void OpenWithShell(const QString &path, QWidget *over = nullptr);
    // The history window of an entry open now, nullptr when none.
    frm_history *HistoryOf(const QString &name) const;
    // Shows this window and the history of the entry of that name, as a notification's action
    // or a start with --history asks; the window alone when no entry has it.
    void ShowHistoryOf(const QString &name);

    // The selected entry, which tree_cnt shows; 0 when none.
    int SelectedEntry() const { return m_selected; }
    // Makes entry n the selection, as a click on its node does before it takes the entry's
    // changed mark off.
    void SelectEntry(int n);
    Session &session() { return *m_session; }
    const EntryTable &Entries() const;
    // The SDATA lists that SAVE writes and nothing reads back.
    settingsfile::SdataLists &Sdata() { return m_sdata; }

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
    void TreeView1_ContextMenu(const QPoint &point);
    void btn_history_Click();
    void btn_dlstart_Click();
    void Timer1_Timer();
    void Inet1_StateChanged(int Index, short State);
    void Command4_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    // The tree's keys: Delete deletes, Return changes, the menu key and Shift+F10 open its menu.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets();
    void connectHandlers();

    // The option fields show the session's options; an edit goes to them at once.
    void optionsToFields();
    void closeEditor();
    void rebuildTree();
    // The tree shows as current the node of the selected entry, none when it has none.
    void syncSelection();
    // Asks before added, changed or deleted entries would be dropped; true to go on.
    bool confirmUnsaved();
    void openSelected(bool page);
    // The entry's name is shown in bold while its changed mark is on, with a warning while its
    // last fetch has failed.
    void showMarks();
    // The user has looked at the entry: its changed mark goes.
    void clearMark(int entry);
    // A run writes only under an absolute data folder; otherwise the user is told.
    bool dataFolderUsable();
    // Takes the run lock for a run or a single download; tells the user when another run
    // holds it.
    bool LockRun();
    // The progress window opened for a run or a single download, and closed again.
    frm_VEKDL *BeginProgress();
    void EndProgress(const QString &finalBox);
    // OK on the progress window: the end of the run.
    void ProgressClosed();

    std::unique_ptr<Session> m_ownSession;
    Session *m_session = nullptr;
    frm_vekop1 *m_editor = nullptr;
    frm_VEKDL *m_progress = nullptr;
    // Windows of their own (a child would be disabled with the main window during a run),
    // one per entry at most; each deletes itself when closed.
    QList<QPointer<frm_history>> m_histories;
    // The list has changes that SAVE has not written.
    bool m_unsaved = false;
    int m_selected = 0;
    settingsfile::SdataLists m_sdata;

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
    QPushButton *btn_history = nullptr;
    QMenu *m_treeMenu = nullptr;
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
    QCheckBox *Check2 = nullptr;
    // How long and how many dated copies are kept; 0 keeps them all.
    QSpinBox *spn_keepdays = nullptr;
    QSpinBox *spn_keepvers = nullptr;
    QCheckBox *chk_notify = nullptr;
    IndexedArray<QLineEdit *, 1, 10> Text1;
};
