// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>

// The pace per server of a run with 「サーバーごとに間隔を空ける」: an entry of a server (scheme,
// host and port) may start only when no entry of that server started less than Spacing ago,
// fewer than PerServer of its entries are running, and the wait it asked for (Retry-After) is
// over. A server that asked for a wait the run cannot keep refuses the rest of its entries.
// Times are nanoseconds on one monotonic clock of the caller's.
class HostPace
{
public:
    static constexpr qint64 SpacingNs = 500'000'000;
    static constexpr int PerServer = 2;

    // The server of an address: scheme, host and port (the scheme's own when none is written),
    // in lower case, as "http://host:80"; empty when the address names no host.
    static QString serverOf(const QString &address);

    enum class Verdict { Start, Wait, Refused };
    struct Check {
        Verdict verdict = Verdict::Start;
        // For Wait: when it may start, or -1 when it waits for one of the server's transfers to end.
        qint64 readyAtNs = -1;
        // For Refused: why, as the answer that asked for the wait told it.
        QString reason{};
    };
    Check check(const QString &server, qint64 nowNs) const;

    // An entry of the server was handed to a slot (counted as running until ended), or its
    // request went out: the server's 500 ms count from the later of the two.
    enum class Start { Handed, Sent };
    void started(const QString &server, qint64 nowNs, Start what);
    void ended(const QString &server);
    // The server asked for a wait: its later entries start from untilNs on.
    void waitUntil(const QString &server, qint64 untilNs);
    // The server asked for a longer wait than the run keeps to: its later entries are refused.
    void refuse(const QString &server, const QString &reason);
    void clear() { m_servers.clear(); }

private:
    struct Server {
        qint64 lastStartNs = 0;
        bool startedOnce = false;
        int running = 0;
        qint64 notBeforeNs = 0;
        QString refusal{};
    };
    QHash<QString, Server> m_servers;
};
