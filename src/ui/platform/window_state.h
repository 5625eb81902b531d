// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Window sizes and positions kept between runs in a settings file of the program's own,
// $XDG_CONFIG_HOME/vekanto/windows.conf (vek.ini keeps only what the program always kept).
// Windows are told apart by their objectName.
namespace windowstate {

QString filePath();

// Size and position; a remembered place off every screen is brought back onto one.
void restoreGeometry(QWidget *window);
void saveGeometry(const QWidget *window);

// Size only, for a window that opens where its owner is.
void restoreSize(QWidget *window);
void saveSize(const QWidget *window);
// Shows a window in front; when it opens, centred over its owner inside the screen the owner
// is on.
void showOver(QWidget *window, const QWidget *owner);

} // namespace windowstate
