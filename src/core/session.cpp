// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session.h"

#include "core/app_title.h"
#include "core/list/entry_name.h"
#include "core/run/run_report.h"
#include "core/run/run_texts.h"
#include "core/store/page_store.h"
#include "platform/clock.h"

#include <QFile>
#include <QFileInfo>

Session::Session(const QString &dataHome, const QString &settingsPath)
    : m_dataHome(dataHome)
    , m_settingsPath(settingsPath.isEmpty() ? settingsfile::defaultPath(dataHome) : settingsPath)
    , m_marks(m_settingsPath)
    , m_failures(m_settingsPath)
    , m_options(Options::defaultsIn(dataHome))
    , m_run(m_log)
    , m_lock(dataHome)
{
    QObject::connect(&m_run, &DownloadRun::pageChanged, &m_run,
                     [this](const QString &name) { m_marks.mark(name); });
    // Connected before any face connects, so the notification is on its way before a window's
    // end box waits for the user.
    QObject::connect(&m_run, &DownloadRun::finished, &m_run, [this] { notifyRun(); });
}

void Session::notifyRun()
{
    // A single download is watched by the user who clicked it.
    if (!m_options.notify || m_run.wasSingle())
        return;
    const std::optional<runreport::Notice> notice = runreport::NoticeFor(runSummary());
    if (!notice)
        return;
    m_notifier.notify({.appName = AppName(),
                       .icon = AppId(),
                       .desktopEntry = AppId(),
                       .summary = notice->summary,
                       .body = notice->body,
                       .action = notice->firstChanged.isEmpty() ? QString() : RunText::NoticeAction,
                       .context = notice->firstChanged});
}

Session::LoadResult Session::load()
{
    LoadResult result;
    result.report = settingsfile::load(m_settingsPath, m_entries, m_options);
    if (m_options.logOn) {
        switch (m_log.seedFromFile(m_options.logPath)) {
        case RunLog::Seed::Seeded:
            noteLogFile(m_log.text());
            break;
        case RunLog::Seed::NoFile:
            noteLogFile(QString());
            break;
        case RunLog::Seed::Unreadable:
            result.unreadableLog = m_options.logPath;
            break;
        case RunLog::Seed::Foreign:
            result.foreignLog = m_options.logPath;
            break;
        }
    }
    return result;
}

Session::Changed Session::change(int n, const QString &name, const QString &address, const QString &rule,
                                 const std::optional<QString> &ignore)
{
    using Folder = Changed::Folder;
    Changed changed;
    // Nothing moves for values the list refuses, so a refusal leaves disk and list as they were.
    if (const auto refusal = m_entries.changeRefusal(n, name, address, rule, ignore.value_or(QString()));
        refusal != EntryTable::Refusal::None) {
        changed.edit = {n, refusal};
        return changed;
    }
    const QString oldName = m_entries.EntryName(n);
    const QString newName = entryname::storedName(name);
    if (newName != oldName) {
        // A run of this window holds the lock until its OK; an unattended one may take it at
        // any moment, and would store into the old folder while it moves.
        QString holder;
        if (m_lock.isHeld() || !m_lock.tryLock(&holder)) {
            changed.folder = Folder::RunUnderWay;
            changed.detail = holder;
            return changed;
        }
        const pagestore::Moved moved = pagestore::MoveEntryFolder(m_options.dirName, oldName, newName);
        m_lock.unlock();
        switch (moved.failure) {
        case pagestore::Moved::Failure::None:
            break;
        case pagestore::Moved::Failure::Taken:
            changed.folder = Folder::Taken;
            break;
        case pagestore::Moved::Failure::Rename:
            changed.folder = Folder::NotMoved;
            break;
        }
        if (!moved.ok()) {
            changed.detail = moved.detail;
            return changed;
        }
        // The one place a name's marks move to its new name.
        if (QString error; !m_marks.rename(oldName, newName, &error))
            changed.marksError = error;
        if (QString error; !m_failures.rename(oldName, newName, &error))
            changed.failuresError = error;
    }
    changed.edit = m_entries.change(n, name, address, rule, ignore);
    return changed;
}

settingsfile::Saved Session::save(int selected, const settingsfile::SdataLists &sdata)
{
    return settingsfile::save(m_settingsPath, m_entries, m_options, sdata, selected);
}

bool Session::beginRun(QString *holder)
{
    return m_lock.tryLock(holder);
}

bool Session::startRun(QString *holder)
{
    if (!beginRun(holder))
        return false;
    m_run.start(m_entries, m_options.dirName, m_options.timeout,
                m_options.hostPace ? DownloadRun::Pace::PerServer : DownloadRun::Pace::PerTick);
    return true;
}

bool Session::startOne(int n, QString *holder)
{
    if (!beginRun(holder))
        return false;
    m_run.fetchOne(m_entries, n, m_options.dirName, m_options.timeout);
    return true;
}

RunSummary Session::runSummary() const
{
    RunSummary summary;
    summary.entries = m_run.ends();
    summary.stopped = m_run.wasStopped();
    return summary;
}

RunSummary Session::finishRun()
{
    RunSummary summary = runSummary();
    // Its lines go into the log file with the run's.
    pruneCopies(summary);
    if (QString error; !writeLogFile(&error))
        summary.logFileError = error;
    // The pages are stored all the same; only the bold names would be lost.
    if (QString error; !m_marks.write(&error))
        summary.marksError = error;
    if (QString error; !m_failures.record(summary, &error))
        summary.failuresError = error;
    m_lock.unlock();
    return summary;
}

void Session::pruneCopies(const RunSummary &summary)
{
    const pagestore::Retention limit{.days = m_options.keepDays, .versions = m_options.keepVersions};
    if (limit.isOff())
        return;
    const QDate today = vclock::now().date();
    for (const EntryEnd &end : summary.entries) {
        if (!entryname::isSafeName(end.name))
            continue;
        const pagestore::Pruned pruned = pagestore::PruneCopies(m_options.dirName, end.name, today, limit);
        if (pruned.removed > 0)
            m_log.append(logline::CopiesPruned(end.name, pruned.removed));
        if (!pruned.error.isEmpty())
            m_log.append(logline::PruneFailed(end.name, pruned.error));
    }
}

bool Session::writeLogFile(QString *error)
{
    if (!m_options.logOn)
        return true;
    if (m_logFile.known && m_logFile.path == m_options.logPath
        && m_log.text().size() >= m_logFile.logLength) {
        // Another run (the other face, between two runs of this one) may have carried the
        // file on from where this session left it.
        QFile file(m_options.logPath);
        if (file.open(QIODevice::ReadOnly)) {
            const QString now = runlog::FirstField(runlog::DecodeFile(file.readAll()));
            if (now != m_logFile.text && now.startsWith(m_logFile.text))
                m_log.setText(now + m_log.text().mid(m_logFile.logLength));
        }
    }
    if (!m_log.writeFile(m_options.logPath, m_settingsPath, error))
        return false;
    noteLogFile(m_log.text());
    return true;
}

void Session::noteLogFile(const QString &fileText)
{
    m_logFile = {true, m_options.logPath, fileText, m_log.text().size()};
}
