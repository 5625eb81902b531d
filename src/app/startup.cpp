#include "app/frm_vekmain.h"

#include "app/main_texts.h"
#include "editor/frm_vekop1.h"
#include "platform/windir.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

void frm_vekmain::Form_Load()
{
    AppTitle = QStringLiteral("Vekanto %1.%2.%3")
                   .arg(VEKANTO_VERSION_MAJOR)
                   .arg(VEKANTO_VERSION_MINOR)
                   .arg(VEKANTO_VERSION_PATCH);
    setWindowTitle(AppTitle);
    // Message boxes without a title of their own carry the program's name.
    QCoreApplication::setApplicationName(MainText::AppName);

    WinDirBuf = GetWindowsDirectory();
    WinDirLen = qint32(WinDirBuf.size());
    WinDir = WinDirBuf.left(WinDirLen);
    // The program's folder stands in for the Windows directory in the default paths too.
    DirName->setText(WinDir + QLatin1Char('/'));
    Text3->setText(WinDir + QLatin1String("/VEKLOG.txt"));

    Entries.EntryLimit = 100;
    LoadSettings();

    // The editor starts with its rule box on.
    Editor()->Check1->setChecked(true);
    Editor()->Check1_Click();
}

QString frm_vekmain::SettingsPath() const
{
    return WinDir + QLatin1String("/vek.ini");
}
