#pragma once

#include "core/history/changed_marks.h"
#include "core/list/entry_table.h"
#include "core/run/download_run.h"
#include "core/run/run_lock.h"
#include "core/run/run_log.h"
#include "core/settings/options.h"
#include "core/settings/settings_file.h"

#include <QString>

// One user's Vekanto without a window: the list and options of a settings file, the run log
// and the downloads. The main window is a face over one; an unattended run is another.
class Session
{
public:
    // The program's own folder holds the settings file (unless another is named) and gives
    // the default data folder and log file.
    explicit Session(const QString &programDir, const QString &settingsPath = {});
    Q_DISABLE_COPY_MOVE(Session)

    QString programDir() const { return m_programDir; }
    QString settingsPath() const { return m_settingsPath; }

    EntryTable &entries() { return m_entries; }
    const EntryTable &entries() const { return m_entries; }
    Options &options() { return m_options; }
    const Options &options() const { return m_options; }
    RunLog &log() { return m_log; }
    const RunLog &log() const { return m_log; }
    DownloadRun &run() { return m_run; }
    // The entries whose page changed in a run: marked as each page is stored, written to their
    // file when the run ends (marks().write, beside writeLogFile).
    ChangedMarks &marks() { return m_marks; }

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
    bool save(int &followed, const settingsfile::SdataLists &sdata, QString *error,
              bool *wroteUtf8 = nullptr);

    // Every run, full or single, clicked or unattended, holds the run lock from its start until
    // its log file is written. Takes it unless this session holds it already; false, with who
    // holds it, while another run is under way.
    bool beginRun(QString *holder = nullptr);
    // Lets the next run start.
    void endRun();

    // A full run over the list as it is now, with the options of this moment, under the run
    // lock (taken here when not held yet). False, with nothing started, while another run is
    // under way.
    bool startRun(QString *holder = nullptr);
    // With logging on, the whole log to the log file; true when there was nothing to do. When
    // another run has carried the file on since this session last read or wrote it, its
    // lines are kept: the log becomes the file's text followed by this session's new lines.
    bool writeLogFile(QString *error);

private:
    void noteLogFile(const QString &fileText);

    QString m_programDir;
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
