// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/transfer_result.h"

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
