// SPDX-License-Identifier: GPL-3.0-or-later
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
    // A folder name holds at most this many bytes in UTF-8.
    constexpr qsizetype MaxFolderNameBytes = 255;
    using entryname::hasControlCharacters;
    if (hasControlCharacters(name) || hasControlCharacters(address) || hasControlCharacters(rule))
        return Refusal::ControlCharacters;
    // Judged on the stored form, which the next load reads back.
    const QString stored = entryname::storedName(name);
    if (!entryname::isSafeName(stored))
        return Refusal::NotFolderName;
    if (entryname::isDeletedName(stored))
        return Refusal::DeletedMarker;
    if (stored.toUtf8().size() > MaxFolderNameBytes)
        return Refusal::TooLong;
    return folderOwner(name, self) != 0 ? Refusal::SharedFolder : Refusal::None;
}

EntryTable::Edit EntryTable::add(const QString &name, const QString &address, const QString &rule,
                                 qint16 nname, std::optional<int> parent)
{
    const int n = EntryCount + 1;
    // What was typed is judged first, as the editor judged it before anything else.
    const Refusal refusal = [&] {
        if (const Refusal values = valuesRefusal(name, address, rule, 0); values != Refusal::None)
            return values;
        // Entry 100 is never saved: taking it would lose what the user typed at the next save.
        if (n > Kept)
            return Refusal::Full;
        if (!isEmpty(n))
            return Refusal::SlotInUse;
        if (parent && !(isValid(*parent) && isOccupied(*parent)))
            return Refusal::NoParent;
        return Refusal::None;
    }();
    if (refusal != Refusal::None)
        return {n, refusal};
    EntryCount = n;
    EntryName(n) = entryname::storedName(name);
    EntryParent(n) = qint16(parent.value_or(0));
    EntryAddress(n) = entryname::rtrim(address);
    EntryRule(n) = rule;
    EntryNname(n) = nname;
    return {n};
}

EntryTable::Refusal EntryTable::changeRefusal(int n, const QString &name, const QString &address,
                                              const QString &rule) const
{
    const Refusal refusal = valuesRefusal(name, address, rule, n);
    if (refusal == Refusal::None && (!isValid(n) || isFree(n)))
        return Refusal::Gone;
    return refusal;
}

EntryTable::Edit EntryTable::change(int n, const QString &name, const QString &address,
                                    const QString &rule)
{
    if (const Refusal refusal = changeRefusal(n, name, address, rule); refusal != Refusal::None)
        return {n, refusal};
    EntryName(n) = entryname::storedName(name);
    EntryAddress(n) = entryname::rtrim(address);
    EntryRule(n) = rule;
    return {n};
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

void EntryTable::remove(int n)
{
    // Found before any is deleted: deleting clears the references that lead to them.
    for (const int below : descendants(n))
        markDeleted(below);
    markDeleted(n);
}

QList<int> EntryTable::descendants(int n) const
{
    QList<bool> below(Slots + 1, false);
    if (!isValid(n))
        return {};
    below[n] = true;
    // Parents come before their children after every load and add; a repeat catches any that
    // do not.
    for (bool grew = true; grew;) {
        grew = false;
        for (int m = 1; m <= Slots; ++m) {
            const int parent = EntryParent(m);
            if (!below[m] && isOccupied(m) && isValid(parent) && below[parent]) {
                below[m] = true;
                grew = true;
            }
        }
    }
    QList<int> found;
    for (int m = 1; m <= Slots; ++m) {
        if (m != n && below[m])
            found << m;
    }
    return found;
}

// References to a removed entry are dropped; references to a moved entry move with it.
int EntryTable::compact(int followed)
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
    return followed;
}

int EntryTable::sort(int followed)
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
    return followed;
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
