#include "app/entry_table.h"

bool EntryTable::isDeletedName(const QString &name)
{
    return name.compare(QLatin1String("nl"), Qt::CaseInsensitive) == 0;
}

void EntryTable::clear(int n)
{
    EntryName(n).clear();
    EntryAddress(n).clear();
    EntryRule(n).clear();
    EntryParent(n) = 0;
    EntryNname(n) = 0;
}

void EntryTable::markDeleted(int n)
{
    EntryName(n) = QStringLiteral("nl");
    EntryAddress(n).clear();
    EntryRule(n).clear();
    EntryParent(n) = 0;
    EntryNname(n) = 0;
}

void EntryTable::moveDown(int from, int to)
{
    EntryName(to) = EntryName(from);
    EntryAddress(to) = EntryAddress(from);
    EntryRule(to) = EntryRule(from);
    EntryParent(to) = EntryParent(from);
    EntryNname(to) = EntryNname(from);
    clear(from);
    retarget(from, to);
}

void EntryTable::swap(int a, int b)
{
    if (a == b)
        return;
    std::swap(EntryName(a), EntryName(b));
    std::swap(EntryAddress(a), EntryAddress(b));
    std::swap(EntryRule(a), EntryRule(b));
    std::swap(EntryParent(a), EntryParent(b));
    std::swap(EntryNname(a), EntryNname(b));
    for (int n = 1; n <= Slots; ++n) {
        if (EntryParent(n) == a)
            EntryParent(n) = qint16(b);
        else if (EntryParent(n) == b)
            EntryParent(n) = qint16(a);
    }
}

void EntryTable::retarget(int from, int to)
{
    for (int n = 1; n <= Slots; ++n) {
        if (EntryParent(n) == from)
            EntryParent(n) = qint16(to);
    }
}
