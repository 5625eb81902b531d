// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

// A timer with the original Interval meaning: 0 stops it, any other value (re)starts it
// with that period. Precise, since a run's length is counted in ticks.
class VbTimer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VbTimer)

public:
    explicit VbTimer(QObject *parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int ms);

signals:
    void Timer();

private:
    QTimer m_timer;
    int m_interval = 0;
};
