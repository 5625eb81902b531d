// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

// A button named as the program's forms name it. Return on it presses it when it has the
// focus, in every window (Qt does that by itself only in dialogs).
inline QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(true);
    return button;
}
