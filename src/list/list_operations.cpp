#include "app/frm_vekmain.h"

#include "app/main_texts.h"
#include "editor/frm_vekop1.h"
#include "list/entry_name.h"
#include "platform/msgbox.h"
#include "platform/tree_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Shows the editor (not modal) in front, ready for typing.
void present(frm_vekop1 *editor)
{
    editor->show();
    editor->raise();
    editor->activateWindow();
    editor->txtname->setFocus();
}

} // namespace

bool frm_vekmain::OpAdd()
{
    const int n = Entries.EntryCount + 1;
    // Entry 100 is never saved: taking it would lose what the user typed at the next save.
    // Every check comes before the tree or the table changes.
    if (n >= EntryTable::Slots) {
        msgbox::MsgBox(this, MainText::ListFull);
        return false;
    }
    if (!Entries.isEmpty(n)) {
        msgbox::MsgBox(this, MainText::SlotInUse.arg(n));
        return false;
    }
    int parentEntry = 0;
    int parentPosition = 0;
    if (Bindex != 0) {
        // The parent is the entry selected now, which may differ from the one selected when
        // the editor opened.
        parentEntry = SelectedEntry();
        if (EntryTable::isValid(parentEntry) && Entries.isOccupied(parentEntry))
            parentPosition = TreeView1->PositionOfEntry(parentEntry);
        if (parentPosition == 0) {
            msgbox::MsgBox(this, MainText::NoParent);
            return false;
        }
    }

    TreeView1->AddNode(parentPosition, Ntxtbuf, n);
    Entries.EntryCount = n;
    Entries.EntryName(n) = entryname::rtrim(Ntxtbuf);
    Entries.EntryParent(n) = qint16(parentEntry);
    Entries.EntryAddress(n) = Nipbuf;
    Entries.EntryRule(n) = Cipbuf;
    if (Nnamebuf.isEmpty())
        Nnamebuf = QStringLiteral("1");
    Entries.EntryNname(n) = Nnamebuf.toShort();
    return true;
}

bool frm_vekmain::OpWrite()
{
    const int n = Bindex;
    if (!EntryTable::isValid(n))
        return false;
    // The editor is not modal: the entry may have been deleted while it was open.
    if (Entries.isFree(n)) {
        msgbox::MsgBox(this, MainText::EntryGone);
        return false;
    }
    Entries.EntryName(n) = entryname::rtrim(Ntxtbuf);
    Entries.EntryAddress(n) = entryname::rtrim(Nipbuf);
    Entries.EntryRule(n) = Cipbuf;
    Editor()->hide();
    TreeView1->SetNodeText(TreeView1->PositionOfEntry(n), Entries.EntryName(n));
    return true;
}

qint32 frm_vekmain::NtextCheck(const QString &name) const
{
    for (int n = 1; n <= 99; ++n) {
        if (Entries.EntryName(n).compare(name, Qt::CaseInsensitive) == 0)
            return 1;
    }
    return 0;
}

void frm_vekmain::btn_add_Click()
{
    const int k = SelectedEntry();
    if (!EntryTable::isValid(k))
        return;
    frm_vekop1 *editor = Editor();
    present(editor);
    editor->txtname->clear();
    editor->txtip->clear();
    editor->cip->setText(Entries.EntryRule(k));
    editor->Cindex->setText(QString::number(k));
    editor->btn_root->setVisible(true);
}

void frm_vekmain::btn_cng_Click()
{
    const int k = SelectedEntry();
    // Entries 1 to 99 are the ones the settings file keeps; a deleted one has nothing to change.
    if (k < 1 || k > 99 || Entries.isFree(k))
        return;
    frm_vekop1 *editor = Editor();
    present(editor);
    editor->txtname->setText(Entries.EntryName(k));
    editor->txtip->setText(Entries.EntryAddress(k));
    editor->cip->setText(Entries.EntryRule(k));
    editor->Cindex->setText(tree_cnt->text());
    editor->btn_root->setVisible(false);
}

void frm_vekmain::btn_del_Click()
{
    const int k = SelectedEntry();
    // Only an entry that still has its node can be deleted; the node goes by its entry, since
    // positions shift after every delete.
    const int position = EntryTable::isValid(k) && Entries.isOccupied(k)
                             ? TreeView1->PositionOfEntry(k)
                             : 0;
    if (position == 0)
        return;
    if (msgbox::MsgBox(this, MainText::DeleteQuestion, msgbox::YesNo) != msgbox::vbYes)
        return;
    TreeView1->RemoveNode(position);
    Entries.markDeleted(k);
}
