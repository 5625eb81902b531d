// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's own folder, standing in for the Windows directory: the per-user data folder
// plus "/vekanto", created when missing, without a trailing separator.
QString GetWindowsDirectory();
