// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atomic_file.h"

AtomicFile::AtomicFile(const QString &path)
    : m_file(path)
{
}

// Unbuffered: on a full disk a buffered write still reports every byte, and commit() then
// renames a cut file over the old one; only the write itself tells.
bool AtomicFile::ensureOpen()
{
    if (m_failed)
        return false;
    if (!m_file.isOpen() && !m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        m_failed = true;
    return !m_failed;
}

bool AtomicFile::result(QString *error) const
{
    if (m_failed && error)
        *error = m_file.errorString();
    return !m_failed;
}

bool AtomicFile::write(const char *data, qint64 size, QString *error)
{
    if (ensureOpen() && m_file.write(data, size) != size)
        m_failed = true;
    return result(error);
}

bool AtomicFile::write(const QByteArray &bytes, QString *error)
{
    return write(bytes.constData(), bytes.size(), error);
}

bool AtomicFile::commit(QString *error)
{
    // An empty file is still a file.
    if (!ensureOpen()) {
        const bool written = result(error);
        m_file.cancelWriting();
        return written;
    }
    if (!m_file.commit())
        m_failed = true;
    return result(error);
}

bool AtomicFile::writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    AtomicFile file(path);
    return file.write(bytes, error) && file.commit(error);
}
