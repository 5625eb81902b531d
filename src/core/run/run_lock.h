// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

// One run at a time for one user: a lock file in the program's folder, held by a clicked or an
// unattended run from its start until its log file has been written, so two runs never store
// into the same folders or write the log file over each other. A lock left by a process that
// was killed is taken over.
class RunLock
{
public:
    explicit RunLock(const QString &dataHome);
    Q_DISABLE_COPY_MOVE(RunLock)

    // True when this lock holds it now (also when it already did), or when the folder takes
    // no lock file at all; false while another run holds it, with who holds it as
    // "vekanto (PID 1234)" (empty when nobody is known to).
    bool tryLock(QString *holder = nullptr);
    void unlock();
    // True while this lock holds it.
    bool isHeld() const { return m_locked; }

private:
    QString holder() const;

    QLockFile m_file;
    bool m_locked = false;
};
