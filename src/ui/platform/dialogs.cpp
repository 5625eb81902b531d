#include "ui/platform/dialogs.h"

#include <QFileDialog>

namespace dialogs {
namespace {
Answerer g_answerer;
}

QStringList nameFilters(const QString &filter)
{
    // The text is split at every "|" and taken as description/pattern pairs, wherever the
    // pairs fall; a trailing "|" leaves an empty last part that is not a pair.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            continue;
        // Qt needs the patterns in parentheses to filter by them.
        result << parts[i] + QLatin1String(" (") + parts[i + 1] + QLatin1Char(')');
    }
    return result;
}

std::optional<QString> browseForFolder(QWidget *owner, const QString &title)
{
    if (g_answerer)
        return g_answerer(QStringLiteral("folder"), title);
    const QString dir = QFileDialog::getExistingDirectory(owner, title);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QString> saveFileName(QWidget *owner, const QString &filter, int filterIndex)
{
    const QStringList filters = nameFilters(filter);
    const QString selected = filterIndex >= 1 && filterIndex <= filters.size()
                                 ? filters[filterIndex - 1]
                                 : QString();
    if (g_answerer)
        return g_answerer(QStringLiteral("save"), selected);
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (!selected.isEmpty())
        dialog.selectNameFilter(selected);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void setAnswerer(Answerer answerer)
{
    g_answerer = std::move(answerer);
}

} // namespace dialogs
