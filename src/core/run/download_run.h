#pragma once

#include "core/list/entry_table.h"
#include "core/run/connection_slots.h"

#include <QObject>
#include <QString>

class RunLog;
class VbTimer;

// The downloads: a full run over the list, one entry per tick of Timer1 on the lowest free
// of the ten connections, and the single download of one entry on connection 1. It reports
// through its signals and the run log; it knows no window.
class DownloadRun : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRun)

public:
    static constexpr int TickMs = 500;

    explicit DownloadRun(RunLog &log, QObject *parent = nullptr);
    ~DownloadRun() override;

    // Starts a full run over a copy of the list, with the data folder and the time-out text
    // of this moment. The first tick follows TickMs later.
    void start(const EntryTable &entries, const QString &dataDir, const QString &timeoutText);
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

    // Fetches entry n on connection 1 and waits for it (input waits too), then stores it.
    // Logs the start and the entry's lines; true when the page was stored.
    bool fetchOne(const EntryTable &entries, int n, const QString &dataDir);

    // One tick: start at most one entry, move the cursor (or end the run), enforce time-outs.
    void Timer1_Timer();
    // A transfer's state changed: show it, and store the page once it is complete.
    void Inet1_StateChanged(int Index, short State);

    const ConnectionSlots &connections() const { return m_slots; }
    VbTimer *Timer1() const { return m_timer; }

signals:
    // A slot's status line, in the texts the progress window shows.
    void statusChanged(int slot, const QString &text);
    // The counter: cursor, "/", entry count.
    void counterChanged(const QString &text);
    // A slot is about to carry an entry.
    void slotStarting(int slot);
    // An entry of a full run is done with: its page stored (ok), or not (failed, timed out,
    // refused for its name, or cancelled while under way).
    void entryEnded(int entry, bool ok);
    // A page was stored over one with other bytes (its dated copy), by a run or a single
    // download.
    void pageChanged(const QString &name);
    // The run has ended by itself: every entry handed out and every slot free.
    void finished();

private:
    // Gives the slot back; its entry, if any, ended with `stored`.
    void free(int slot, bool stored);
    // Takes the completed body of a slot's transfer and stores it as the entry's page. Logs a
    // failure or a cut page; true when the page was stored.
    bool storeBody(int slot, const QString &name, const QString &dataDir);

    RunLog &m_log;
    ConnectionSlots m_slots;
    VbTimer *m_timer = nullptr;
    EntryTable m_entries;
    QString m_dataDir;
    qint64 m_timeoutMs = 0;
    qint32 RunCursor = 0;
    bool m_active = false;
    // A tick lets pending events run; one arriving meanwhile must not start a second tick.
    bool m_tickRunning = false;
};
