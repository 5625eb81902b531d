// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frm_vekmain.h"

#include "core/list/entry_name.h"
#include "core/session.h"
#include "core/store/page_store.h"
#include "ui/frm_vekop1.h"
#include "ui/history/frm_history.h"
#include "ui/main_texts.h"
#include "ui/platform/dialogs.h"
#include "ui/platform/msgbox.h"
#include "ui/platform/shell.h"
#include "ui/platform/tree_view.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

EntryTable::Edit frm_vekmain::OpAdd(const HandOver &entry)
{
    EntryTable &entries = m_session->entries();
    // The parent is the entry selected now, which may differ from the one selected when the
    // editor opened. With no live entry selected (an empty list, a deleted selection) the
    // entry goes to the top level instead of sending the user to 「ルートに作成」.
    const int selected = SelectedEntry();
    const std::optional<int> parent =
        entry.Bindex != 0 && EntryTable::isValid(selected) && entries.isOccupied(selected)
            ? std::optional<int>(selected)
            : std::nullopt;
    const QString nname = entry.Nnamebuf.isEmpty() ? QStringLiteral("1") : entry.Nnamebuf;
    // Every check comes before the tree or the table changes.
    const EntryTable::Edit added =
        entries.add(entry.Ntxtbuf, entry.Nipbuf, entry.Cipbuf, nname.toShort(), parent);
    if (!added.ok())
        return added;
    // The node shows the name as stored, as the next LOAD shows it.
    TreeView1->AddNode(TreeView1->PositionOfEntry(parent.value_or(0)), Entries().EntryName(added.entry),
                       added.entry);
    m_unsaved = true;
    showMarks();
    syncSelection();
    return added;
}

Session::Changed frm_vekmain::OpWrite(const HandOver &entry)
{
    const QString oldName = EntryTable::isValid(entry.Bindex) ? Entries().EntryName(entry.Bindex) : QString();
    // The editor is not modal: the entry may have been deleted while it was open.
    const Session::Changed changed = m_session->change(entry.Bindex, entry.Ntxtbuf, entry.Nipbuf, entry.Cipbuf);
    if (!changed.ok())
        return changed;
    m_unsaved = true;
    const QString name = Entries().EntryName(entry.Bindex);
    TreeView1->SetNodeText(TreeView1->PositionOfEntry(entry.Bindex), name);
    showMarks();
    // An open history follows the folder it shows.
    if (frm_history *history = HistoryOf(oldName); history && name != oldName)
        history->Rename(name, m_session->options().dirName);
    if (!changed.marksError.isEmpty())
        msgbox::MsgBox(this, MainText::MarksWriteFailed.arg(m_session->marks().path() + QLatin1String(": ")
                                                             + changed.marksError));
    return changed;
}

qint32 frm_vekmain::NtextCheck(const QString &name) const
{
    return Entries().folderOwner(name) != 0 ? 1 : 0;
}

void frm_vekmain::btn_add_Click()
{
    const int k = SelectedEntry();
    // Nothing selected (a deleted selection let go by SAVE) still adds: at the top level.
    if (k != 0 && !EntryTable::isValid(k))
        return;
    Editor()->OpenForAdd(k != 0 ? Entries().EntryRule(k) : QString(), k);
}

void frm_vekmain::btn_cng_Click()
{
    const int k = SelectedEntry();
    // Entries 1 to 99 are the ones the settings file keeps; a deleted one has nothing to change.
    if (k < 1 || k > EntryTable::Kept || Entries().isFree(k))
        return;
    Editor()->OpenForChange(Entries().EntryName(k), Entries().EntryAddress(k), Entries().EntryRule(k), k);
}

void frm_vekmain::btn_del_Click()
{
    const int k = SelectedEntry();
    // Only an entry that still has its node can be deleted; the node goes by its entry, since
    // positions shift after every delete.
    const int position = EntryTable::isValid(k) && Entries().isOccupied(k)
                             ? TreeView1->PositionOfEntry(k)
                             : 0;
    if (position == 0)
        return;
    // The entries under it go with it; the question says so, and then leans to No.
    const qsizetype below = Entries().descendants(k).size();
    const bool asked = below == 0
        ? msgbox::MsgBox(this, MainText::DeleteQuestion, msgbox::YesNo) == msgbox::vbYes
        : msgbox::MsgBox(this, MainText::DeleteWithBelow.arg(Entries().EntryName(k), QString::number(below)),
                         msgbox::YesNoDefaultNo) == msgbox::vbYes;
    if (!asked)
        return;
    TreeView1->RemoveNode(position);
    m_session->entries().remove(k);
    m_unsaved = true;
    // The selection stays on the deleted entry, which has no node to show any more.
    syncSelection();
}

void frm_vekmain::syncSelection()
{
    TreeView1->SelectNode(TreeView1->PositionOfEntry(SelectedEntry()));
}

// The selection is the entry the clicked node carries, whatever its position.
void frm_vekmain::TreeView1_NodeClick(int position)
{
    const int entry = TreeView1->EntryOf(position);
    if (!EntryTable::isValid(entry))
        return;
    SelectEntry(entry);
    clearMark(entry);
}

