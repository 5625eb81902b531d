// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/mark_file.h"

#include <QFile>
#include <QFileInfo>

namespace markfile {

QString PathBeside(const QString &settingsPath, const QString &kind)
{
    const QFileInfo settings(settingsPath);
    return settings.path() + QLatin1Char('/') + settings.completeBaseName() + QLatin1Char('-') + kind
           + QLatin1String(".txt");
}

QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (QString line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

} // namespace markfile
