// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/download_run.h"

#include "core/history/reader_change.h"
#include "core/list/entry_name.h"
#include "core/store/page_info.h"
#include "core/run/address_rule.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "core/run/timeout_text.h"
#include "core/store/page_store.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/vbtimer.h"

#include <QFile>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

// Addresses shorter than this cannot be a full http address and are skipped silently.
constexpr int MinAddressLength = 8;

// Paced per server, a received page waits at most this long for the requests started after it
// to go out (one may hang in its connect).
constexpr qint64 StoreWaitNs = 100'000'000;

QString named(const QString &status, const QString &name)
{
    return status + QLatin1String(" (") + name + QLatin1Char(')');
}


} // namespace

DownloadRun::DownloadRun(RunLog &log, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_slots(this)
    , m_timer(new VbTimer(this))
{
    qRegisterMetaType<EntryEnd>();
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer, &VbTimer::Timer, this, &DownloadRun::Timer1_Timer);
    // A server's 500 ms are kept to the millisecond: a coarse timer may fire 5 % early or late.
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &DownloadRun::paceStarts);
    m_storeTimer.setSingleShot(true);
    connect(&m_storeTimer, &QTimer::timeout, this, &DownloadRun::storeWhenSent);
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        connect(m_slots.Inet1(n), &Inet::StateChanged, this,
                [this, n](short state) { Inet1_StateChanged(n, state); });
        connect(m_slots.Inet1(n), &Inet::finished, this,
                [this, n](const TransferResult &result) { Inet1_Finished(n, result); });
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

QList<EntryEnd> DownloadRun::ends() const
{
    // An entry the run never reached (or that was under way at STOP) ended cancelled.
    const auto endOf = [this](int c) {
        return m_ends.value(
            c, EntryEnd{.entry = c, .name = m_entries.EntryName(c), .address = m_entries.EntryAddress(c)});
    };
    if (m_mode == Mode::One)
        return m_one != 0 ? QList<EntryEnd>{endOf(m_one)} : QList<EntryEnd>{};
    QList<EntryEnd> all;
    for (int c = 1; c <= m_entries.EntryCount; ++c) {
        if (Fetches(m_entries, c))
            all << endOf(c);
    }
    return all;
}

void DownloadRun::abandon()
{
    m_timer->setInterval(0);
    m_paceTimer.stop();
    // Closing: a page not stored yet is given up as a transfer under way is.
    m_storeTimer.stop();
    m_received.clear();
    m_active = false;
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        m_slots.Inet1(n)->Cancel();
        m_slots.release(n);
    }
}

void DownloadRun::begin(Mode mode, const EntryTable &entries, const QString &dataDir)
{
    m_mode = mode;
    m_pace = Pace::PerTick;
    m_entries = entries;
    m_dataDir = dataDir;
    m_one = 0;
    m_ends.clear();
    m_received.clear();
    m_sending.fill(false);
    m_stopped = false;
    m_active = true;
    m_log.append(logline::RunStart());
}

void DownloadRun::start(const EntryTable &entries, const QString &dataDir,
                        const QString &timeoutText, Pace pace)
{
    begin(Mode::Run, entries, dataDir);
    const std::optional<int> typed = run::TimeoutSeconds(timeoutText);
    const int seconds = typed.value_or(run::DefaultTimeoutSeconds);
    if (!typed)
        m_log.append(logline::BadTimeout(timeoutText, seconds));
    m_timeoutMs = qint64(seconds) * 1000;
    RunCursor = 1;
    m_pace = pace;
    m_hostPace.clear();
    m_waiting.clear();
    m_handedOut = 0;
    if (pace == Pace::PerServer) {
        for (int c = 1; c <= m_entries.EntryCount; ++c)
            m_waiting << c;
        m_paceClock.start();
        m_paceTimer.start(0);
    }
    // Paced per server too: the tick enforces the time-outs.
    m_timer->setInterval(TickMs);
}

void DownloadRun::stop()
{
    m_timer->setInterval(0);
    m_paceTimer.stop();
    m_active = false;
    m_stopped = true;
    // Pages received before STOP are stored.
    storeReceived();
    AllCancel();
    m_log.append(logline::RunStop());
}

void DownloadRun::AllCancel()
{
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        m_slots.Inet1(n)->Cancel();
        free(n, {.ending = Ending::Cancelled});
        emit statusChanged(n, RunText::Idle);
    }
}

