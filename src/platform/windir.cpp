// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString GetWindowsDirectory()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                        + QLatin1String("/vekanto");
    QDir().mkpath(dir);
    return dir;
}

QString InstanceSocketName(const QString &settingsPath)
{
    const QByteArray file = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    const QString key = QString::fromLatin1(QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex().left(16));
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1String("/vekanto-") + key;
}
