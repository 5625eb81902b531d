// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace cli {

struct Texts;

// `vekanto --run-all`: the window's full run over the list of one settings file, with the
// same options, files and log, shown on a terminal instead of a window. Each log line goes to
// standard output as it is logged; on a terminal a progress line is redrawn under them.
class UnattendedRun : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnattendedRun)

public:
    UnattendedRun(const QString &settingsPath, bool quiet, const Texts &texts);

    // Runs the list to its end (or to SIGINT/SIGTERM) and returns the exit status.
    int exec();
    // What the run did, once exec() has run it.
    const RunSummary &summary() const { return m_summary; }

private:
    int refuse(const QString &message);
    void interrupt(const QString &signalName);
    void printLog(const QString &text);
    void drawProgress();
    void clearProgress();

    Session m_session;
    const Texts &m_texts;
    const bool m_quiet;
    bool m_progressShown = false;
    bool m_progressDrawn = false;
    QString m_counter;
    RunSummary m_summary;
    QString m_interruptedBy;
    QElapsedTimer m_clock;
    QTimer m_progressTimer;
    QEventLoop m_loop;
};

} // namespace cli
