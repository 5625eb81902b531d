#pragma once

#include <QString>

// The four options that vek.ini keeps beside the list, as the user typed them.
struct Options {
    // The data folder; entries' folders are made under it.
    QString dirName;
    QString logPath;
    // "ログを残す": the run log is written to logPath when the progress window closes.
    bool logOn = false;
    // Seconds before a transfer is given up, as typed.
    QString timeout = QStringLiteral("60");

    // The defaults beside the program's own folder: "<dir>/" and "<dir>/VEKLOG.txt".
    static Options defaultsIn(const QString &programDir);
};

inline Options Options::defaultsIn(const QString &programDir)
{
    Options options;
    options.dirName = programDir + QLatin1Char('/');
    options.logPath = programDir + QLatin1String("/VEKLOG.txt");
    return options;
}
