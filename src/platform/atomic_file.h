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

    // Appends bytes; opens the temporary file on first use. False once anything failed.
    bool write(const QByteArray &bytes);
    bool write(const char *data, qint64 size);
    // Puts the file in place; false (the old file kept) when anything before failed.
    bool commit();
    // What went wrong, as the system says it.
    QString errorString() const;

    // The whole file in one go.
    static bool writeWhole(const QString &path, const QByteArray &bytes, QString *error);

private:
    bool ensureOpen();

    QSaveFile m_file;
    bool m_failed = false;
};
