// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The folder browser and the save-file common dialog. Both return nullopt when cancelled.
namespace dialogs {

// Opens at `start`, the folder the user works in now.
std::optional<QString> browseForFolder(QWidget *owner, const QString &title, const QString &start);

// filter is the original's "description|pattern|description|pattern|..." text; filterIndex
// is 1-based. Opens in the folder of `current` with its name filled in. Returns the chosen
// full path.
std::optional<QString> saveFileName(QWidget *owner, const QString &filter, int filterIndex,
                                    const QString &current);

// The Qt name filters that the original's filter text gives: one per description, each with
// the patterns it filters by in parentheses.
QStringList nameFilters(const QString &filter);
// The name filter that the original's 1-based filter index picks; empty when none.
QString selectedNameFilter(const QString &filter, int filterIndex);

// Test seam: while set, the answerer is asked instead of showing a dialog. It gets the kind
// ("folder" or "save"), the title or selected name filter and the folder the dialog would
// open at, and answers a path or nullopt.
using Answerer = std::function<std::optional<QString>(const QString &kind, const QString &detail,
                                                      const QString &startFolder)>;
void setAnswerer(Answerer answerer);

} // namespace dialogs