// Acts on the entry the preceding click selected, not on the node under the pointer as such.
void frm_vekmain::TreeView1_DblClick()
{
    btn_Lopen_Click();
}

void frm_vekmain::Check1_Click()
{
    const bool on = Check1->isChecked();
    Text3->setEnabled(on);
    btn_log_sansyou->setEnabled(on);
}

void frm_vekmain::btn_data_sansyou_Click()
{
    if (const auto folder = dialogs::browseForFolder(this, MainText::PickFolder, m_session->options().dirName))
        DirName->setText(*folder);
}

void frm_vekmain::btn_log_sansyou_Click()
{
    if (const auto file = dialogs::saveFileName(this, MainText::LogFilter, 2, m_session->options().logPath))
        Text3->setText(*file);
}

// The selected entry's folder or page, when it is there; otherwise the user is told that
// nothing was stored yet. A name that would lead out of the data folder was never stored.
void frm_vekmain::openSelected(bool page)
{
    const int n = SelectedEntry();
    if (!EntryTable::isValid(n) || Entries().isFree(n) || !dataFolderUsable())
        return;
    const QString name = Entries().EntryName(n);
    const QString &dataDir = m_session->options().dirName;
    const bool safe = entryname::isSafeName(name);
    const QString path = !safe ? QString()
                         : page ? pagestore::PagePath(dataDir, name)
                                : pagestore::EntryFolder(dataDir, name);
    const QFileInfo found(path);
    if (safe && (page ? found.isFile() : found.isDir()))
        OpenWithShell(path);
    else
        msgbox::MsgBox(this, (page ? MainText::NoVersions : MainText::NoFolder).arg(name));
}

void frm_vekmain::btn_diropen_Click()
{
    openSelected(false);
}

void frm_vekmain::btn_Lopen_Click()
{
    openSelected(true);
}

void frm_vekmain::OpenWithShell(const QString &path, QWidget *over)
{
    if (!shell::open(path))
        msgbox::MsgBox(over ? over : this, MainText::NoOpener.arg(path));
}

bool frm_vekmain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != TreeView1 || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && key->key() == Qt::Key_Delete) {
        btn_del_Click();
    } else if (modifiers == Qt::NoModifier && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        btn_cng_Click();
    } else if ((modifiers == Qt::NoModifier && key->key() == Qt::Key_Menu)
               || (modifiers == Qt::ShiftModifier && key->key() == Qt::Key_F10)) {
        // Opened at the selected entry's node, as a click there would open it.
        const QRect node = TreeView1->NodeRect(TreeView1->PositionOfEntry(SelectedEntry()));
        if (node.isValid())
            TreeView1_ContextMenu(node.center());
    } else {
        return QWidget::eventFilter(watched, event);
    }
    return true;
}

// The menu acts on the node under the pointer, which the click selects first.
void frm_vekmain::TreeView1_ContextMenu(const QPoint &point)
{
    const int position = TreeView1->NodeAt(point);
    if (position == 0)
        return;
    TreeView1_NodeClick(position);
    syncSelection();
    m_treeMenu->popup(TreeView1->viewport()->mapToGlobal(point));
}

frm_history *frm_vekmain::HistoryOf(const QString &name) const
{
    for (const QPointer<frm_history> &history : m_histories) {
        if (history && entryname::sameFolder(history->EntryName(), name))
            return history;
    }
    return nullptr;
}

void frm_vekmain::btn_history_Click()
{
    const int n = SelectedEntry();
    if (!EntryTable::isValid(n) || Entries().isFree(n) || !entryname::isSafeName(Entries().EntryName(n))
        || !dataFolderUsable())
        return;
    const QString name = Entries().EntryName(n);
    const QString &dataDir = m_session->options().dirName;
    clearMark(n);
    if (pagestore::StoredPages(dataDir, name).isEmpty()) {
        msgbox::MsgBox(this, MainText::NoVersions.arg(name));
        return;
    }
    frm_history *history = HistoryOf(name);
    if (history) {
        history->Reload(dataDir);
    } else {
        m_histories.removeAll(nullptr);
        history = new frm_history([this](const QString &path, QWidget *over) { OpenWithShell(path, over); },
                                  dataDir, name);
        m_histories.append(history);
    }
    history->ShowOver(this);
}

void frm_vekmain::showMarks()
{
    ChangedMarks &marks = m_session->marks();
    // An unattended run may have marked entries since.
    marks.reload();
    for (int position = 1; position <= TreeView1->NodeCount(); ++position) {
        const int entry = TreeView1->EntryOf(position);
        TreeView1->SetNodeBold(position, Entries().isOccupied(entry)
                                             && marks.isMarked(Entries().EntryName(entry)));
    }
}

void frm_vekmain::clearMark(int entry)
{
    ChangedMarks &marks = m_session->marks();
    const QString name = Entries().EntryName(entry);
    if (!Entries().isOccupied(entry) || !marks.isMarked(name))
        return;
    QString error;
    const bool cleared = marks.clear(name, &error);
    TreeView1->SetNodeBold(TreeView1->PositionOfEntry(entry), false);
    if (!cleared)
        msgbox::MsgBox(this, MainText::MarksWriteFailed.arg(marks.path() + QLatin1String(": ") + error));
}
