// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler's end [0] and the loop's end [1]; one StopSignals lives at a time.
int g_pipe[2] = {-1, -1};

} // namespace

StopSignals::StopSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        qFatal("socketpair: %s", strerror(errno));
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = &StopSignals::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::handler(int signal)
{
    const int saved = errno;
    const char number = char(signal);
    // Nothing to do when the pipe is full: a stop is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &number, 1);
    errno = saved;
}

void StopSignals::readPipe()
{
    char number = 0;
    if (::read(g_pipe[1], &number, 1) != 1)
        return;
    emit received(number == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}
