#include "app/frm_vekmain.h"

#include "app/main_texts.h"
#include "list/entry_name.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

void frm_vekmain::Check1_Click()
{
    const bool on = Check1->isChecked();
    Text3->setEnabled(on);
    btn_log_sansyou->setEnabled(on);
}

void frm_vekmain::btn_data_sansyou_Click()
{
    if (const auto folder = dialogs::browseForFolder(this, MainText::PickFolder))
        DirName->setText(*folder);
}

void frm_vekmain::btn_log_sansyou_Click()
{
    if (const auto file = dialogs::saveFileName(this, MainText::LogFilter, 2))
        Text3->setText(*file);
}

void frm_vekmain::btn_diropen_Click()
{
    const int n = SelectedEntry();
    // A deleted entry or a name that would lead out of the data folder opens nothing.
    if (!EntryTable::isValid(n) || Entries.isFree(n) || !entryname::isFolderName(Entries.EntryName(n)))
        return;
    const QString folder = DirName->text() + QLatin1Char('/') + entryname::rtrim(Entries.EntryName(n));
    if (QFileInfo(folder).isDir())
        OpenWithShell(folder);
}

void frm_vekmain::btn_Lopen_Click()
{
    OpenPageOf(SelectedEntry());
}

void frm_vekmain::OpenPageOf(int n)
{
    if (!EntryTable::isValid(n) || Entries.isFree(n) || !entryname::isFolderName(Entries.EntryName(n)))
        return;
    const QString page = DirName->text() + QLatin1Char('/') + entryname::rtrim(Entries.EntryName(n))
                         + QLatin1String("/vek.htm");
    if (QFileInfo(page).isFile())
        OpenWithShell(page);
}

void frm_vekmain::OpenWithShell(const QString &path)
{
    shell::open(path);
}
