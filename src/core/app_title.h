// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// "Vekanto" and the program's version, as the window's caption and --version show it.
inline QString AppTitle()
{
    return QStringLiteral("Vekanto %1.%2.%3")
        .arg(VEKANTO_VERSION_MAJOR)
        .arg(VEKANTO_VERSION_MINOR)
        .arg(VEKANTO_VERSION_PATCH);
}
