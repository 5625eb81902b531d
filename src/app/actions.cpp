#include "app/frm_vekmain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

void frm_vekmain::Check1_Click()
{
    const bool on = Check1->isChecked();
    Text3->setEnabled(on);
    btn_log_sansyou->setEnabled(on);
}

// PLACEHOLDER until the folder, log and open actions land.
void frm_vekmain::btn_data_sansyou_Click() {}
void frm_vekmain::btn_log_sansyou_Click() {}
void frm_vekmain::btn_diropen_Click() {}
void frm_vekmain::btn_Lopen_Click() {}
void frm_vekmain::OpenWithShell(const QString &) {}
