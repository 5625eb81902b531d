#include "ui/platform/window_state.h"

#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace windowstate {
namespace {

QString key(const QWidget *window, const char *what)
{
    return window->objectName() + QLatin1Char('/') + QLatin1String(what);
}

} // namespace

QString filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QLatin1String("/vekanto/windows.conf");
}

void restoreGeometry(QWidget *window)
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    window->restoreGeometry(settings.value(key(window, "geometry")).toByteArray());
}

void saveGeometry(const QWidget *window)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(key(window, "geometry"), window->saveGeometry());
}

void restoreSize(QWidget *window)
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    const QSize size = settings.value(key(window, "size")).toSize();
    if (size.isValid())
        window->resize(size.expandedTo(window->minimumSizeHint()));
}

void saveSize(const QWidget *window)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(key(window, "size"), window->size());
}

} // namespace windowstate
