// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/run_lock.h"

namespace {

const QString LockName = QStringLiteral("/vekanto.lock");

} // namespace

RunLock::RunLock(const QString &dataHome)
    : m_file(dataHome + LockName)
{
    // A full run lasts minutes; only a dead holder makes the lock stale, never its age.
    m_file.setStaleLockTime(0);
}

bool RunLock::tryLock(QString *holder)
{
    if (m_locked || m_file.tryLock(0)) {
        m_locked = true;
        return true;
    }
    // A folder that takes no lock file (read-only, full) takes it from no other run either:
    // the run goes on without one, as every run did before there was a lock.
    if (m_file.error() != QLockFile::LockFailedError)
        return true;
    if (holder)
        *holder = this->holder();
    return false;
}

void RunLock::unlock()
{
    if (m_locked)
        m_file.unlock();
    m_locked = false;
}

QString RunLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (!m_file.getLockInfo(&pid, &host, &app))
        return {};
    return QStringLiteral("%1 (PID %2)").arg(app.isEmpty() ? QStringLiteral("?") : app).arg(pid);
}
