// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The options that vek.ini keeps beside the list, as the user typed them: the four the program
// always had, the optional limits on dated copies, the notification switch and the pace per
// server.
struct Options {
    // The data folder; entries' folders are made under it.
    QString dirName;
    QString logPath;
    // "ログを残す": the run log is written to logPath when the progress window closes.
    bool logOn = false;
    // Seconds before a transfer is given up, as typed.
    QString timeout = QStringLiteral("60");
    // A desktop notification after a run in which a page changed or an entry failed.
    bool notify = true;
    // Dated copies are kept this many days (today counts as one), and at most this many per
    // entry; 0 keeps them all. The newest dated copy and vek.htm are always kept.
    int keepDays = 0;
    int keepVersions = 0;
    // 「サーバーごとに間隔を空ける」: a full run paces its starts per server instead of one per tick.
    bool hostPace = false;

    // The defaults in the data home: "<dir>/" and "<dir>/VEKLOG.txt".
    static Options defaultsIn(const QString &dataHome);
};

inline Options Options::defaultsIn(const QString &dataHome)
{
    Options options;
    options.dirName = dataHome + QLatin1Char('/');
    options.logPath = dataHome + QLatin1String("/VEKLOG.txt");
    return options;
}
