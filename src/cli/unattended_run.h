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
// standard output as it is logged; on a terminal a progress line is redrawn under them. At the
// end it says which pages changed and which entries failed, on standard output and in a desktop
// notification, whose action it waits for a while to open the history in a window.
class UnattendedRun : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnattendedRun)

public:
    // `notify` false: no notification for this run, whatever the settings file says.
    UnattendedRun(const QString &settingsPath, bool quiet, const Texts &texts, bool notify = true);

    // How long the notification's action is waited for after the run, at most: the server tells
    // the choice only to the process that sent it. A server that closes its notification (most
    // do after a few seconds) ends the wait sooner.
    static constexpr int ActionWaitMs = 5 * 60 * 1000;

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
    void printSummary();
    // Until the notification's action is chosen (then its history opens in a window), its server
    // closes it, a signal comes or ActionWaitMs have passed.
    void waitForAction();
    void openHistory(const QString &name);

    Session m_session;
    const Texts &m_texts;
    const bool m_quiet;
    const bool m_notify;
    bool m_progressShown = false;
    bool m_progressDrawn = false;
    QString m_counter;
    RunSummary m_summary;
    QString m_interruptedBy;
    QElapsedTimer m_clock;
    QTimer m_progressTimer;
    QEventLoop m_loop;
    QEventLoop *m_waiting = nullptr;
};

} // namespace cli
