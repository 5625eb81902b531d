// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's own folder, standing in for the Windows directory: the per-user data folder
// plus "/vekanto", created when missing, without a trailing separator.
QString GetWindowsDirectory();

// Where the window over a settings file listens for a second start: a local socket in the
// user's runtime folder, named after the settings file, so two lists are two windows.
QString InstanceSocketName(const QString &settingsPath);