void DownloadRun::ended(int entry, const Outcome &outcome)
{
    const EntryEnd end{.entry = entry,
                       .name = m_entries.EntryName(entry),
                       .address = m_entries.EntryAddress(entry),
                       .ending = outcome.ending,
                       .reason = outcome.reason,
                       .changed = outcome.changed};
    m_ends.insert(entry, end);
    emit entryEnded(end);
}

void DownloadRun::free(int slot, const Outcome &outcome)
{
    if (const int entry = release(slot))
        ended(entry, outcome);
}

int DownloadRun::release(int slot)
{
    const int entry = m_slots.SlotEntry(slot);
    m_slots.release(slot);
    if (entry != 0 && m_pace == Pace::PerServer) {
        m_hostPace.ended(m_slotServer(slot));
        m_slotServer(slot).clear();
        m_sending(slot) = false;
        // Not from inside a transfer's own event: the next entries start in a turn of their own.
        if (m_active)
            m_paceTimer.start(0);
    }
    return entry;
}

QString DownloadRun::address(int c) const
{
    return m_entries.EntryAddress(c) + ExpandRule(m_entries.EntryRule(c));
}

void DownloadRun::startEntry(int slot, int c, int timeoutMs)
{
    const QString name = m_entries.EntryName(c);
    emit slotStarting(slot);
    m_log.append(logline::EntryStart(name));
    emit statusChanged(slot, named(RunText::Connecting, name));
    Inet *inet = m_slots.Inet1(slot);
    inet->setTimeout(timeoutMs);
    const QString url = address(c);
    // A page stored already is asked for only if it changed since; a name that is no folder
    // name is never looked up as a path.
    const Validators validators =
        entryname::isSafeName(name) ? pagestore::ValidatorsFor(m_dataDir, name, url) : Validators{};
    inet->Execute(url, QStringLiteral("GET"), validators);
    m_slots.occupy(slot, c);
}

void DownloadRun::Timer1_Timer()
{
    if (!m_active || m_mode != Mode::Run || m_timer->Interval() == 0)
        return;
    if (m_pace == Pace::PerServer) {
        enforceTimeouts();
        return;
    }

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
            ended(c, {.ending = Ending::BadName});
        } else {
            // The tick's own time-out below gives the transfer up.
            startEntry(n, c, 0);
        }
    }

    if (!allBusy) {
        if (c <= m_entries.EntryCount) {
            emit counterChanged(QStringLiteral("%1/%2").arg(c).arg(m_entries.EntryCount));
            RunCursor = c + 1;
        } else if (m_slots.busyCount() == 0) {
            endRun();
            return;
        }
    }
    enforceTimeouts();
}

void DownloadRun::endRun()
{
    m_log.append(logline::RunEnd());
    m_timer->setInterval(0);
    m_paceTimer.stop();
    m_active = false;
    emit finished();
}

void DownloadRun::enforceTimeouts()
{
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        if (!m_slots.expired(n, m_timeoutMs))
            continue;
        // Cancelled first: no late answer of it can be stored.
        m_slots.Inet1(n)->Cancel();
        m_log.append(logline::EntryTimedOut(m_entries.EntryName(m_slots.SlotEntry(n))));
        free(n, {.ending = Ending::TimedOut});
    }
}

void DownloadRun::Inet1_StateChanged(int Index, short State)
{
    // A freed slot's late event, or a slot not in use. The single download shows its start
    // until it ends.
    if (!ConnectionSlots::contains(Index) || m_slots.SlotEntry(Index) == 0 || m_mode == Mode::One)
        return;
    if (State == Inet::icRequestSent && m_pace == Pace::PerServer)
        requestSent(Index);
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
    default:
        return;
    }
}

void DownloadRun::Inet1_Finished(int Index, const TransferResult &result)
{
    // The answer of a slot freed by time-out or STOP is never stored.
    if (!ConnectionSlots::contains(Index) || m_slots.SlotEntry(Index) == 0)
        return;
    if (m_mode == Mode::One) {
        endOne(result);
        return;
    }
    const int entry = m_slots.SlotEntry(Index);
    const QString name = m_entries.EntryName(entry);
    if (!result.ok()) {
        const std::optional<qint64> wait = RetryAfterMs(result, vclock::now());
        const Outcome failed = transferFailed(name, result, wait);
        if (wait && m_pace == Pace::PerServer)
            keepWait(Index, *wait, failed.reason);
        // The status line keeps its last state, as a timed-out slot's does.
        free(Index, failed);
        return;
    }
    if (m_pace == Pace::PerServer) {
        // Written with its sync to disk, a page would hold back the requests of the entries
        // that take the slots freed meanwhile, while their servers could already be answering.
        // The next starts (paceStarts) come first.
        m_received.append({Index, m_slots.SlotEntry(Index), result, m_slots.Inet1(Index)->URL(),
                           m_paceClock.nsecsElapsed()});
        release(Index);
        return;
    }
    const Outcome outcome = storePage(entry, result, m_slots.Inet1(Index)->URL());
    if (outcome.ending == Ending::Stored)
        m_log.append(logline::EntryEnd(name));
    emit statusChanged(Index, RunText::Idle);
    free(Index, outcome);
}

