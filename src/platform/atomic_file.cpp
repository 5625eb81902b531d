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

bool AtomicFile::write(const char *data, qint64 size)
{
    if (!ensureOpen())
        return false;
    if (m_file.write(data, size) != size)
        m_failed = true;
    return !m_failed;
}

bool AtomicFile::write(const QByteArray &bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool AtomicFile::commit()
{
    // An empty file is still a file.
    if (!ensureOpen()) {
        m_file.cancelWriting();
        return false;
    }
    if (!m_file.commit())
        m_failed = true;
    return !m_failed;
}

QString AtomicFile::errorString() const
{
    return m_file.errorString();
}

bool AtomicFile::writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    AtomicFile file(path);
    if (file.write(bytes) && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
