// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/failed_marks.h"

#include "core/history/mark_file.h"
#include "core/list/entry_name.h"
#include "core/run/run_report.h"
#include "platform/atomic_file.h"

namespace {

// A reason is one line of the file: curl's texts and a server's status may hold anything.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    }
    return text;
}

} // namespace

FailedMarks::FailedMarks(const QString &settingsPath)
    : m_path(markfile::PathBeside(settingsPath, QStringLiteral("failed")))
{
}

qsizetype FailedMarks::find(const QString &name) const
{
    for (qsizetype i = 0; i < m_marks.size(); ++i) {
        // Two names of one folder are one entry.
        if (entryname::sameFolder(m_marks.at(i).first, name))
            return i;
    }
    return -1;
}

void FailedMarks::reload()
{
    m_marks.clear();
    for (const QString &line : markfile::ReadLines(m_path)) {
        const QString name = line.section(u'\t', 0, 0);
        if (!name.isEmpty() && find(name) < 0)
            m_marks.append({name, line.section(u'\t', 1)});
    }
}

std::optional<QString> FailedMarks::reason(const QString &name) const
{
    const qsizetype at = find(name);
    return at < 0 ? std::nullopt : std::optional<QString>(m_marks.at(at).second);
}

bool FailedMarks::record(const RunSummary &summary, QString *error)
{
    reload();
    bool changed = false;
    for (const EntryEnd &end : summary.entries) {
        // Not got to: the entry's last fetch is still the one before.
        if (end.ending == Ending::Cancelled)
            continue;
        const qsizetype at = find(end.name);
        if (!IsFailure(end.ending)) {
            if (at >= 0) {
                m_marks.removeAt(at);
                changed = true;
            }
        } else {
            const std::pair<QString, QString> mark{end.name, oneLine(runreport::FailureReason(end))};
            if (at < 0)
                m_marks.append(mark);
            else if (m_marks.at(at) != mark)
                m_marks[at] = mark;
            else
                continue;
            changed = true;
        }
    }
    return !changed || save(error);
}

bool FailedMarks::rename(const QString &from, const QString &to, QString *error)
{
    reload();
    const qsizetype at = find(from);
    const qsizetype taken = entryname::sameFolder(from, to) ? -1 : find(to);
    if (at < 0 && taken < 0)
        return true;
    const QString reasonText = at >= 0 ? m_marks.at(at).second : QString();
    m_marks.removeIf([&](const std::pair<QString, QString> &mark) {
        return entryname::sameFolder(mark.first, from) || entryname::sameFolder(mark.first, to);
    });
    if (at >= 0)
        m_marks.append({to, reasonText});
    return save(error);
}

bool FailedMarks::save(QString *error)
{
    QByteArray text;
    for (const auto &[name, why] : std::as_const(m_marks))
        text += name.toUtf8() + '\t' + why.toUtf8() + '\n';
    return AtomicFile::writeWhole(m_path, text, error);
}
