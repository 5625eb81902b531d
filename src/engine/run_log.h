#pragma once

#include <QByteArray>
#include <QString>

// The log file: the whole run log as one double-quoted record in CP932, quotes inside doubled.
namespace runlog {

// The record as written: a quote, the log with each quote doubled, a quote, CR LF.
QByteArray EncodeRecord(const QString &log);
// The first field of a record: a quoted field without its quotes and with "" read as one
// quote (it may span lines), or else the text up to the first comma or line end.
QString FirstField(const QString &text);

// Replaces the file atomically. False, with the reason, when it could not be written.
bool WriteLogFile(const QString &path, const QString &log, QString *error);
// The first field of the file; false when it cannot be read.
bool ReadLogFile(const QString &path, QString *log);

} // namespace runlog
