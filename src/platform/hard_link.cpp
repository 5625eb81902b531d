// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hard_link.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace hardlink {

bool Make(const QString &existing, const QString &link, QString *error)
{
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(link).constData()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace hardlink
