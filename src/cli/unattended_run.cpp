// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/unattended_run.h"

#include "cli/cli_texts.h"
#include "cli/exit_status.h"
#include "cli/output.h"
#include "cli/stop_signals.h"
#include "core/store/page_store.h"
#include "platform/windir.h"

#include <QFileInfo>

#include <unistd.h>

namespace cli {
namespace {

constexpr int ProgressRedrawMs = 1000;

QString minutesAndSeconds(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

UnattendedRun::UnattendedRun(const QString &settingsPath, bool quiet, const Texts &texts)
    : m_session(GetWindowsDirectory(), settingsPath)
    , m_texts(texts)
    , m_quiet(quiet)
    // A file or a pipe gets the log lines alone.
    , m_progressShown(!quiet && ::isatty(STDOUT_FILENO))
{
    m_progressTimer.setInterval(ProgressRedrawMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &UnattendedRun::drawProgress);
}

int UnattendedRun::refuse(const QString &message)
{
    write(stderr, message + QLatin1Char('\n'));
    return ExitStatus::NotStarted;
}

int UnattendedRun::exec()
{
    // Taken before the settings are read: a run under way may be about to write its log.
    QString holder;
    if (!m_session.beginRun(&holder))
        return refuse(m_texts.locked.arg(holder));
    if (!QFileInfo::exists(m_session.settingsPath()))
        return refuse(m_texts.settingsMissing.arg(m_session.settingsPath()));
    const Session::LoadResult loaded = m_session.load();
    if (!loaded.report.unreadable.isEmpty())
        return refuse(m_texts.settingsUnreadable.arg(loaded.report.unreadable));
    // Written over at the end, it would lose the earlier log.
    if (!loaded.unreadableLog.isEmpty())
        return refuse(m_texts.logUnreadable.arg(loaded.unreadableLog));
    QString detail;
    if (!pagestore::CheckDataFolder(m_session.options().dirName, &detail))
        return refuse(m_texts.dataFolder.arg(detail));

    StopSignals stopSignals;
    connect(&stopSignals, &StopSignals::received, this, &UnattendedRun::interrupt);
    DownloadRun &run = m_session.run();
    if (!m_quiet)
        connect(&m_session.log(), &RunLog::appended, this, &UnattendedRun::printLog);
    // A connection was given back.
    connect(&run, &DownloadRun::entryEnded, this, &UnattendedRun::drawProgress);
    connect(&run, &DownloadRun::finished, &m_loop, &QEventLoop::quit);
    if (m_progressShown) {
        connect(&run, &DownloadRun::counterChanged, this, [this](const QString &counter) {
            m_counter = counter;
            drawProgress();
        });
        m_counter = QStringLiteral("0/%1").arg(m_session.entries().EntryCount);
        m_progressTimer.start();
    }

    m_clock.start();
    m_session.startRun();
    m_loop.exec();
    m_progressTimer.stop();
    clearProgress();

    m_summary = m_session.finishRun();
    int status = ExitStatus::Stored;
    if (!m_summary.logFileError.isEmpty()) {
        write(stderr, m_texts.logWriteFailed.arg(m_session.options().logPath + QLatin1String(": ")
                                                 + m_summary.logFileError)
                          + QLatin1Char('\n'));
        status = ExitStatus::NotAllStored;
    }
    // The pages are stored all the same; only the window's bold names are lost.
    if (!m_summary.marksError.isEmpty())
        write(stderr, m_texts.marksWriteFailed.arg(m_session.marks().path() + QLatin1String(": ")
                                                   + m_summary.marksError)
                          + QLatin1Char('\n'));

    if (!m_interruptedBy.isEmpty()) {
        write(stderr, m_texts.interrupted.arg(m_interruptedBy) + QLatin1Char('\n'));
        status = ExitStatus::NotAllStored;
    }
    const QList<EntryEnd> failures = m_summary.notStored();
    if (!failures.isEmpty()) {
        QString lines;
        for (const EntryEnd &end : failures)
            lines += QStringLiteral("  %1  %2\n").arg(end.name, end.address);
        write(stderr, m_texts.notStored.arg(failures.size()).arg(m_summary.entries.size())
                          + QLatin1Char('\n') + lines);
        status = ExitStatus::NotAllStored;
    }
    return status;
}

// As STOP: no further entry, every transfer cancelled, the stop line logged.
void UnattendedRun::interrupt(const QString &signalName)
{
    if (!m_session.run().isActive())
        return;
    m_interruptedBy = signalName;
    m_session.run().stop();
    m_loop.quit();
}

// The log's lines as the log file holds them: every appended piece starts a new line at each
// CR LF, so each line is printed whole as soon as it is logged.
void UnattendedRun::printLog(const QString &text)
{
    const QStringList pieces = text.split(QLatin1String("\r\n"));
    QString lines;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0 || !pieces.at(i).isEmpty())
            lines += pieces.at(i) + QLatin1Char('\n');
    }
    clearProgress();
    write(stdout, lines);
    if (m_progressShown)
        drawProgress();
}

void UnattendedRun::drawProgress()
{
    if (!m_progressShown)
        return;
    write(stdout, QLatin1Char('\r')
                      + m_texts.progress.arg(m_counter)
                            .arg(m_session.run().connections().busyCount())
                            .arg(minutesAndSeconds(m_clock.elapsed()))
                      + QLatin1String("\x1b[K"));
    m_progressDrawn = true;
}

void UnattendedRun::clearProgress()
{
    if (m_progressDrawn)
        write(stdout, QStringLiteral("\r\x1b[K"));
    m_progressDrawn = false;
}

} // namespace cli
