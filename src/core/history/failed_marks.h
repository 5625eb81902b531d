// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/run/run_summary.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The entries whose last fetch failed, with the reason the log gave, until one is fetched
// again. Kept beside the changed marks, in a file of their own beside the settings file
// (vek-failed.txt beside vek.ini): one entry a line, its name, a tab and the reason, in UTF-8.
// By name, as the changed marks are, since SAVE renumbers the entries.
class FailedMarks
{
public:
    explicit FailedMarks(const QString &settingsPath);
    Q_DISABLE_COPY_MOVE(FailedMarks)

    QString path() const { return m_path; }

    // Reads the file again: an unattended run may have written it.
    void reload();
    // Why the entry's last fetch failed; nothing when it did not.
    std::optional<QString> reason(const QString &name) const;
    // The ends of a run, to the file as it is now: a failure marks its entry with its reason, a
    // page fetched takes its mark off, an entry the run did not get to (STOP) keeps its mark.
    bool record(const RunSummary &summary, QString *error);
    // An entry renamed: its mark goes with it, and one the new name had goes.
    bool rename(const QString &from, const QString &to, QString *error);

private:
    qsizetype find(const QString &name) const;
    bool save(QString *error);

    QString m_path;
    QList<std::pair<QString, QString>> m_marks;
};
