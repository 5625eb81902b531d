#include "core/session.h"

#include <QFile>
#include <QFileInfo>

Session::Session(const QString &programDir, const QString &settingsPath)
    : m_programDir(programDir)
    , m_settingsPath(settingsPath.isEmpty() ? settingsfile::defaultPath(programDir) : settingsPath)
    , m_marks(m_settingsPath)
    , m_options(Options::defaultsIn(programDir))
    , m_run(m_log)
    , m_lock(programDir)
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

bool Session::save(int &followed, const settingsfile::SdataLists &sdata, QString *error,
                   bool *wroteUtf8)
{
    return settingsfile::save(m_settingsPath, m_entries, m_options, sdata, followed, error,
                              wroteUtf8);
}

bool Session::beginRun(QString *holder)
{
    if (m_lock.tryLock())
        return true;
    if (holder)
        *holder = m_lock.holder();
    return false;
}

void Session::endRun()
{
    m_lock.unlock();
}

bool Session::startRun(QString *holder)
{
    if (!beginRun(holder))
        return false;
    m_run.start(m_entries, m_options.dirName, m_options.timeout);
    return true;
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
