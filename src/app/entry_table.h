#pragma once

#include "platform/widget_array.h"

#include <QString>

// The download list in memory: five parallel columns addressed by entry number 1..100.
// EntryParent holds the parent's entry number (0 = top level); in a list without holes that
// is also the parent's node position, which is what stored files carry.
class EntryTable
{
public:
    static constexpr int Slots = 100;
    using TextColumn = IndexedArray<QString, 1, Slots>;
    using NumberColumn = IndexedArray<qint16, 1, Slots>;

    static bool isValid(int n) { return n >= 1 && n <= Slots; }
    // The marker a deleted entry keeps until the next save.
    static bool isDeletedName(const QString &name);

    bool isEmpty(int n) const { return EntryName(n).isEmpty(); }
    bool isDeleted(int n) const { return isDeletedName(EntryName(n)); }
    // Empty or deleted: a hole that saving closes.
    bool isFree(int n) const { return isEmpty(n) || isDeleted(n); }
    bool isOccupied(int n) const { return !isFree(n); }

    void clear(int n);
    void markDeleted(int n);
    // Copies entry from into entry to and clears from; references follow the move.
    void moveDown(int from, int to);
    // Exchanges two entries; references follow both.
    void swap(int a, int b);
    // Every parent reference to entry from now names entry to (0 drops it).
    void retarget(int from, int to);

    TextColumn EntryName;
    TextColumn EntryAddress;
    TextColumn EntryRule;
    NumberColumn EntryParent;
    NumberColumn EntryNname;

    qint32 EntryCount = 0;
    qint32 EntryLimit = 0;
};
