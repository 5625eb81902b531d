// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/list/entry_table.h"
#include "core/run/connection_slots.h"
#include "core/run/host_pace.h"
#include "core/run/run_summary.h"
#include "platform/transfer_result.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class RunLog;
class VbTimer;

// The downloads: a full run over the list, one entry per tick of Timer1 on the lowest free
// of the ten connections (or paced per server, see HostPace), and the single download of one
// entry on connection 1. Both go on in the event loop and report through the signals and the
// run log; it knows no window.
class DownloadRun : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRun)

public:
    static constexpr int TickMs = 500;

    // How a full run starts its entries: one per tick, or 「サーバーごとに間隔を空ける」: each as
    // soon as a slot is free and its server's pace allows (HostPace), in list order.
    enum class Pace { PerTick, PerServer };

    explicit DownloadRun(RunLog &log, QObject *parent = nullptr);
    ~DownloadRun() override;

    // Starts a full run over a copy of the list, with the data folder and the time-out text
    // of this moment. The first tick follows TickMs later; paced per server, the first
    // entries start at once.
    void start(const EntryTable &entries, const QString &dataDir, const QString &timeoutText,
               Pace pace = Pace::PerTick);
    // The single download: entry n on connection 1 at once, outside the tick, given up after
    // the time-out. Ends with finished() (oneFailed() first when the page was not stored),
    // or by stop().
    void fetchOne(const EntryTable &entries, int n, const QString &dataDir, const QString &timeoutText);
    // STOP: no further tick, every connection cancelled, the stop line logged.
    void stop();
    // Cancels every connection and frees every slot; the status lines go back to idle.
    void AllCancel();
    // The program is closing: everything stops at once, nothing is logged or shown.
    void abandon();
    // From start until the run has ended by itself or was stopped.
    bool isActive() const { return m_active; }
    // Whether a full run fetches entry c of the list: its address has at least 8 characters.
    static bool Fetches(const EntryTable &entries, int c);
    // How each entry the last run or single download was to fetch has ended; one it has not
    // reached counts as cancelled. In list order.
    QList<EntryEnd> ends() const;
    // The last run or single download was ended by STOP.
    bool wasStopped() const { return m_stopped; }
    // The last one was a single download.
    bool wasSingle() const { return m_mode == Mode::One; }

    // One tick: start at most one entry, move the cursor (or end the run), enforce time-outs.
    // Paced per server, only the time-outs.
    void Timer1_Timer();
    // A transfer's state changed: show it.
    void Inet1_StateChanged(int Index, short State);
    // A transfer has ended: store its page, or log why not, and give the slot back.
    void Inet1_Finished(int Index, const TransferResult &result);

    const ConnectionSlots &connections() const { return m_slots; }
    VbTimer *Timer1() const { return m_timer; }

signals:
    // A slot's status line, in the texts the progress window shows.
    void statusChanged(int slot, const QString &text);
    // The counter: cursor, "/", entry count (paced per server: the entries handed out so far).
    void counterChanged(const QString &text);
    // A slot is about to carry an entry.
    void slotStarting(int slot);
    // An entry is done with: stored, or why not.
    void entryEnded(const EntryEnd &end);
    // A page was stored over one whose reader sees other text in it (its dated copy).
    void pageChanged(const QString &name);
    // The single download did not store the page; its failure line is logged, its end line
    // and finished() follow once the slots connected here return.
    void oneFailed();
    // The run or the single download has ended by itself.
    void finished();

private:
    enum class Mode { Run, One };
    // What became of an entry's transfer.
    struct Outcome {
        Ending ending = Ending::Stored;
        QString reason{};
        bool changed = false;
    };

    void begin(Mode mode, const EntryTable &entries, const QString &dataDir);
    // The entry's address with today's expansion of its rule.
    QString address(int c) const;
    // Logs the entry's start and hands its address to the slot's transfer.
    void startEntry(int slot, int c, int timeoutMs);
    void ended(int entry, const Outcome &outcome);
    // Gives the slot back; its entry, if any, ended as `outcome` says.
    void free(int slot, const Outcome &outcome);
    // Gives the slot back without telling its entry's end yet; returns the entry (0: none).
    int release(int slot);
    // Stores the page of a completed transfer from `url` as the entry's page. Logs a failure,
    // a cut page or one that had not changed, not the entry's end.
    Outcome storePage(int entry, const TransferResult &result, const QString &url);
    // Whether the reader of the entry's page sees a change in it over the page it replaced,
    // which its dated copy `replaced` keeps.
    bool readerSeesChange(int entry, const QString &replaced, const TransferResult &result) const;
    // Logs a failed transfer, with the wait its server asked for, and tells what it means for
    // its entry.
    Outcome transferFailed(const QString &name, const TransferResult &result,
                           std::optional<qint64> waitMs);
    // The single download's transfer has ended.
    void endOne(const TransferResult &result);
    void enforceTimeouts();
    void endRun();
    // Paced per server: starts every waiting entry that may start now, in list order on the
    // lowest free slots, and ends the run once all are done; otherwise the pace timer waits for
    // the next moment one may start.
    void paceStarts();
    // Paced per server: what a 429 or 503 answer's wait means for its server's later entries.
    void keepWait(int slot, qint64 waitMs, const QString &reason);
    // Paced per server: the slot's request is going out.
    void requestSent(int slot);
    // Paced per server: stores the received pages once no request started after them is still
    // to go out, or once the first has waited long enough.
    void storeWhenSent();
    void storeReceived();

    RunLog &m_log;
    ConnectionSlots m_slots;
    VbTimer *m_timer = nullptr;
    Mode m_mode = Mode::Run;
    EntryTable m_entries;
    QString m_dataDir;
    qint64 m_timeoutMs = 0;
    qint32 RunCursor = 0;
    // The entry of the single download.
    int m_one = 0;
    bool m_active = false;
    bool m_stopped = false;
    QHash<int, EntryEnd> m_ends;
    Pace m_pace = Pace::PerTick;
    HostPace m_hostPace;
    // Runs paceStarts: at once when a slot is freed, or at the moment a waiting entry may start.
    QTimer m_paceTimer;
    QElapsedTimer m_paceClock;
    // The entries not handed out yet, in list order.
    QList<int> m_waiting;
    int m_handedOut = 0;
    // The server each busy slot's entry went to, and whether its request is still to go out.
    IndexedArray<QString, ConnectionSlots::First, ConnectionSlots::Last> m_slotServer;
    IndexedArray<bool, ConnectionSlots::First, ConnectionSlots::Last> m_sending;
    // Pages received, to be stored once no request started meanwhile is still to go out.
    struct Received {
        int slot = 0;
        int entry = 0;
        TransferResult result;
        // The address fetched: the slot may carry another entry by the time the page is stored.
        QString url{};
        qint64 receivedNs = 0;
    };
    QList<Received> m_received;
    QTimer m_storeTimer;
};
