#include "ui/platform/msgbox.h"

#include <QApplication>
#include <QPushButton>

namespace msgbox {

Result MsgBox(QWidget *parent, const QString &text, Buttons buttons, const QString &title)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowTitle(title.isNull() ? QApplication::applicationDisplayName() : title);
    box.setText(text);
    box.setIcon(buttons == YesNo ? QMessageBox::Question : QMessageBox::NoIcon);
    if (buttons == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (buttons == YesNo)
        return r == QMessageBox::Yes ? vbYes : vbNo;
    return vbOK;
}

} // namespace msgbox
