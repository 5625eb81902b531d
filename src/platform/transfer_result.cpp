// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/transfer_result.h"

#include <curl/curl.h>

#include <algorithm>

namespace {

bool sameName(const QByteArray &a, QByteArrayView b)
{
    return QByteArrayView(a).compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<QByteArray> ResponseHeaders::value(QByteArrayView name) const
{
    for (const Line &line : m_lines) {
        if (sameName(line.first, name))
            return line.second;
    }
    return std::nullopt;
}

QByteArrayList ResponseHeaders::values(QByteArrayView name) const
{
    QByteArrayList found;
    for (const Line &line : m_lines) {
        if (sameName(line.first, name))
            found << line.second;
    }
    return found;
}

QString TransferResult::statusText() const
{
    const QString number = QString::number(status);
    return reason.isEmpty() ? number : number + u' ' + QString::fromLatin1(reason);
}

std::optional<qint64> RetryAfterMs(const TransferResult &result, const QDateTime &now)
{
    if (result.status != 429 && result.status != 503)
        return std::nullopt;
    const std::optional<QByteArray> value = result.headers.value("Retry-After");
    if (!value)
        return std::nullopt;
    const QByteArray text = value->trimmed();
    // A wait longer than this is no wait a run could keep to; it also keeps the sums in range.
    constexpr qint64 LongestMs = qint64(365) * 24 * 3600 * 1000;
    if (!text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qint64 seconds = text.toLongLong(&ok);
        return ok ? qMin(seconds, LongestMs / 1000) * 1000 : LongestMs;
    }
    // Curl reads the three date forms HTTP allows (IMF-fixdate, RFC 850, asctime).
    const time_t date = curl_getdate(text.constData(), nullptr);
    if (date == -1)
        return std::nullopt;
    return qBound(qint64(0), qint64(date) * 1000 - now.toMSecsSinceEpoch(), LongestMs);
}
