// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windir.h"

#include <QDir>
#include <QStandardPaths>

QString GetWindowsDirectory()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                        + QLatin1String("/vekanto");
    QDir().mkpath(dir);
    return dir;
}
