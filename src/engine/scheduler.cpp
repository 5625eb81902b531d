#include "app/frm_vekmain.h"

// PLACEHOLDER until the download engine lands.
void frm_vekmain::btn_dlstart_Click() {}
void frm_vekmain::Timer1_Timer() {}
void frm_vekmain::Inet1_StateChanged(int, short) {}
void frm_vekmain::AllCancel() {}
QString frm_vekmain::ExpandRule(const QString &rule) const { return rule; }
