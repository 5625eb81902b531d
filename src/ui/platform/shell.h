// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// ShellExecute "open": hands a path to the desktop's default program.
namespace shell {

// False when the desktop has no program to open the path with.
bool open(const QString &path);

// Test seam: while set, paths are handed to the recorder instead of the desktop, and its
// answer stands for the desktop's.
void setRecorder(std::function<bool(const QString &)> recorder);

} // namespace shell
