// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>
#include <utility>

// The header lines of an answer, in the order the server sent them. Names are looked up
// ignoring letter case, as HTTP compares them.
class ResponseHeaders
{
public:
    using Line = std::pair<QByteArray, QByteArray>;

    void append(const QByteArray &name, const QByteArray &value) { m_lines.append({name, value}); }
    // The first line of that name, nullopt when there is none.
    std::optional<QByteArray> value(QByteArrayView name) const;
    // Every line of that name, in order.
    QByteArrayList values(QByteArrayView name) const;
    const QList<Line> &lines() const { return m_lines; }
    bool isEmpty() const { return m_lines.isEmpty(); }

    friend bool operator==(const ResponseHeaders &, const ResponseHeaders &) = default;

private:
    QList<Line> m_lines;
};

// What a conditional request sends back of the answer a stored page came in: the ETag exactly
// as received (a weak one too) and the server's own Last-Modified. Either may be empty.
struct Validators {
    QByteArray etag{};
    QByteArray lastModified{};

    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
    friend bool operator==(const Validators &, const Validators &) = default;
};

// How one transfer ended, handed over whole when it ends: nothing is read from the transfer
// afterwards.
struct TransferResult {
    // What the caller may have to act on; the text for the user is in `error`.
    enum class Failure {
        None,
        // Not an address that can be fetched (given, or where a redirect led).
        Address,
        // No whole answer: the host not found, the connection refused, cut or reset, TLS.
        Connection,
        // The transfer's own time limit passed.
        TimedOut,
        // An answer came, but not a page: a status other than 200 to 203, or a 304 to a
        // request that sent no validators.
        Status,
        // An answer that cannot be trusted: lengths that disagree, too many redirects.
        BadAnswer,
    };

    Failure failure = Failure::None;
    // The final answer's status line; 0 and empty when none came.
    int status = 0;
    QByteArray reason{};
    // The final answer's header lines (also of an answer that is no page). Content-Length and
    // Content-Encoding tell of the body as it was sent.
    ResponseHeaders headers{};
    // The page as a browser shows it (decoded when the server compressed it), at most the
    // transfer's limit; empty unless the transfer succeeded.
    QByteArray body{};
    // The page was longer than the limit and is cut at it.
    bool cut = false;
    // Why it failed, in the words the log gives; empty on success.
    QString error{};

    bool ok() const { return failure == Failure::None; }
    // The status and its reason as the server put them: "304 Not Modified".
    QString statusText() const;
    // A 304 to the validators sent: the page stored before is the page, and no body came.
    bool notModified() const { return ok() && status == 304; }
};

// The wait a 429 or 503 answer asked for in its Retry-After, in seconds or as an HTTP date:
// milliseconds from `now`, 0 for a date gone by. nullopt for any other answer, or a Retry-After
// that is missing or does not read.
std::optional<qint64> RetryAfterMs(const TransferResult &result, const QDateTime &now);

Q_DECLARE_METATYPE(TransferResult)
