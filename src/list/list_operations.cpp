#include "app/frm_vekmain.h"

// PLACEHOLDER until the list operations land.
void frm_vekmain::OpAdd() {}
void frm_vekmain::OpWrite() {}
qint32 frm_vekmain::NtextCheck(const QString &) const { return 0; }
void frm_vekmain::btn_add_Click() {}
void frm_vekmain::btn_cng_Click() {}
void frm_vekmain::btn_del_Click() {}