void DownloadRun::requestSent(int slot)
{
    // The server's 500 ms count from when the request went out, however long the connection took.
    m_hostPace.started(m_slotServer(slot), m_paceClock.nsecsElapsed(), HostPace::Start::Sent);
    m_sending(slot) = false;
    // Through paceStarts, which comes after the transfers that ended meanwhile have freed their
    // slots: their next entries start before any page is written.
    if (!m_received.isEmpty() && m_active && std::none_of(m_sending.begin(), m_sending.end(), std::identity()))
        m_paceTimer.start(0);
}

void DownloadRun::storeWhenSent()
{
    if (m_received.isEmpty())
        return;
    const qint64 waitedNs = m_paceClock.nsecsElapsed() - m_received.constFirst().receivedNs;
    if (waitedNs < StoreWaitNs && std::any_of(m_sending.begin(), m_sending.end(), std::identity())) {
        m_storeTimer.start(int((StoreWaitNs - waitedNs + 999'999) / 1'000'000));
        return;
    }
    storeReceived();
}

void DownloadRun::storeReceived()
{
    m_storeTimer.stop();
    const QList<Received> received = std::exchange(m_received, {});
    for (const Received &r : received) {
        const QString name = m_entries.EntryName(r.entry);
        const Outcome outcome = storePage(r.entry, r.result, r.url);
        if (outcome.ending == Ending::Stored)
            m_log.append(logline::EntryEnd(name));
        // A slot that carries the next entry already shows that one.
        if (!m_slots.SlotBusy(r.slot))
            emit statusChanged(r.slot, RunText::Idle);
        ended(r.entry, outcome);
    }
    // The run ends once its last page is stored.
    if (m_active && !received.isEmpty())
        m_paceTimer.start(0);
}

DownloadRun::Outcome DownloadRun::transferFailed(const QString &name, const TransferResult &result,
                                                 std::optional<qint64> waitMs)
{
    const QString reason =
        waitMs ? RunText::AskedToWait.arg(result.error).arg((*waitMs + 999) / 1000) : result.error;
    m_log.append(logline::EntryFailed(name, reason));
    const bool timedOut = result.failure == TransferResult::Failure::TimedOut;
    return {timedOut ? Ending::TimedOut : Ending::Failed, reason};
}

void DownloadRun::keepWait(int slot, qint64 waitMs, const QString &reason)
{
    // A wait longer than the time-out would give up every entry that kept to it.
    if (waitMs <= m_timeoutMs)
        m_hostPace.waitUntil(m_slotServer(slot), m_paceClock.nsecsElapsed() + waitMs * 1'000'000);
    else
        m_hostPace.refuse(m_slotServer(slot), reason);
}

void DownloadRun::paceStarts()
{
    const auto paced = [this] {
        return m_active && m_mode == Mode::Run && m_pace == Pace::PerServer && m_timer->Interval() != 0;
    };
    if (!paced())
        return;
    qint64 wakeNs = -1;
    const int handedBefore = m_handedOut;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        // What this loop sets off may end the run (STOP from a box's own event loop).
        if (!paced())
            return;
        const int c = *it;
        const QString name = m_entries.EntryName(c);
        bool handedOut = true;
        if (!Fetches(m_entries, c)) {
            // Skipped without a log line, and counted, as the tick does.
        } else if (!entryname::isSafeName(name)) {
            m_log.append(logline::BadName(name));
            ended(c, {.ending = Ending::BadName});
        } else {
            const int n = m_slots.firstFree();
            if (n == 0)
                break;
            const QString server = HostPace::serverOf(address(c));
            const qint64 now = m_paceClock.nsecsElapsed();
            const HostPace::Check check = m_hostPace.check(server, now);
            switch (check.verdict) {
            case HostPace::Verdict::Start:
                m_slotServer(n) = server;
                m_sending(n) = true;
                startEntry(n, c, 0);
                // Taken after the start, so that the next start of the server is 500 ms after
                // this one by any clock read around it.
                m_hostPace.started(server, m_paceClock.nsecsElapsed(), HostPace::Start::Handed);
                break;
            case HostPace::Verdict::Refused: {
                const QString reason = RunText::NotAsked.arg(check.reason);
                m_log.append(logline::EntryFailed(name, reason));
                ended(c, {Ending::Failed, reason});
                break;
            }
            case HostPace::Verdict::Wait:
                // Passed over: it goes first once its server allows, ahead of the entries after it.
                handedOut = false;
                if (check.readyAtNs >= 0)
                    wakeNs = wakeNs < 0 ? check.readyAtNs : qMin(wakeNs, check.readyAtNs);
                break;
            }
        }
        if (handedOut) {
            ++m_handedOut;
            it = m_waiting.erase(it);
        } else {
            ++it;
        }
    }
    if (!paced())
        return;
    // Entries start out of list order here, so the counter tells how many have been handed out.
    if (m_handedOut != handedBefore)
        emit counterChanged(QStringLiteral("%1/%2").arg(m_handedOut).arg(m_entries.EntryCount));
    // The requests just started go out before the pages received meanwhile are written.
    storeWhenSent();
    if (!paced())
        return;
    if (m_waiting.isEmpty() && m_slots.busyCount() == 0 && m_received.isEmpty()) {
        endRun();
        return;
    }
    // Without a free slot, the next transfer to end calls again.
    if (wakeNs >= 0 && m_slots.firstFree() != 0) {
        const qint64 ms = (wakeNs - m_paceClock.nsecsElapsed() + 999'999) / 1'000'000;
        m_paceTimer.start(int(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max()))));
    }
}

DownloadRun::Outcome DownloadRun::storePage(int entry, const TransferResult &result, const QString &url)
{
    const QString name = m_entries.EntryName(entry);
    if (!entryname::isSafeName(name)) {
        // Such an entry is never started; a name changed meanwhile still must not become a path.
        m_log.append(logline::BadName(name));
        return {.ending = Ending::BadName};
    }
    const pagestore::Received page{.body = result.body,
                                   .notModified = result.notModified(),
                                   .address = url,
                                   .etag = result.headers.value("ETag").value_or(QByteArray()),
                                   .lastModified = result.headers.value("Last-Modified").value_or(QByteArray()),
                                   .contentType = result.headers.value("Content-Type").value_or(QByteArray())};
    const pagestore::Stored stored = pagestore::StorePage(m_dataDir, name, vclock::now().date(), page);
    switch (stored.failure) {
    case pagestore::Failure::None: {
        if (result.cut)
            m_log.append(logline::PageCut(name, Inet::MaxBody));
        if (!stored.written)
            m_log.append(logline::PageUnchanged(name, result.notModified() ? result.statusText() : QString()));
        if (!stored.infoError.isEmpty())
            m_log.append(logline::InfoFailed(name, stored.infoError));
        const bool changed = stored.changed && readerSeesChange(entry, stored.replaced, result);
        if (changed)
            emit pageChanged(name);
        return {.ending = Ending::Stored, .changed = changed};
    }
    case pagestore::Failure::Folder:
        m_log.append(logline::FolderFailed(name, stored.detail));
        break;
    case pagestore::Failure::Copy:
        m_log.append(logline::CopyFailed(name, stored.detail));
        break;
    case pagestore::Failure::Write:
        m_log.append(logline::WriteFailed(name, stored.detail));
        break;
    }
    return {Ending::Failed, stored.detail};
}

bool DownloadRun::readerSeesChange(int entry, const QString &replaced, const TransferResult &result) const
{
    QFile copy(replaced);
    // A page larger than any answer, or one that cannot be read, differs as its bytes do.
    if (copy.size() > Inet::MaxBody || !copy.open(QIODevice::ReadOnly))
        return true;
    const QByteArray older = copy.readAll();
    const QByteArray type = result.headers.value("Content-Type").value_or(QByteArray());
    // Each page is read by the charset its own server named; one kept without its answer's
    // came from the same address, and is read by the new one's.
    const QByteArray olderType = pagestore::ServedTypes(m_dataDir, m_entries.EntryName(entry))
                                     .value(pagestore::PageHash(older), type);
    return history::ReaderSeesChange(older, olderType, result.body, type,
                                     history::IgnoreExpression(m_entries.EntryIgnore(entry)));
}
