// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/timeout_text.h"

namespace run {

std::optional<int> TimeoutSeconds(const QString &text)
{
    const QString digits = text.normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = !digits.isEmpty();
    for (const QChar ch : digits)
        ok = ok && ch >= u'0' && ch <= u'9';
    const int seconds = ok ? digits.toInt(&ok) : 0;
    if (!ok || seconds <= 0)
        return std::nullopt;
    return seconds;
}

} // namespace run
