// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every test of a run or of the list needs: a settings file written as the program would
// find it, files read and written whole, and the log's lines with patterns to find them by.

#include "core/settings/settings_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/windir.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#include <sys/stat.h>
#include <optional>

namespace fixtures {

struct Entry {
    QString name{};
    QString address{};
    QString rule{};
    // The lines to ignore; no key when empty.
    QString ignore{};
};

struct Options {
    QString dirName{};
    QString timeout = QStringLiteral("60");
    bool keepLog = false;
    QString logPath{};
    // The limits on dated copies; written only when set.
    int keepDays = 0;
    int keepVersions = 0;
    // The notification switch; no key when unset.
    std::optional<bool> notify{};
    // 「サーバーごとに間隔を空ける」
    bool hostPace = false;
};

inline QString iniPath()
{
    return settingsfile::defaultPath(GetWindowsDirectory());
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The file on disk a path names (links followed), 0 when none.
inline ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Whether two paths are names of one file: hard links of each other.
inline bool sameFile(const QString &a, const QString &b)
{
    return inodeOf(a) != 0 && inodeOf(a) == inodeOf(b);
}

// A settings file with these root entries and options, in CP932.
inline void writeIni(const QList<Entry> &entries, const Options &options)
{
    QString text = QStringLiteral("[DATA]\r\n");
    for (int n = 1; n <= entries.size(); ++n) {
        const Entry &e = entries.at(n - 1);
        text += QStringLiteral("TEXT%1=%2\r\nNIP%1=%3\r\nCIP%1=%4\r\nROOT%1=0\r\nnname%1=0\r\n")
                    .arg(n)
                    .arg(e.name, e.address, e.rule);
        if (!e.ignore.isEmpty())
            text += QStringLiteral("IGNORE%1=%2\r\n").arg(n).arg(e.ignore);
    }
    text += QStringLiteral("[Option]\r\ndirname=%1\r\nlogpath=%2\r\nlogsw=%3\r\ndtime=%4\r\n")
                .arg(options.dirName, options.logPath,
                     options.keepLog ? QStringLiteral("1") : QStringLiteral("0"), options.timeout);
    if (options.keepDays > 0)
        text += QStringLiteral("keepdays=%1\r\n").arg(options.keepDays);
    if (options.keepVersions > 0)
        text += QStringLiteral("keepvers=%1\r\n").arg(options.keepVersions);
    if (options.notify)
        text += *options.notify ? QStringLiteral("notify=1\r\n") : QStringLiteral("notify=0\r\n");
    if (options.hostPace)
        text += QStringLiteral("hostpace=1\r\n");
    if (!writeFile(iniPath(), codepage::toAnsi(text)))
        qFatal("cannot write %s", qPrintable(iniPath()));
}

// A settings file with root entries e1 .. eCount, entry n with the address http://h/n and the
// rule r<n>, plus any extra lines for the [Option] section.
inline void writeList(int count, const QStringList &options = {})
{
    QByteArray text = "[DATA]\r\n";
    for (int n = 1; n <= count; ++n) {
        text += QStringLiteral("TEXT%1=e%1\r\nNIP%1=http://h/%1\r\nCIP%1=r%1\r\nROOT%1=0\r\nnname%1=1\r\n")
                    .arg(n)
                    .toLatin1();
    }
    if (!options.isEmpty())
        text += "[Option]\r\n" + options.join(QLatin1String("\r\n")).toLatin1() + "\r\n";
    if (!writeFile(iniPath(), text))
        qFatal("cannot write %s", qPrintable(iniPath()));
}

// One slot's status line as it changed, in order.
struct Status {
    int slot;
    QString text;
};

// Log lines: every line of the run log, split at CR LF.
inline QStringList lines(const QString &log)
{
    return log.split(QStringLiteral("\r\n"));
}

// A time as the log writes it: anything between the parentheses.
inline QString timeRx()
{
    return QStringLiteral("[^()\\r\\n]+");
}

inline QRegularExpression entryLine(const QString &name, const QString &text, bool detail = false)
{
    return QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(name + text)
                              + timeRx() + QStringLiteral("\\)") + (detail ? QStringLiteral(" .+$") : QStringLiteral("$")));
}

inline QRegularExpression runLine(const char *head)
{
    return QRegularExpression(QStringLiteral("^＊＊＊ ") + QString::fromUtf8(head) + QStringLiteral("\\(")
                              + QRegularExpression::escape(vclock::Date() + QLatin1Char(' '))
                              + timeRx() + QStringLiteral("\\) ＊＊＊$"));
}

inline QRegularExpression runStartLine()
{
    return runLine("ダウンロード開始");
}

inline QRegularExpression runEndLine()
{
    return runLine("ダウンロード終了");
}

inline QRegularExpression runStopLine()
{
    return QRegularExpression(QStringLiteral("^＊＊＊ ダウンロード中止 \\(") + timeRx()
                              + QStringLiteral("\\) ＊＊＊$"));
}

inline int indexOf(const QStringList &lines, const QRegularExpression &rx)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (rx.match(lines.at(i)).hasMatch())
            return i;
    }
    return -1;
}

inline int countOf(const QStringList &lines, const QRegularExpression &rx)
{
    int n = 0;
    for (const QString &line : lines)
        n += rx.match(line).hasMatch() ? 1 : 0;
    return n;
}

} // namespace fixtures
