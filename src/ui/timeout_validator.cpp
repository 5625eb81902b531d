// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/timeout_validator.h"

TimeoutValidator::TimeoutValidator(QObject *parent)
    : QValidator(parent)
{
}

QValidator::State TimeoutValidator::validate(QString &input, int &) const
{
    for (QChar &c : input) {
        if (c >= u'０' && c <= u'９')
            c = QChar(c.unicode() - (u'０' - u'0'));
    }
    if (input.isEmpty())
        return Intermediate;
    // A leading zero could only give a value that is no time-out at all, or a hidden one.
    if (input.size() > 4 || input.front() == u'0')
        return Invalid;
    for (const QChar c : std::as_const(input)) {
        if (c < u'0' || c > u'9')
            return Invalid;
    }
    return input.toInt() <= MaxSeconds ? Acceptable : Invalid;
}
