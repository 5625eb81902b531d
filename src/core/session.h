// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/changed_marks.h"
#include "core/list/entry_table.h"
#include "core/run/download_run.h"
#include "core/run/run_lock.h"
#include "core/run/run_log.h"
#include "core/run/run_summary.h"
#include "core/settings/options.h"
#include "core/settings/settings_file.h"

#include <QString>

// One user's Vekanto without a window: the list and options of a settings file, the run log
// and the downloads. The main window is a face over one; an unattended run is another.
class Session
{
public:
    // The data home (the program's own folder, in the user's data folder) holds the settings
    // file (unless another is named) and the run lock, and gives the default data folder and
    // log file.
    explicit Session(const QString &dataHome, const QString &settingsPath = {});
    Q_DISABLE_COPY_MOVE(Session)

    QString dataHome() const { return m_dataHome; }
    QString settingsPath() const { return m_settingsPath; }

    EntryTable &entries() { return m_entries; }
    const EntryTable &entries() const { return m_entries; }
    Options &options() { return m_options; }
    const Options &options() const { return m_options; }
    RunLog &log() { return m_log; }
    const RunLog &log() const { return m_log; }
    DownloadRun &run() { return m_run; }
    // The entries whose page changed in a run: marked as each page is stored, written to their
    // file when the run ends (finishRun).
    ChangedMarks &marks() { return m_marks; }

    // What a change of an entry did. A new name takes the entry's folder along, with its
    // changed mark; when the folder cannot follow, nothing is changed and `folder` says why.
    struct Changed {
        enum class Folder {
            Follows,
            // Another folder answers to the new name already (detail: that folder).
            Taken,
            // A run stores into the folders now (detail: who holds the run lock, if known).
            RunUnderWay,
            // The rename failed (detail: the paths and the reason).
            NotMoved,
        };
        EntryTable::Edit edit{};
        Folder folder = Folder::Follows;
        QString detail{};
        // The entry changed, but its mark could not be written under the new name.
        QString marksError{};
        bool ok() const { return edit.ok() && folder == Folder::Follows; }
    };
    // Changes entry n as EntryTable::change does, its folder and mark following a new name.
    Changed change(int n, const QString &name, const QString &address, const QString &rule);

    struct LoadResult {
        settingsfile::LoadReport report;
        // The log file when logging is on and it could not be read, or holds something other
        // than a log (it is then not taken).
        QString unreadableLog;
        QString foreignLog;
    };
    // The list and the options from the settings file; options the file lacks keep their
    // values. With logging on, the log carries on from the log file.
    LoadResult load();
    // The list and the options to the settings file; `selected` follows its entry through
    // the moves.
    settingsfile::Saved save(int selected, const settingsfile::SdataLists &sdata = {});

    // Every run, full or single, clicked or unattended, holds the run lock from its start until
    // finishRun. Takes it unless this session holds it already; false, with who holds it,
    // while another run is under way.
    bool beginRun(QString *holder = nullptr);

    // A full run over the list as it is now, with the options of this moment, under the run
    // lock (taken here when not held yet). False, with nothing started, while another run is
    // under way.
    bool startRun(QString *holder = nullptr);
    // The single download of entry n, likewise.
    bool startOne(int n, QString *holder = nullptr);
    // How the run or single download so far has gone, as finishRun will tell it.
    RunSummary runSummary() const;
    // The end of every run, full or single, clicked or unattended, once it has ended by itself
    // or was stopped: the dated copies past their limits pruned, with logging on the whole log
    // to the log file, the changed marks to theirs, and the run lock let go. Tells what the run did and what could not be written.
    RunSummary finishRun();

private:
    // With logging on, the whole log to the log file; true when there was nothing to do. When
    // another run has carried the file on since this session last read or wrote it, its
    // lines are kept: the log becomes the file's text followed by this session's new lines.
    bool writeLogFile(QString *error);
    // With a limit on dated copies set, prunes those of every entry the run was to fetch and
    // logs what it removed.
    void pruneCopies(const RunSummary &summary);
    void noteLogFile(const QString &fileText);

    QString m_dataHome;
    QString m_settingsPath;
    ChangedMarks m_marks;
    EntryTable m_entries;
    Options m_options;
    RunLog m_log;
    DownloadRun m_run;
    RunLock m_lock;
    // The log file as this session last read or wrote it: its text, and how much of the log
    // it held then.
    struct LogFileState {
        bool known = false;
        QString path;
        QString text;
        qsizetype logLength = 0;
    } m_logFile;
};
