#include "ui/platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace shell {
namespace {
std::function<void(const QString &)> g_recorder;
}

void open(const QString &path)
{
    if (g_recorder) {
        g_recorder(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void setRecorder(std::function<void(const QString &)> recorder)
{
    g_recorder = std::move(recorder);
}

} // namespace shell
