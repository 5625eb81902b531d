// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/run_log.h"

#include "core/run/run_texts.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

RunLog::RunLog(QObject *parent)
    : QObject(parent)
{
}

void RunLog::append(const QString &text)
{
    m_text += text;
    emit appended(text);
}

void RunLog::setText(const QString &text)
{
    m_text = text;
    emit textReset(text);
}

RunLog::Seed RunLog::seedFromFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return Seed::NoFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Seed::Unreadable;
    const QString text = runlog::DecodeFile(file.readAll());
    if (text.isEmpty())
        return Seed::NoFile;
    if (!runlog::IsRecord(text))
        return Seed::Foreign;
    setText(runlog::FirstField(text));
    return Seed::Seeded;
}

bool RunLog::writeFile(const QString &path, const QString &settingsPath, QString *error) const
{
    const QFileInfo target(path);
    const QFileInfo settings(settingsPath);
    const bool isSettings = target.absoluteFilePath() == settings.absoluteFilePath()
                            || (target.exists() && target.canonicalFilePath() == settings.canonicalFilePath());
    QString refusal;
    if (isSettings) {
        refusal = RunText::LogIsSettings;
    } else if (target.exists() && !target.isFile()) {
        refusal = RunText::LogNotAFile;
    } else if (target.exists() && target.size() > 0) {
        QFile current(path);
        if (current.open(QIODevice::ReadOnly) && !runlog::IsRecord(runlog::DecodeFile(current.read(64))))
            refusal = RunText::LogNotALog;
    }
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    return AtomicFile::writeWhole(path, runlog::EncodeRecord(m_text), error);
}

namespace logline {
namespace {

QString stamp()
{
    return vclock::Date() + QLatin1Char(' ') + vclock::Time();
}

QString entryLine(const QString &name, const QString &text, const QString &detail = {})
{
    QString line = RunText::CrLf + name + text + vclock::Time() + QLatin1Char(')');
    if (!detail.isEmpty())
        line += QLatin1Char(' ') + detail;
    return line;
}

} // namespace

QString RunStart()
{
    return RunText::CrLf + RunText::RunStart + stamp() + RunText::RunClose + RunText::CrLf;
}

QString RunEnd()
{
    return RunText::CrLf + RunText::CrLf + RunText::RunEnd + stamp() + RunText::RunClose;
}

QString RunStop()
{
    return RunText::CrLf + RunText::RunStop + vclock::Time() + RunText::RunClose;
}

QString RunFailed()
{
    return RunText::CrLf + RunText::CrLf + RunText::RunFailed + stamp() + RunText::RunClose;
}

QString EntryStart(const QString &name)
{
    return entryLine(name, RunText::EntryStart);
}

QString EntryEnd(const QString &name)
{
    return entryLine(name, RunText::EntryEnd);
}

QString EntryTimedOut(const QString &name)
{
    return entryLine(name, RunText::EntryTimedOut);
}

QString EntryFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::EntryFailed, detail);
}

QString BadName(const QString &name)
{
    return entryLine(name, RunText::BadName);
}

QString FolderFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::FolderFailed, detail);
}

QString CopyFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::CopyFailed, detail);
}

QString WriteFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::WriteFailed, detail);
}

QString PageCut(const QString &name, qint64 bytes)
{
    return entryLine(name, RunText::PageCut.arg(QLocale(QLocale::English).toString(bytes)));
}

QString PageUnchanged(const QString &name, const QString &status)
{
    return entryLine(name, RunText::PageUnchanged, status);
}

QString InfoFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::InfoFailed, detail);
}

QString CopiesPruned(const QString &name, int count)
{
    return entryLine(name, RunText::CopiesPruned.arg(count));
}

QString PruneFailed(const QString &name, const QString &detail)
{
    return entryLine(name, RunText::PruneFailed, detail);
}

QString BadTimeout(const QString &typed, int seconds)
{
    return RunText::CrLf + RunText::BadTimeout.arg(typed).arg(seconds);
}

} // namespace logline

namespace runlog {
namespace {
constexpr char Utf8Mark[] = "\xEF\xBB\xBF";
}

QByteArray EncodeRecord(const QString &log)
{
    QString quoted = log;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const QString record = QLatin1Char('"') + quoted + QLatin1String("\"\r\n");
    // Kept byte for byte as ever when CP932 holds it; else nothing is turned into "?".
    if (codepage::fits(record))
        return codepage::toAnsi(record);
    return QByteArray(Utf8Mark) + record.toUtf8();
}

QString DecodeFile(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Mark))
        return QString::fromUtf8(bytes.sliced(qstrlen(Utf8Mark)));
    return codepage::fromAnsi(bytes);
}

bool IsRecord(const QString &text)
{
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t')
            return c == u'"';
    }
    return false;
}

QString FirstField(const QString &text)
{
    qsizetype p = 0;
    while (p < text.size() && (text.at(p) == u' ' || text.at(p) == u'\t'))
        ++p;
    if (p < text.size() && text.at(p) == u'"') {
        QString field;
        for (++p; p < text.size(); ++p) {
            if (text.at(p) != u'"') {
                field += text.at(p);
                continue;
            }
            if (p + 1 < text.size() && text.at(p + 1) == u'"') {
                field += u'"';
                ++p;
                continue;
            }
            break;
        }
        return field;
    }
    qsizetype end = p;
    while (end < text.size() && text.at(end) != u',' && text.at(end) != u'\r'
           && text.at(end) != u'\n')
        ++end;
    return text.mid(p, end - p).trimmed();
}

} // namespace runlog
