#include "app/frm_vekmain.h"

#include "engine/engine_texts.h"
#include "engine/frm_VEKDL.h"
#include "engine/page_store.h"
#include "platform/clock.h"
#include "platform/inet.h"

#include <QLineEdit>

namespace {

// The whole body is taken in one read of at most this many bytes.
constexpr qint32 ChunkSize = 1024000;
constexpr int ByteArray = 1;

QString Named(const QString &status, const QString &name)
{
    return status + QLatin1String(" (") + name + QLatin1Char(')');
}

QString Line(const QString &name, const QString &text, const QString &detail = {})
{
    QString line = EngineText::CrLf + name + text + vclock::Time() + QLatin1Char(')');
    if (!detail.isEmpty())
        line += QLatin1Char(' ') + detail;
    return line;
}

} // namespace

void frm_vekmain::Inet1_StateChanged(int Index, short State)
{
    // A freed slot's late event, or a slot not in use.
    if (!SlotEntry.contains(Index) || SlotEntry(Index) == 0)
        return;
    const int e = SlotEntry(Index);
    const QString name = Entries.EntryName(e);
    frm_VEKDL *dialog = Progress();

    switch (State) {
    case Inet::icResolvingHost:
        dialog->SetStatus(Index, Named(EngineText::Resolving, name));
        return;
    case Inet::icRequesting:
        dialog->SetStatus(Index, Named(EngineText::Requesting, name));
        return;
    case Inet::icReceivingResponse:
        dialog->SetStatus(Index, Named(EngineText::Receiving, name));
        return;
    case Inet::icError:
        // A failed transfer sends nothing more: its slot is given back now instead of at the
        // time-out. The status line keeps its last state, as a timed-out slot's does.
        dialog->AppendLog(Line(name, EngineText::EntryFailed, Inet1(Index)->ErrorText()));
        SlotBusy(Index) = 0;
        SlotEntry(Index) = 0;
        return;
    case Inet::icResponseCompleted:
        break;
    default:
        return;
    }

    const QByteArray body = Inet1(Index)->GetChunk(ChunkSize, ByteArray);
    // The body is ours now; the transfer object need not keep its copy until the next start.
    Inet1(Index)->Cancel();
    if (pagestore::IsSafeName(name)) {
        QString detail;
        switch (pagestore::StorePage(DirName->text(), name, vclock::now().date(), body, &detail)) {
        case pagestore::Failure::None:
            dialog->AppendLog(Line(name, EngineText::EntryEnd));
            break;
        case pagestore::Failure::Folder:
            dialog->AppendLog(Line(name, EngineText::FolderFailed, detail));
            break;
        case pagestore::Failure::Copy:
            dialog->AppendLog(Line(name, EngineText::CopyFailed, detail));
            break;
        case pagestore::Failure::Write:
            dialog->AppendLog(Line(name, EngineText::WriteFailed, detail));
            break;
        }
    } else {
        // The tick never starts such an entry; a name changed during the run still must not
        // become a path.
        dialog->AppendLog(Line(name, EngineText::BadName));
    }
    dialog->SetStatus(Index, EngineText::Idle);
    SlotBusy(Index) = 0;
    SlotEntry(Index) = 0;
}
