// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/window_state.h"

#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

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

void showOver(QWidget *window, const QWidget *owner)
{
    if (!window->isVisible()) {
        const QRect screen = owner->screen()->availableGeometry();
        window->resize(window->size().boundedTo(screen.size()).expandedTo(window->minimumSizeHint()));
        QRect place(QPoint(), window->frameGeometry().size());
        place.moveCenter(owner->frameGeometry().center());
        place.moveRight(std::min(place.right(), screen.right()));
        place.moveBottom(std::min(place.bottom(), screen.bottom()));
        place.moveLeft(std::max(place.left(), screen.left()));
        place.moveTop(std::max(place.top(), screen.top()));
        window->move(place.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace windowstate
