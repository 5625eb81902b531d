// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/desktop.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace desktop {

QString appId()
{
    return QStringLiteral(VEKANTO_APP_ID);
}

bool windowSystemAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    return false;
#else
    return true;
#endif
}

void setUp()
{
    QApplication::setApplicationName(QStringLiteral("vekanto"));
    // Lets a Wayland compositor find the .desktop file, and so the icon and the name.
    QGuiApplication::setDesktopFileName(appId());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(appId())));
    loadQtTranslations(QLocale::system());
}

QTranslator *loadQtTranslations(const QLocale &locale)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace desktop
