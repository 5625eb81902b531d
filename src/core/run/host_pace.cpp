// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/host_pace.h"

#include <QUrl>

QString HostPace::serverOf(const QString &address)
{
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == u"https" ? 443 : scheme == u"http" ? 80 : -1);
    // QUrl gives the host in lower case (and an internationalised name in its ACE form).
    return scheme + QLatin1String("://") + url.host(QUrl::EncodeUnicode) + u':' + QString::number(port);
}

HostPace::Check HostPace::check(const QString &server, qint64 nowNs) const
{
    // An address without a host reaches no server: it fails at once, paced by nothing.
    const auto it = m_servers.constFind(server);
    if (server.isEmpty() || it == m_servers.cend())
        return {};
    const Server &s = *it;
    if (!s.refusal.isEmpty())
        return {.verdict = Verdict::Refused, .reason = s.refusal};
    if (s.running >= PerServer)
        return {.verdict = Verdict::Wait};
    const qint64 readyAt = qMax(s.startedOnce ? s.lastStartNs + SpacingNs : 0, s.notBeforeNs);
    if (nowNs < readyAt)
        return {.verdict = Verdict::Wait, .readyAtNs = readyAt};
    return {};
}

void HostPace::started(const QString &server, qint64 nowNs, Start what)
{
    if (server.isEmpty())
        return;
    Server &s = m_servers[server];
    s.lastStartNs = s.startedOnce ? qMax(s.lastStartNs, nowNs) : nowNs;
    s.startedOnce = true;
    if (what == Start::Handed)
        ++s.running;
}

void HostPace::ended(const QString &server)
{
    const auto it = m_servers.find(server);
    if (it != m_servers.end() && it->running > 0)
        --it->running;
}

void HostPace::waitUntil(const QString &server, qint64 untilNs)
{
    if (!server.isEmpty())
        m_servers[server].notBeforeNs = qMax(m_servers[server].notBeforeNs, untilNs);
}

void HostPace::refuse(const QString &server, const QString &reason)
{
    if (!server.isEmpty())
        m_servers[server].refusal = reason;
}
