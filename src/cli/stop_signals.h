// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <csignal>

class QSocketNotifier;

// SIGINT and SIGTERM turned into a Qt signal on the event loop: the handler only writes the
// signal's number into a pipe, and everything else happens when the loop reads it. The
// earlier handlers come back when this object goes.
class StopSignals : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopSignals)

public:
    StopSignals();
    ~StopSignals() override;

signals:
    // "SIGINT" or "SIGTERM".
    void received(const QString &name);

private:
    static void handler(int signal);
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};
