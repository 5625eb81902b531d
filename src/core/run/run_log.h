// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The run log: every run's lines, kept for the whole program run and carried across program
// runs by the log file (the whole log as one double-quoted record in CP932, quotes doubled).
class RunLog : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunLog)

public:
    explicit RunLog(QObject *parent = nullptr);

    // The log exactly as logged: lines joined by CR LF.
    QString text() const { return m_text; }
    void append(const QString &text);
    void setText(const QString &text);

    enum class Seed { Seeded, NoFile, Unreadable, Foreign };
    // Carries on from the log file: its first field becomes the log. A missing file changes
    // nothing; a file that cannot be read, or that holds something other than a log (a
    // settings file picked by mistake), is not taken.
    Seed seedFromFile(const QString &path);
    // Replaces the log file atomically with the whole log. Only a path not there yet, an empty
    // file or an earlier log is written: never the settings file, a device, a FIFO or a file
    // that holds something else. False, with the reason, when not written.
    bool writeFile(const QString &path, const QString &settingsPath, QString *error) const;

signals:
    void appended(const QString &text);
    void textReset(const QString &text);

private:
    QString m_text;
};

// Every line the log carries, built here alone; each starts with its line break(s).
namespace logline {

QString RunStart();
QString RunEnd();
QString RunStop();
QString RunFailed();
QString EntryStart(const QString &name);
QString EntryEnd(const QString &name);
QString EntryTimedOut(const QString &name);
// name, the failure's text, the time, and the reason after a blank where there is one.
QString EntryFailed(const QString &name, const QString &detail);
QString BadName(const QString &name);
QString FolderFailed(const QString &name, const QString &detail);
QString CopyFailed(const QString &name, const QString &detail);
QString WriteFailed(const QString &name, const QString &detail);
QString PageCut(const QString &name, qint64 bytes);
// The page was the one stored already; `status` ("304 Not Modified") when the server said so.
QString PageUnchanged(const QString &name, const QString &status);
QString InfoFailed(const QString &name, const QString &detail);
QString CopiesPruned(const QString &name, int count);
QString PruneFailed(const QString &name, const QString &detail);
QString BadTimeout(const QString &typed, int seconds);

} // namespace logline

// The log file's record.
namespace runlog {

// The record as written: a quote, the log with each quote doubled, a quote, CR LF; in CP932,
// or in UTF-8 behind a byte-order mark when the log holds a character CP932 has not.
QByteArray EncodeRecord(const QString &log);
// The text of a log file's bytes: UTF-8 behind a byte-order mark, CP932 otherwise.
QString DecodeFile(const QByteArray &bytes);
// Whether a file's text reads as a log record: its first field is in double quotes.
bool IsRecord(const QString &text);
// The first field of a record: a quoted field without its quotes and with "" read as one
// quote (it may span lines), or else the text up to the first comma or line end.
QString FirstField(const QString &text);

} // namespace runlog
