#include "app/frm_vekmain.h"

// PLACEHOLDER until the single-entry download lands.
void frm_vekmain::Command4_Click() {}
