// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/indexed_array.h"

#include <QElapsedTimer>
#include <QtGlobal>

class Inet;
class QObject;

// The ten connections of a run, numbered 1 to 10: each slot's transfer object and whether,
// for which entry and since when it is busy. Every way of freeing a slot frees it alike.
class ConnectionSlots
{
public:
    static constexpr int First = 1;
    static constexpr int Last = 10;

    // The transfer objects are children of owner, named Inet1(1) .. Inet1(10).
    explicit ConnectionSlots(QObject *owner);
    Q_DISABLE_COPY_MOVE(ConnectionSlots)

    static bool contains(int n) { return n >= First && n <= Last; }

    Inet *Inet1(int n) const { return m_slots(n).inet; }
    // 1 while a transfer is under way, else 0.
    qint32 SlotBusy(int n) const { return m_slots(n).entry != 0 ? 1 : 0; }
    // The entry being fetched, 0 when none.
    qint32 SlotEntry(int n) const { return m_slots(n).entry; }

    // The lowest free slot, 0 when all ten are busy.
    int firstFree() const;
    int busyCount() const;
    void occupy(int n, int entry);
    void release(int n);
    // Busy for longer than limitMs. Measured on a monotonic clock: moving the wall clock (or
    // midnight) neither keeps a hung transfer alive nor cuts a healthy one short.
    bool expired(int n, qint64 limitMs) const;

private:
    struct Slot {
        Inet *inet = nullptr;
        qint32 entry = 0;
        QElapsedTimer started;
    };
    IndexedArray<Slot, First, Last> m_slots;
};
