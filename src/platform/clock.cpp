// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/clock.h"

#include <QLocale>
#include <QTime>

namespace vclock {
namespace {

qint64 g_offsetMs = 0;

// The locale's short time form with seconds added where it has none: Windows' default time
// text shows seconds, while Qt's long form would add a time zone name.
QString timeFormatWithSeconds()
{
    QString fmt = QLocale::system().timeFormat(QLocale::ShortFormat);
    if (!fmt.contains(QLatin1Char('s'))) {
        const qsizetype mm = fmt.indexOf(QLatin1String("mm"));
        if (mm >= 0)
            fmt.insert(mm + 2, QLatin1String(":ss"));
        else
            fmt = QStringLiteral("H:mm:ss");
    }
    return fmt;
}

} // namespace

QDateTime now()
{
    return QDateTime::currentDateTime().addMSecs(g_offsetMs);
}

QString Date()
{
    return QLocale::system().toString(now().date(), QLocale::ShortFormat);
}

QString Time()
{
    return QLocale::system().toString(now().time(), timeFormatWithSeconds());
}

double Timer()
{
    return now().time().msecsSinceStartOfDay() / 1000.0;
}

QString Format(const QDate &date, const QString &pattern)
{
    if (pattern == u"d")
        return QString::number(date.day());
    if (pattern == u"dd")
        return QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
    if (pattern == u"m")
        return QString::number(date.month());
    if (pattern == u"mm")
        return QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
    if (pattern == u"yy")
        return QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'));
    if (pattern == u"yyyy")
        return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
    if (pattern == u"yyyymmdd")
        return Format(date, QStringLiteral("yyyy")) + Format(date, QStringLiteral("mm"))
               + Format(date, QStringLiteral("dd"));
    return {};
}

void setNow(const QDateTime &when)
{
    g_offsetMs = QDateTime::currentDateTime().msecsTo(when);
}

void reset()
{
    g_offsetMs = 0;
}

} // namespace vclock
