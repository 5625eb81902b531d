#include "engine/run_log.h"

#include "app/frm_vekmain.h"
#include "engine/frm_VEKDL.h"
#include "engine/engine_texts.h"
#include "platform/codepage.h"
#include "platform/msgbox.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>

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

bool WriteLogFile(const QString &path, const QString &log, QString *error)
{
    QSaveFile file(path);
    // Unbuffered: on a full disk a buffered write still reports every byte and commit()
    // then renames a cut file over the old one; only the write itself tells.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray record = EncodeRecord(log);
    if (file.write(record) != record.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool ReadLogFile(const QString &path, QString *log)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *log = FirstField(codepage::fromAnsi(file.readAll()));
    return true;
}

} // namespace runlog

// With logging on, the log carries on from where the last program run left it.
void frm_vekmain::SeedLogFromFile()
{
    if (!Check1->isChecked())
        return;
    const QString path = Text3->text();
    if (!QFileInfo(path).isFile())
        return;
    QString log;
    if (runlog::ReadLogFile(path, &log))
        Progress()->SetLogText(log);
    else
        // The main window is disabled while settings load; a box of its own would be too.
        msgbox::MsgBox(nullptr, EngineText::LogReadFailed.arg(path));
}
