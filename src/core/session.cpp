#include "core/session.h"

#include <QFile>
#include <QFileInfo>

Session::Session(const QString &dataHome, const QString &settingsPath)
    : m_dataHome(dataHome)
    , m_settingsPath(settingsPath.isEmpty() ? settingsfile::defaultPath(dataHome) : settingsPath)
    , m_marks(m_settingsPath)
    , m_options(Options::defaultsIn(dataHome))
    , m_run(m_log)
    , m_lock(dataHome)
{
    QObject::connect(&m_run, &DownloadRun::pageChanged, &m_run,
                     [this](const QString &name) { m_marks.mark(name); });
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
    if (QString error; !writeLogFile(&error))
        summary.logFileError = error;
    // The pages are stored all the same; only the bold names would be lost.
    if (QString error; !m_marks.write(&error))
        summary.marksError = error;
    m_lock.unlock();
    return summary;
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
