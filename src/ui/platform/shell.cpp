// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace shell {
namespace {
std::function<bool(const QString &)> g_recorder;
}

bool open(const QString &path)
{
    if (g_recorder)
        return g_recorder(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void setRecorder(std::function<bool(const QString &)> recorder)
{
    g_recorder = std::move(recorder);
}

} // namespace shell
