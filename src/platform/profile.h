#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The two Windows profile calls over an ini file in CP932, with Windows' semantics:
// case-insensitive sections and keys, first match wins, blanks trimmed, one pair of outer
// quotes removed, results truncated to the buffer, defaults for whatever is missing, and
// writes that keep every other line where it was.
//
// A Profile works on a cached copy of one file: it reads the file on first use and writes
// it back, atomically, on flush(). The free functions below open, use and flush one at once.
class Profile
{
public:
    explicit Profile(QString fileName);

    // Copies at most size-1 characters of the value (or of the default, with its trailing
    // blanks dropped) into returned and gives the count copied. size <= 0 copies nothing.
    qint32 GetPrivateProfileString(const QString &appName, const QString &keyName,
                                   const QString &defaultValue, QString &returned, qint32 size);

    // value == nullopt deletes the key; keyName == nullopt deletes the whole section.
    // Changes stay in the cache until flush(). Returns false when the file can't be read.
    bool WritePrivateProfileString(const QString &appName, const std::optional<QString> &keyName,
                                   const std::optional<QString> &value);

    // Replaces the file atomically when something changed. On failure the old file is
    // intact and errorString() says why.
    bool flush();
    QString errorString() const { return m_error; }

private:
    // implementation is free to add members
    bool ensureLoaded();

    QString m_fileName;
    bool m_loaded = false;
    bool m_dirty = false;
    QString m_error;
    QList<QString> m_lines; // decoded lines, without their line ends
};

// Single calls on the file, as Windows makes them: read, or read-modify-replace.
qint32 GetPrivateProfileStringA(const QString &appName, const QString &keyName,
                                const QString &defaultValue, QString &returned, qint32 size,
                                const QString &fileName);
bool WritePrivateProfileStringA(const QString &appName, const std::optional<QString> &keyName,
                                const std::optional<QString> &value, const QString &fileName);
