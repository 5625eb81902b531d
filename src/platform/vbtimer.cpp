// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vbtimer.h"

VbTimer::VbTimer(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &VbTimer::Timer);
}

void VbTimer::setInterval(int ms)
{
    m_interval = ms;
    if (ms <= 0) {
        m_interval = 0;
        m_timer.stop();
    } else {
        m_timer.start(ms);
    }
}
