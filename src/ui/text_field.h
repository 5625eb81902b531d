// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <limits>

// A text box that holds a value of any length: a settings value or an address is never cut
// at the box's default limit of 32,767 characters.
inline QLineEdit *makeTextField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}
