// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives full runs on the core alone: the list and options come from vek.ini, a run is
// started as the window starts one, and its status lines, counter and log are watched.

#include "support/fixtures.h"

#include "core/run/download_run.h"
#include "core/run/run_texts.h"
#include "core/session.h"
#include "platform/windir.h"

#include <QHash>
#include <QTest>

namespace rundriver {

using namespace fixtures;

// A session started over vek.ini, with its run watched.
class Program
{
public:
    Program()
        : session(GetWindowsDirectory())
    {
        loaded = session.load();
        DownloadRun &run = session.run();
        QObject::connect(&run, &DownloadRun::statusChanged, &run, [this](int slot, const QString &text) {
            statuses.append({slot, text});
            shown[slot] = text;
        });
        QObject::connect(&run, &DownloadRun::counterChanged, &run,
                         [this](const QString &text) { counter = text; });
        QObject::connect(&run, &DownloadRun::finished, &run, [this] { ++finished; });
    }

    DownloadRun &run() { return session.run(); }
    QString log() const { return session.log().text(); }
    // The status line a slot shows now.
    QString status(int slot) const { return shown.value(slot, RunText::Idle); }

    // Starts a full run; true once it has ended.
    bool runAll(int timeoutMs)
    {
        session.startRun();
        return QTest::qWaitFor([this] { return !session.run().isActive(); }, timeoutMs);
    }

    // The status lines one slot showed from `from` on, up to the next start on that slot.
    QStringList statusesFrom(int slot, qsizetype from) const
    {
        QStringList texts;
        for (qsizetype i = from; i < statuses.size(); ++i) {
            if (statuses.at(i).slot != slot)
                continue;
            if (i > from && statuses.at(i).text.startsWith(RunText::Connecting))
                break;
            texts << statuses.at(i).text;
        }
        return texts;
    }
    // Where entry `name` was started: index into statuses, and the slot; -1 when never.
    qsizetype startOf(const QString &name, int *slot = nullptr) const
    {
        const QString text = RunText::Connecting + QLatin1String(" (") + name + QLatin1Char(')');
        for (qsizetype i = 0; i < statuses.size(); ++i) {
            if (statuses.at(i).text == text) {
                if (slot)
                    *slot = statuses.at(i).slot;
                return i;
            }
        }
        return -1;
    }

    Session session;
    Session::LoadResult loaded;
    QList<Status> statuses;
    QHash<int, QString> shown;
    QString counter = QStringLiteral("0");
    int finished = 0;
};

} // namespace rundriver
