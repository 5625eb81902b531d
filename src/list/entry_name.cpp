#include "list/entry_name.h"

namespace entryname {

QString rtrim(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

bool isFolderName(const QString &name)
{
    const QString stored = rtrim(name);
    if (stored.isEmpty() || stored == QLatin1String(".") || stored == QLatin1String(".."))
        return false;
    return !stored.contains(QLatin1Char('/')) && !stored.contains(QLatin1Char('\\'));
}

} // namespace entryname
