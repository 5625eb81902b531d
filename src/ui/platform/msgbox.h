// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// MsgBox of the original: a modal box with the program's fixed texts. The title defaults to
// the application's display name, as the original's default caption was the program's name.
// Texts are shown as plain text: a name holding "<b>" is shown as typed.
namespace msgbox {

// YesNoDefaultNo: Yes and No with No as the default, for a question whose Yes loses more than
// the user may expect.
enum Buttons { OKOnly, YesNo, YesNoCancel, YesNoDefaultNo };
enum Result { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

Result MsgBox(QWidget *parent, const QString &text, Buttons buttons = OKOnly,
              const QString &title = QString());

} // namespace msgbox
