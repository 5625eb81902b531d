#include "core/run/download_run.h"

#include "core/list/entry_name.h"
#include "core/run/address_rule.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "core/run/timeout_text.h"
#include "core/store/page_store.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/vbtimer.h"

#include <QCoreApplication>

namespace {

// Addresses shorter than this cannot be a full http address and are skipped silently.
constexpr int MinAddressLength = 8;
// The whole body is taken in one read of at most this many bytes.
constexpr qint32 ChunkSize = 1024000;
constexpr int ByteArray = 1;

QString named(const QString &status, const QString &name)
{
    return status + QLatin1String(" (") + name + QLatin1Char(')');
}

class TickGuard
{
public:
    explicit TickGuard(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~TickGuard() { m_flag = false; }
    Q_DISABLE_COPY_MOVE(TickGuard)

private:
    bool &m_flag;
};

} // namespace

DownloadRun::DownloadRun(RunLog &log, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_slots(this)
    , m_timer(new VbTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer, &VbTimer::Timer, this, &DownloadRun::Timer1_Timer);
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        connect(m_slots.Inet1(n), &Inet::StateChanged, this,
                [this, n](short state) { Inet1_StateChanged(n, state); });
    }
}

DownloadRun::~DownloadRun()
{
    abandon();
}

bool DownloadRun::Fetches(const EntryTable &entries, int c)
{
    // Rows past EntryCount are not part of the list; with a full table row 101 does not exist.
    return c >= 1 && c <= entries.EntryCount && EntryTable::isValid(c)
           && entries.EntryAddress(c).size() >= MinAddressLength;
}

void DownloadRun::abandon()
{
    m_timer->setInterval(0);
    m_active = false;
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        m_slots.Inet1(n)->Cancel();
        m_slots.release(n);
    }
}

void DownloadRun::start(const EntryTable &entries, const QString &dataDir,
                        const QString &timeoutText)
{
    m_entries = entries;
    m_dataDir = dataDir;
    m_log.append(logline::RunStart());
    bool valid = true;
    const int seconds = engine::TimeoutSeconds(timeoutText, &valid);
    if (!valid)
        m_log.append(logline::BadTimeout(timeoutText, seconds));
    m_timeoutMs = qint64(seconds) * 1000;
    RunCursor = 1;
    m_active = true;
    m_timer->setInterval(TickMs);
}

void DownloadRun::stop()
{
    m_timer->setInterval(0);
    m_active = false;
    AllCancel();
    m_log.append(logline::RunStop());
}

void DownloadRun::AllCancel()
{
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        QCoreApplication::processEvents();
        m_slots.Inet1(n)->Cancel();
        m_slots.Inet1(n)->Cancel();
        free(n, false);
        emit statusChanged(n, RunText::Idle);
    }
}

void DownloadRun::free(int slot, bool stored)
{
    const int entry = m_slots.SlotEntry(slot);
    m_slots.release(slot);
    if (entry != 0)
        emit entryEnded(entry, stored);
}

void DownloadRun::Timer1_Timer()
{
    if (m_tickRunning)
        return;
    const auto runActive = [this] { return m_active && m_timer->Interval() != 0; };
    if (!runActive())
        return;
    const TickGuard guard(m_tickRunning);

    const int c = RunCursor;
    bool allBusy = false;
    if (Fetches(m_entries, c)) {
        const int n = m_slots.firstFree();
        const QString name = m_entries.EntryName(c);
        if (n == 0) {
            // The cursor waits for a free slot; time-outs below must still run, or ten hung
            // transfers would stop the run for good.
            allBusy = true;
        } else if (!entryname::isSafeName(name)) {
            m_log.append(logline::BadName(name));
            emit entryEnded(c, false);
        } else {
            emit slotStarting(n);
            QCoreApplication::processEvents();
            // STOP may have been clicked meanwhile.
            if (!runActive())
                return;
            m_log.append(logline::EntryStart(name));
            emit statusChanged(n, named(RunText::Connecting, name));
            m_slots.Inet1(n)->Execute(m_entries.EntryAddress(c)
                                          + ExpandRule(m_entries.EntryRule(c)),
                                      QStringLiteral("GET"));
            m_slots.occupy(n, c);
        }
    }

    if (!allBusy) {
        if (c <= m_entries.EntryCount) {
            emit counterChanged(QStringLiteral("%1/%2").arg(c).arg(m_entries.EntryCount));
            RunCursor = c + 1;
        } else if (m_slots.busyCount() == 0) {
            m_log.append(logline::RunEnd());
            m_timer->setInterval(0);
            m_active = false;
            emit finished();
            return;
        }
    }

    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        if (!m_slots.expired(n, m_timeoutMs))
            continue;
        QCoreApplication::processEvents();
        // The page may have been stored, or STOP clicked, while events ran.
        if (!m_slots.SlotBusy(n))
            continue;
        m_slots.Inet1(n)->Cancel();
        m_log.append(logline::EntryTimedOut(m_entries.EntryName(m_slots.SlotEntry(n))));
        free(n, false);
        QCoreApplication::processEvents();
        m_slots.Inet1(n)->Cancel();
        QCoreApplication::processEvents();
    }
}

void DownloadRun::Inet1_StateChanged(int Index, short State)
{
    // A freed slot's late event, or a slot not in use.
    if (!ConnectionSlots::contains(Index) || m_slots.SlotEntry(Index) == 0)
        return;
    const QString name = m_entries.EntryName(m_slots.SlotEntry(Index));

    switch (State) {
    case Inet::icResolvingHost:
        emit statusChanged(Index, named(RunText::Resolving, name));
        return;
    case Inet::icRequesting:
        emit statusChanged(Index, named(RunText::Requesting, name));
        return;
    case Inet::icReceivingResponse:
        emit statusChanged(Index, named(RunText::Receiving, name));
        return;
    case Inet::icError:
        // A failed transfer sends nothing more: its slot is given back now instead of at the
        // time-out. The status line keeps its last state, as a timed-out slot's does.
        m_log.append(logline::EntryFailed(name, m_slots.Inet1(Index)->ErrorText()));
        free(Index, false);
        return;
    case Inet::icResponseCompleted: {
        const bool stored = storeBody(Index, name, m_dataDir);
        if (stored)
            m_log.append(logline::EntryEnd(name));
        emit statusChanged(Index, RunText::Idle);
        free(Index, stored);
        return;
    }
    default:
        return;
    }
}

bool DownloadRun::storeBody(int slot, const QString &name, const QString &dataDir)
{
    Inet *inet = m_slots.Inet1(slot);
    const QByteArray body = inet->GetChunk(ChunkSize, ByteArray);
    const bool cut = inet->Cut();
    // The body is ours now; the transfer object need not keep its copy until the next start.
    inet->Cancel();
    if (!entryname::isSafeName(name)) {
        // The tick never starts such an entry; a name changed during the run still must not
        // become a path.
        m_log.append(logline::BadName(name));
        return false;
    }
    QString detail;
    const pagestore::Stored stored =
        pagestore::StorePage(dataDir, name, vclock::now().date(), body, &detail);
    switch (stored.failure) {
    case pagestore::Failure::None:
        if (cut)
            m_log.append(logline::PageCut(name, ChunkSize));
        if (stored.changed)
            emit pageChanged(name);
        return true;
    case pagestore::Failure::Folder:
        m_log.append(logline::FolderFailed(name, detail));
        return false;
    case pagestore::Failure::Copy:
        m_log.append(logline::CopyFailed(name, detail));
        return false;
    case pagestore::Failure::Write:
        m_log.append(logline::WriteFailed(name, detail));
        return false;
    }
    return false;
}
