#include "core/run/run_log.h"

#include "core/run/run_texts.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"

#include <QFile>
#include <QFileInfo>

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

bool RunLog::seedFromFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    setText(runlog::FirstField(codepage::fromAnsi(file.readAll())));
    return true;
}

bool RunLog::writeFile(const QString &path, QString *error) const
{
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

QString BadTimeout(const QString &typed, int seconds)
{
    return RunText::CrLf + RunText::BadTimeout.arg(typed).arg(seconds);
}

} // namespace logline

namespace runlog {

QByteArray EncodeRecord(const QString &log)
{
    QString quoted = log;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return codepage::toAnsi(QLatin1Char('"') + quoted + QLatin1String("\"\r\n"));
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
