// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/list/entry_name.h"

#include <algorithm>

namespace entryname {

QString rtrim(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    const QString right = rtrim(text);
    while (begin < right.size() && right.at(begin) == u' ')
        ++begin;
    return right.sliced(begin);
}

bool isDeletedName(const QString &name)
{
    return name.compare(QLatin1String("nl"), Qt::CaseInsensitive) == 0;
}

bool isSafeName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/')
           && !name.contains(u'\\');
}

bool sameFolder(const QString &a, const QString &b)
{
    return trimBlanks(a).compare(trimBlanks(b), Qt::CaseInsensitive) == 0;
}

QString storedName(const QString &typed)
{
    return trimBlanks(typed);
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

} // namespace entryname
