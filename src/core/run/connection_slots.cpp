// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/connection_slots.h"

#include "platform/inet.h"

ConnectionSlots::ConnectionSlots(QObject *owner)
{
    for (int n = First; n <= Last; ++n) {
        m_slots(n).inet = new Inet(owner);
        m_slots(n).inet->setObjectName(QStringLiteral("Inet1(%1)").arg(n));
    }
}

int ConnectionSlots::firstFree() const
{
    for (int n = First; n <= Last; ++n) {
        if (!SlotBusy(n))
            return n;
    }
    return 0;
}

int ConnectionSlots::busyCount() const
{
    int busy = 0;
    for (int n = First; n <= Last; ++n)
        busy += SlotBusy(n);
    return busy;
}

void ConnectionSlots::occupy(int n, int entry)
{
    m_slots(n).entry = entry;
    m_slots(n).started.start();
}

void ConnectionSlots::release(int n)
{
    m_slots(n).entry = 0;
    m_slots(n).started.invalidate();
}

bool ConnectionSlots::expired(int n, qint64 limitMs) const
{
    return SlotBusy(n) && m_slots(n).started.elapsed() > limitMs;
}
