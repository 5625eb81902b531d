// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The small files of marks kept beside the settings file, one entry a line in UTF-8.
namespace markfile {

// Beside the settings file, after its name: vek.ini and "changed" give vek-changed.txt.
QString PathBeside(const QString &settingsPath, const QString &kind);

// The file's lines without their line ends (LF or CR LF), empty ones left out; none when it
// cannot be read.
QStringList ReadLines(const QString &path);

} // namespace markfile
