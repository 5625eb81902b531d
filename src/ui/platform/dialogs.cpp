// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace dialogs {
namespace {

Answerer g_answerer;

struct Filter {
    QString description;
    QStringList patterns;
};

QStringList patternsIn(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

// A description that is itself only patterns ("*.doc"): what is left when a pattern list
// was split at "|" instead of ";".
bool isPatternList(const QString &text)
{
    const QStringList words = patternsIn(text);
    return !words.isEmpty() && std::all_of(words.begin(), words.end(), [](const QString &w) {
        return w.contains(QLatin1Char('*')) && !w.contains(QLatin1Char('('));
    });
}

void addPatterns(QStringList &to, const QStringList &patterns)
{
    for (const QString &p : patterns) {
        if (!to.contains(p))
            to << p;
    }
}

// The text is split at every "|" and taken as description/pattern pairs. A pair whose
// description is only patterns carries on the filter before it. pairToFilter maps each
// 1-based pair to its filter's 0-based index.
QList<Filter> parse(const QString &filter, QList<int> *pairToFilter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<Filter> filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString &pattern = parts[i + 1];
        if (description.isEmpty() && pattern.isEmpty()) {
            pairToFilter->append(-1);
            continue;
        }
        if (!filters.isEmpty() && isPatternList(description)) {
            addPatterns(filters.last().patterns, patternsIn(description) + patternsIn(pattern));
        } else {
            filters.append({description, patternsIn(pattern)});
        }
        pairToFilter->append(int(filters.size()) - 1);
    }
    return filters;
}

// "description (patterns)", the form Qt filters by; patterns the description already shows
// in parentheses are not shown twice.
QString qtFilter(const Filter &f)
{
    static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
    QString description = f.description;
    QStringList patterns = f.patterns;
    const QRegularExpressionMatch shown = shownPatterns.match(description);
    if (shown.hasMatch() && isPatternList(shown.captured(1))) {
        if (patterns.isEmpty())
            patterns = patternsIn(shown.captured(1));
        description.truncate(shown.capturedStart());
    }
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return description.trimmed() + QLatin1String(" (") + patterns.join(QLatin1Char(' '))
           + QLatin1Char(')');
}

} // namespace

QStringList nameFilters(const QString &filter)
{
    QList<int> pairToFilter;
    QStringList result;
    for (const Filter &f : parse(filter, &pairToFilter))
        result << qtFilter(f);
    return result;
}

QString selectedNameFilter(const QString &filter, int filterIndex)
{
    QList<int> pairToFilter;
    const QList<Filter> filters = parse(filter, &pairToFilter);
    if (filterIndex < 1 || filterIndex > pairToFilter.size() || pairToFilter[filterIndex - 1] < 0)
        return {};
    return qtFilter(filters[pairToFilter[filterIndex - 1]]);
}

std::optional<QString> browseForFolder(QWidget *owner, const QString &title, const QString &start)
{
    if (g_answerer)
        return g_answerer(QStringLiteral("folder"), title, start);
    const QString dir = QFileDialog::getExistingDirectory(owner, title, start);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QString> saveFileName(QWidget *owner, const QString &filter, int filterIndex,
                                    const QString &current)
{
    const QString selected = selectedNameFilter(filter, filterIndex);
    const QFileInfo currentFile(current);
    const QString folder = current.isEmpty() ? QString() : currentFile.absolutePath();
    if (g_answerer)
        return g_answerer(QStringLiteral("save"), selected, folder);
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters(filter));
    if (!selected.isEmpty())
        dialog.selectNameFilter(selected);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
        dialog.selectFile(currentFile.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void setAnswerer(Answerer answerer)
{
    g_answerer = std::move(answerer);
}

} // namespace dialogs
