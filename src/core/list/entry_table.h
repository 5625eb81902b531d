// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/indexed_array.h"

#include <QString>
#include <QStringList>

#include <optional>

// The download list in memory: five parallel columns addressed by entry number 1..100.
// EntryParent holds the parent's entry number (0 = top level); in a list without holes that
// is also the parent's node position, which is what stored files carry.
class EntryTable
{
public:
    static constexpr int Slots = 100;
    // Entries 1..Kept are loaded and saved; entry 100 never is.
    static constexpr int Kept = Slots - 1;
    using TextColumn = IndexedArray<QString, 1, Slots>;
    using NumberColumn = IndexedArray<qint16, 1, Slots>;

    // Why an add or a change was refused; the windows put each in words.
    enum class Refusal {
        None,
        // No entry left to add: the last one the settings file keeps is taken.
        Full,
        // The next entry's row still holds an entry.
        SlotInUse,
        // The parent named was deleted meanwhile.
        NoParent,
        // The entry to change was deleted meanwhile.
        Gone,
        // A line break or tab would break the settings file's line.
        ControlCharacters,
        // Not one folder inside the data folder: blanks only, a "/" or "\" in it, "." or "..".
        NotFolderName,
        // The marker of a deleted entry: the entry would vanish at the next save.
        DeletedMarker,
        // Longer than a folder name may be.
        TooLong,
        // Another entry has that folder already.
        SharedFolder,
    };
    // What an add or a change did: the entry it went to (or would have gone to), or why not.
    struct Edit {
        int entry = 0;
        Refusal refusal = Refusal::None;
        bool ok() const { return refusal == Refusal::None; }
    };

    static bool isValid(int n) { return n >= 1 && n <= Slots; }

    bool isEmpty(int n) const { return EntryName(n).isEmpty(); }
    bool isDeleted(int n) const;
    // Empty or deleted: a hole that saving closes.
    bool isFree(int n) const { return isEmpty(n) || isDeleted(n); }
    bool isOccupied(int n) const { return !isFree(n); }

    // The entry among 1..Kept whose folder `name` would share, or 0. `except` is not counted.
    int folderOwner(const QString &name, int except = 0) const;

    // Adds entry EntryCount + 1 under the live entry `parent` (none: at the top level), the
    // name in its stored form and the address without trailing blanks, as change stores them. Values that cannot be stored, or a name whose folder another
    // entry has, are refused first; nothing changes on a refusal.
    Edit add(const QString &name, const QString &address, const QString &rule, qint16 nname,
             std::optional<int> parent);
    // Overwrites name (in its stored form), address (without trailing blanks) and rule of a
    // live entry; its own name in another letter case is still its own folder.
    Edit change(int n, const QString &name, const QString &address, const QString &rule);
    // Why change would refuse these values, or None.
    Refusal changeRefusal(int n, const QString &name, const QString &address, const QString &rule) const;
    // Leaves the deleted marker in place until the next save.
    void markDeleted(int n);
    // Deletes entry n and every entry under it, at every level, as markDeleted does.
    void remove(int n);
    // The live entries under entry n, at every level, in entry order.
    QList<int> descendants(int n) const;
    void clear(int n);

    // Saving: one forward pass closes each run of free slots by one position, then free
    // slots are sorted by parent. Each returns the number that entry `followed` has after
    // the moves (0 when it was dropped).
    int compact(int followed);
    int sort(int followed);
    // After loading or saving: a parent reference that names no earlier live entry is dropped
    // (its name goes to placedAtTop), and EntryCount becomes the last live entry.
    void settleParents(QStringList *placedAtTop);

    // Copies entry from into entry to and clears from; references follow the move.
    void moveDown(int from, int to);
    // Exchanges two entries; references follow both.
    void swap(int a, int b);
    // Every parent reference to entry from now names entry to (0 drops it).
    void retarget(int from, int to);

    // Why these values could not be entry `self`'s (0: a new entry), or None.
    Refusal valuesRefusal(const QString &name, const QString &address, const QString &rule,
                          int self) const;

    TextColumn EntryName;
    TextColumn EntryAddress;
    TextColumn EntryRule;
    NumberColumn EntryParent;
    NumberColumn EntryNname;

    qint32 EntryCount = 0;
    qint32 EntryLimit = Slots;
};
