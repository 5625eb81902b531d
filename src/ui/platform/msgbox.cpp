// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/msgbox.h"

#include <QApplication>
#include <QPushButton>

namespace msgbox {

Result MsgBox(QWidget *parent, const QString &text, Buttons buttons, const QString &title)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowTitle(title.isNull() ? QApplication::applicationDisplayName() : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(buttons == OKOnly ? QMessageBox::NoIcon : QMessageBox::Question);
    switch (buttons) {
    case YesNo:
    case YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == YesNo ? QMessageBox::Yes : QMessageBox::No);
        break;
    case YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case OKOnly:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    case QMessageBox::Cancel:
        return vbCancel;
    default:
        return buttons == OKOnly ? vbOK : (buttons == YesNoCancel ? vbCancel : vbNo);
    }
}

} // namespace msgbox
