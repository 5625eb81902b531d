#include "app/frm_vekmain.h"

#include "platform/tree_view.h"

#include <QLabel>

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
    OpenPageOf(SelectedEntry());
}
