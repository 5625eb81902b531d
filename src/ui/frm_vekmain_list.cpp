#include "ui/frm_vekmain.h"

#include "core/list/entry_name.h"
#include "core/session.h"
#include "core/store/page_store.h"
#include "ui/frm_vekop1.h"
#include "ui/main_texts.h"
#include "ui/platform/dialogs.h"
#include "ui/platform/msgbox.h"
#include "ui/platform/shell.h"
#include "ui/platform/tree_view.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The refusals the list gives, in the words the user reads.
void tellRefusal(QWidget *parent, EntryTable::Refusal refusal, int entry)
{
    switch (refusal) {
    case EntryTable::Refusal::Full:
        msgbox::MsgBox(parent, MainText::ListFull);
        break;
    case EntryTable::Refusal::SlotInUse:
        msgbox::MsgBox(parent, MainText::SlotInUse.arg(entry));
        break;
    case EntryTable::Refusal::NoParent:
        msgbox::MsgBox(parent, MainText::NoParent);
        break;
    case EntryTable::Refusal::Gone:
        msgbox::MsgBox(parent, MainText::EntryGone);
        break;
    case EntryTable::Refusal::None:
        break;
    }
}

} // namespace

bool frm_vekmain::OpAdd()
{
    EntryTable &entries = m_session->entries();
    // The parent is the entry selected now, which may differ from the one selected when the
    // editor opened.
    const std::optional<int> parent =
        Bindex != 0 ? std::optional<int>(SelectedEntry()) : std::nullopt;
    if (Nnamebuf.isEmpty())
        Nnamebuf = QStringLiteral("1");
    // Every check comes before the tree or the table changes.
    EntryTable::Refusal refusal;
    const int n = entries.add(Ntxtbuf, Nipbuf, Cipbuf, Nnamebuf.toShort(), parent, &refusal);
    if (n == 0) {
        tellRefusal(this, refusal, entries.EntryCount + 1);
        return false;
    }
    // The node shows the name as typed; the table keeps it without trailing blanks.
    TreeView1->AddNode(TreeView1->PositionOfEntry(parent.value_or(0)), Ntxtbuf, n);
    return true;
}

bool frm_vekmain::OpWrite()
{
    // The editor is not modal: the entry may have been deleted while it was open.
    EntryTable::Refusal refusal;
    if (!EntryTable::isValid(Bindex))
        return false;
    if (!m_session->entries().change(Bindex, Ntxtbuf, Nipbuf, Cipbuf, &refusal)) {
        tellRefusal(this, refusal, Bindex);
        return false;
    }
    Editor()->hide();
    TreeView1->SetNodeText(TreeView1->PositionOfEntry(Bindex), Entries().EntryName(Bindex));
    return true;
}

qint32 frm_vekmain::NtextCheck(const QString &name) const
{
    return Entries().folderOwner(name) != 0 ? 1 : 0;
}

void frm_vekmain::btn_add_Click()
{
    const int k = SelectedEntry();
    if (!EntryTable::isValid(k))
        return;
    Editor()->OpenForAdd(Entries().EntryRule(k), k);
}

void frm_vekmain::btn_cng_Click()
{
    const int k = SelectedEntry();
    // Entries 1 to 99 are the ones the settings file keeps; a deleted one has nothing to change.
    if (k < 1 || k > EntryTable::Kept || Entries().isFree(k))
        return;
    Editor()->OpenForChange(Entries().EntryName(k), Entries().EntryAddress(k), Entries().EntryRule(k),
                            tree_cnt->text());
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
    if (msgbox::MsgBox(this, MainText::DeleteQuestion, msgbox::YesNo) != msgbox::vbYes)
        return;
    TreeView1->RemoveNode(position);
    m_session->entries().markDeleted(k);
}

// The selection is the entry the clicked node carries, whatever its position.
void frm_vekmain::TreeView1_NodeClick(int position)
{
    const int entry = TreeView1->EntryOf(position);
    if (EntryTable::isValid(entry))
        tree_cnt->setText(QString::number(entry));
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
    if (const auto folder = dialogs::browseForFolder(this, MainText::PickFolder, DirName->text()))
        DirName->setText(*folder);
}

void frm_vekmain::btn_log_sansyou_Click()
{
    if (const auto file = dialogs::saveFileName(this, MainText::LogFilter, 2, Text3->text()))
        Text3->setText(*file);
}

// The selected entry's folder or page, when it is there. A deleted entry or a name that would
// lead out of the data folder opens nothing.
void frm_vekmain::openSelected(bool page)
{
    const int n = SelectedEntry();
    if (!EntryTable::isValid(n) || Entries().isFree(n) || !entryname::isSafeName(Entries().EntryName(n)))
        return;
    const QString name = Entries().EntryName(n);
    const QString path = page ? pagestore::PagePath(DirName->text(), name)
                              : pagestore::EntryFolder(DirName->text(), name);
    const QFileInfo found(path);
    if (page ? found.isFile() : found.isDir())
        OpenWithShell(path);
}

void frm_vekmain::btn_diropen_Click()
{
    openSelected(false);
}

void frm_vekmain::btn_Lopen_Click()
{
    openSelected(true);
}

void frm_vekmain::OpenWithShell(const QString &path)
{
    shell::open(path);
}
