#pragma once

// Drives full runs the way a user does: the list and options come from vek.ini at start-up,
// "全てダウンロード" is clicked, the end box is answered, and the progress dialog's widgets
// are read by objectName.

#include "support/msgbox_answerer.h"

#include "app/frm_vekmain.h"
#include "engine/frm_VEKDL.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/windir.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace enginedriver {

struct Entry {
    QString name;
    QString address;
    QString rule;
};

struct Options {
    QString dirName;
    QString timeout = QStringLiteral("60");
    bool keepLog = false;
    QString logPath;
};

inline QString iniPath()
{
    return GetWindowsDirectory() + QLatin1String("/vek.ini");
}

inline void writeIni(const QList<Entry> &entries, const Options &options)
{
    QString text = QStringLiteral("[DATA]\r\n");
    for (int n = 1; n <= entries.size(); ++n) {
        const Entry &e = entries.at(n - 1);
        text += QStringLiteral("TEXT%1=%2\r\nNIP%1=%3\r\nCIP%1=%4\r\nROOT%1=0\r\nnname%1=0\r\n")
                    .arg(n)
                    .arg(e.name, e.address, e.rule);
    }
    text += QStringLiteral("[Option]\r\ndirname=%1\r\nlogpath=%2\r\nlogsw=%3\r\ndtime=%4\r\n")
                .arg(options.dirName, options.logPath,
                     options.keepLog ? QStringLiteral("1") : QStringLiteral("0"), options.timeout);
    QFile file(iniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(iniPath()));
    file.write(codepage::toAnsi(text));
}

template<typename T>
T *widget(QWidget *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// One slot's status line as it changed, in order.
struct Status {
    int slot;
    QString text;
};

// The program started over vek.ini, with its progress dialog watched.
class Program
{
public:
    Program()
        : window(std::make_unique<frm_vekmain>())
    {
        window->Form_Load();
        dialog = window->Progress();
        QObject::connect(dialog, &frm_VEKDL::StatusChanged, dialog,
                         [this](int slot, const QString &text) { statuses.append({slot, text}); });
    }

    QPushButton *button(const char *name) { return widget<QPushButton>(window.get(), QLatin1String(name)); }
    QPushButton *stop() { return widget<QPushButton>(dialog, QStringLiteral("Command1")); }
    QPushButton *ok() { return widget<QPushButton>(dialog, QStringLiteral("Command2")); }
    QString counter() { return widget<QLabel>(dialog, QStringLiteral("tree_cnt"))->text(); }
    QString status(int slot) { return widget<QLabel>(dialog, QStringLiteral("Label3(%1)").arg(slot))->text(); }
    QString log() const { return dialog->LogText(); }
    QString shownLog() { return widget<QPlainTextEdit>(dialog, QStringLiteral("Text1"))->toPlainText(); }

    // Clicks "全てダウンロード"; true once the run has ended and OK is usable.
    bool runAll(int timeoutMs)
    {
        button("btn_dlstart")->click();
        return QTest::qWaitFor([this] { return ok()->isEnabled(); }, timeoutMs);
    }

    // The status lines one slot showed from `from` on, up to the next start on that slot.
    QStringList statusesFrom(int slot, qsizetype from) const
    {
        QStringList texts;
        for (qsizetype i = from; i < statuses.size(); ++i) {
            if (statuses.at(i).slot != slot)
                continue;
            if (i > from && statuses.at(i).text.startsWith(QStringLiteral("接続開始")))
                break;
            texts << statuses.at(i).text;
        }
        return texts;
    }
    // Where entry `name` was started: index into statuses, and the slot; -1 when never.
    qsizetype startOf(const QString &name, int *slot = nullptr) const
    {
        const QString text = QStringLiteral("接続開始 (") + name + QLatin1Char(')');
        for (qsizetype i = 0; i < statuses.size(); ++i) {
            if (statuses.at(i).text == text) {
                if (slot)
                    *slot = statuses.at(i).slot;
                return i;
            }
        }
        return -1;
    }

    std::unique_ptr<frm_vekmain> window;
    frm_VEKDL *dialog = nullptr;
    QList<Status> statuses;
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

inline QRegularExpression runStartLine()
{
    return QRegularExpression(QStringLiteral("^＊＊＊ ダウンロード開始\\(")
                              + QRegularExpression::escape(vclock::Date() + QLatin1Char(' '))
                              + timeRx() + QStringLiteral("\\) ＊＊＊$"));
}

inline QRegularExpression runEndLine()
{
    return QRegularExpression(QStringLiteral("^＊＊＊ ダウンロード終了\\(")
                              + QRegularExpression::escape(vclock::Date() + QLatin1Char(' '))
                              + timeRx() + QStringLiteral("\\) ＊＊＊$"));
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

} // namespace enginedriver
