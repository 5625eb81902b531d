#include "core/session.h"

Session::Session(const QString &programDir, const QString &settingsPath)
    : m_programDir(programDir)
    , m_settingsPath(settingsPath.isEmpty() ? settingsfile::defaultPath(programDir) : settingsPath)
    , m_options(Options::defaultsIn(programDir))
    , m_run(m_log)
{
}

Session::LoadResult Session::load()
{
    LoadResult result;
    result.report = settingsfile::load(m_settingsPath, m_entries, m_options);
    if (m_options.logOn) {
        switch (m_log.seedFromFile(m_options.logPath)) {
        case RunLog::Seed::Unreadable:
            result.unreadableLog = m_options.logPath;
            break;
        case RunLog::Seed::Foreign:
            result.foreignLog = m_options.logPath;
            break;
        case RunLog::Seed::Seeded:
        case RunLog::Seed::NoFile:
            break;
        }
    }
    return result;
}

bool Session::save(int &followed, const settingsfile::SdataLists &sdata, QString *error,
                   bool *wroteUtf8)
{
    return settingsfile::save(m_settingsPath, m_entries, m_options, sdata, followed, error,
                              wroteUtf8);
}

void Session::startRun()
{
    m_run.start(m_entries, m_options.dirName, m_options.timeout);
}

bool Session::writeLogFile(QString *error) const
{
    return !m_options.logOn || m_log.writeFile(m_options.logPath, m_settingsPath, error);
}
