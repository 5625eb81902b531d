// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// How an entry handed to a run or a single download ended.
enum class Ending {
    Stored,
    // The transfer failed, or its page could not be stored.
    Failed,
    // The run's time-out, or the single download's, gave it up.
    TimedOut,
    // Its name is no folder name inside the data folder: never fetched.
    BadName,
    // STOP (or a closing program) came first, under way or before its turn.
    Cancelled,
};

// One entry's end, as the log told it.
struct EntryEnd {
    // Its number in the list the run was given.
    int entry = 0;
    QString name{};
    // As listed, without the rule's expansion.
    QString address{};
    Ending ending = Ending::Cancelled;
    // The reason the log gave after the entry's line; empty where it gave none.
    QString reason{};
    // Stored over a page that held other bytes.
    bool changed = false;

    friend bool operator==(const EntryEnd &, const EntryEnd &) = default;
};

// What a run or a single download leaves to be told once it is over, the same whichever face
// ran it.
struct RunSummary {
    // Every entry it was to fetch, in list order.
    QList<EntryEnd> entries{};
    // Ended by STOP (or a signal) instead of by itself.
    bool stopped = false;
    // Why the log file or the changed marks could not be written; empty when they were.
    QString logFileError{};
    QString marksError{};

    QList<EntryEnd> stored() const { return with([](const EntryEnd &e) { return e.ending == Ending::Stored; }); }
    QList<EntryEnd> notStored() const { return with([](const EntryEnd &e) { return e.ending != Ending::Stored; }); }
    QList<EntryEnd> changed() const { return with([](const EntryEnd &e) { return e.changed; }); }

    friend bool operator==(const RunSummary &, const RunSummary &) = default;

private:
    template <typename Test>
    QList<EntryEnd> with(Test test) const
    {
        QList<EntryEnd> found;
        for (const EntryEnd &e : entries) {
            if (test(e))
                found << e;
        }
        return found;
    }
};

Q_DECLARE_METATYPE(EntryEnd)
