#include "core/list/entry_table.h"

#include "core/list/entry_name.h"

bool EntryTable::isDeleted(int n) const
{
    return entryname::isDeletedName(EntryName(n));
}

int EntryTable::folderOwner(const QString &name, int except) const
{
    for (int n = 1; n <= Kept; ++n) {
        if (n != except && !isEmpty(n) && entryname::sameFolder(EntryName(n), name))
            return n;
    }
    return 0;
}

EntryTable::Refusal EntryTable::valuesRefusal(const QString &name, const QString &address,
                                              const QString &rule, int self) const
{
    using entryname::hasControlCharacters;
    if (hasControlCharacters(name) || hasControlCharacters(address) || hasControlCharacters(rule))
        return Refusal::ControlCharacters;
    if (entryname::check(name) != entryname::Problem::None)
        return Refusal::BadName;
    return folderOwner(name, self) != 0 ? Refusal::SharedFolder : Refusal::None;
}

int EntryTable::add(const QString &name, const QString &address, const QString &rule,
                    qint16 nname, std::optional<int> parent, Refusal *refusal)
{
    const int n = EntryCount + 1;
    *refusal = Refusal::None;
    // Entry 100 is never saved: taking it would lose what the user typed at the next save.
    if (n > Kept)
        *refusal = Refusal::Full;
    else if (!isEmpty(n))
        *refusal = Refusal::SlotInUse;
    else if (parent && !(isValid(*parent) && isOccupied(*parent)))
        *refusal = Refusal::NoParent;
    else
        *refusal = valuesRefusal(name, address, rule, 0);
    if (*refusal != Refusal::None)
        return 0;
    EntryCount = n;
    EntryName(n) = entryname::storedName(name);
    EntryParent(n) = qint16(parent.value_or(0));
    EntryAddress(n) = address;
    EntryRule(n) = rule;
    EntryNname(n) = nname;
    return n;
}

bool EntryTable::change(int n, const QString &name, const QString &address, const QString &rule,
                        Refusal *refusal)
{
    *refusal = !isValid(n) || isFree(n) ? Refusal::Gone : valuesRefusal(name, address, rule, n);
    if (*refusal != Refusal::None)
        return false;
    EntryName(n) = entryname::storedName(name);
    EntryAddress(n) = entryname::rtrim(address);
    EntryRule(n) = rule;
    return true;
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
    clear(n);
    EntryName(n) = QStringLiteral("nl");
}

// References to a removed entry are dropped; references to a moved entry move with it.
void EntryTable::compact(int &followed)
{
    for (int n = 1; n <= Kept; ++n) {
        if (isFree(n))
            retarget(n, 0);
    }
    for (int n = 1; n <= Kept; ++n) {
        if (isFree(n)) {
            moveDown(n + 1, n);
            if (followed == n + 1)
                followed = n;
        }
    }
}

void EntryTable::sort(int &followed)
{
    for (int i = 1; i <= Kept; ++i) {
        for (int j = 1; j <= Kept; ++j) {
            if (isFree(i) && EntryParent(i) > EntryParent(j)) {
                swap(i, j);
                if (followed == i || followed == j)
                    followed = followed == i ? j : i;
            }
        }
    }
}

void EntryTable::settleParents(QStringList *placedAtTop)
{
    EntryCount = 0;
    for (int n = 1; n <= Kept; ++n) {
        if (isFree(n))
            continue;
        // Nodes are added in entry order, so only an earlier entry has a node to hang under.
        const int parent = EntryParent(n);
        if (parent != 0 && !(parent >= 1 && parent < n && isOccupied(parent))) {
            EntryParent(n) = 0;
            if (placedAtTop)
                placedAtTop->append(EntryName(n));
        }
        // Counting up to the last entry, not the entries seen, keeps a later add from
        // landing on an entry behind a hole.
        EntryCount = n;
    }
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
