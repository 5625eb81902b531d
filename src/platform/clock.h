// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Date, Time, Timer and Format of the original platform, on the local clock.
// Tests move the clock; it keeps running from the time they set.
namespace vclock {

QDateTime now();

// The local date in the locale's short date form ("2026/12/08" in Japanese).
QString Date();
// The local time with seconds and without a time zone ("4:05:09" in Japanese).
QString Time();
// Seconds since local midnight, with fraction.
double Timer();

// The date patterns of the rule language and the dated folder: d dd m mm yy yyyy yyyymmdd.
// Any other pattern gives an empty text.
QString Format(const QDate &date, const QString &pattern);

// Test seam: from now on the clock reads as if it had been set to `when` at this moment.
void setNow(const QDateTime &when);
void reset();

} // namespace vclock
