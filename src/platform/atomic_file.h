// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file replaced whole or not at all: written to a temporary file beside it and renamed over
// it by commit(). A crash, a full disk or a failed write leaves the old file as it was.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    Q_DISABLE_COPY_MOVE(AtomicFile)

    // Appends bytes; opens the temporary file on first use. False once anything failed, with
    // what went wrong as the system says it.
    bool write(const QByteArray &bytes, QString *error = nullptr);
    bool write(const char *data, qint64 size, QString *error = nullptr);
    // Puts the file in place; false (the old file kept) when anything before failed.
    bool commit(QString *error = nullptr);

    // The whole file in one go.
    static bool writeWhole(const QString &path, const QByteArray &bytes, QString *error);

private:
    bool ensureOpen();
    // False, with the system's reason, once anything failed.
    bool result(QString *error) const;

    QSaveFile m_file;
    bool m_failed = false;
};
