// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

class QTranslator;

// What a desktop needs from the program: its names, its icon and Qt's own texts in the
// user's language.
namespace desktop {

// The reverse-DNS id that names the installed .desktop file, icon and metainfo.
QString appId();

// Whether a window can be shown: a display to connect to, or a window system plug-in that the
// user chose (QT_QPA_PLATFORM, such as offscreen). Without either Qt would abort at start-up.
bool windowSystemAvailable();

// Names the application after its .desktop file, gives every window the program's icon and
// loads Qt's translations for the system locale.
void setUp();

// Qt's own texts (message-box buttons, file dialogs) for `locale`, from the translations
// installed with Qt. Returns the installed translator (deleting it takes the texts back), or
// nullptr when there are none for the locale.
QTranslator *loadQtTranslations(const QLocale &locale);

} // namespace desktop
