#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The folder browser and the save-file common dialog. Both return nullopt when cancelled.
namespace dialogs {

std::optional<QString> browseForFolder(QWidget *owner, const QString &title);

// filter is the original's "description|pattern|description|pattern|..." text; filterIndex
// is 1-based. Returns the chosen full path.
std::optional<QString> saveFileName(QWidget *owner, const QString &filter, int filterIndex);

// The Qt name filters that the original's filter text gives, pair by pair.
QStringList nameFilters(const QString &filter);

// Test seam: while set, the answerer is asked instead of showing a dialog. It gets the kind
// ("folder" or "save"), the title or selected name filter, and answers a path or nullopt.
using Answerer = std::function<std::optional<QString>(const QString &kind, const QString &detail)>;
void setAnswerer(Answerer answerer);

} // namespace dialogs
