#include "app/frm_vekmain.h"

#include "engine/engine_texts.h"
#include "engine/frm_VEKDL.h"
#include "engine/page_store.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/inet.h"
#include "platform/msgbox.h"
#include "single/single_texts.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>

namespace {

QString RunLine(const QString &head)
{
    return head + vclock::Date() + QLatin1Char(' ') + vclock::Time() + EngineText::RunClose;
}

// The page as text in the code page, ending in CR LF, replacing the old file whole. The
// entry's folder is made when missing, as a full run makes it.
bool WritePage(const QString &folder, const QString &page, const QString &text, QString *error)
{
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
        *error = folder;
        return false;
    }
    QSaveFile file(page);
    const QByteArray bytes = codepage::toAnsi(text + EngineText::CrLf);
    // Unbuffered: on a full disk a buffered write still reports every byte and commit()
    // then renames a cut file over the old one; only the write itself tells.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size()
        && file.commit())
        return true;
    *error = page + QLatin1String(": ") + file.errorString();
    return false;
}

} // namespace

void frm_vekmain::Command4_Click()
{
    const int n = SelectedEntry();
    if (!EntryTable::isValid(n))
        return;
    if (Entries.EntryAddress(n).isEmpty())
        return;
    const QString name = Entries.EntryName(n);
    if (!pagestore::IsSafeName(name)) {
        msgbox::MsgBox(this, SingleText::BadName.arg(name));
        return;
    }

    frm_VEKDL *dialog = BeginProgress();
    Text1(1)->clear();
    dialog->AppendLog(EngineText::CrLf + name + EngineText::EntryStart + vclock::Time()
                      + QLatin1Char(')'));
    dialog->SetStatus(1, EngineText::Connecting + QLatin1String(" (") + name + QLatin1Char(')'));

    const QString fetchAddress = Entries.EntryAddress(n) + ExpandRule(Entries.EntryRule(n));
    const QString pageText = Inet1(1)->OpenURL(fetchAddress);
    const QString checkAddress = Entries.EntryAddress(n) + ExpandRule(Entries.EntryRule(n));
    bool ok = !Inet1(1)->Failed()
              && checkAddress.compare(Inet1(1)->URL(), Qt::CaseInsensitive) == 0;

    if (ok) {
        const QString folder = DirName->text() + QLatin1Char('/') + name;
        QString error;
        ok = WritePage(folder, folder + QLatin1String("/vek.htm"), pageText, &error);
        if (ok)
            dialog->SetStatus(1, EngineText::Idle);
        else
            dialog->AppendLog(EngineText::CrLf + name + EngineText::WriteFailed + vclock::Time()
                              + QLatin1String(") ") + error);
    }
    if (!ok) {
        dialog->AppendLog(EngineText::CrLf + EngineText::CrLf + RunLine(SingleText::RunFailed));
        EndProgress(SingleText::FailedBox);
    }

    dialog->AppendLog(EngineText::CrLf + EngineText::CrLf + RunLine(EngineText::RunEnd));
    EndProgress(EngineText::Finished);
}
