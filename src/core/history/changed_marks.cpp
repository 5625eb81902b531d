// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/changed_marks.h"

#include "core/list/entry_name.h"
#include "platform/atomic_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

ChangedMarks::ChangedMarks(const QString &settingsPath)
{
    const QFileInfo settings(settingsPath);
    m_path = settings.path() + QLatin1Char('/') + settings.completeBaseName()
             + QLatin1String("-changed.txt");
}

// Two names of one folder are one entry.
bool ChangedMarks::contains(const QStringList &names, const QString &name)
{
    return std::any_of(names.begin(), names.end(),
                       [&name](const QString &n) { return entryname::sameFolder(n, name); });
}

void ChangedMarks::reload()
{
    m_inFile.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty() && !contains(m_inFile, line))
            m_inFile << line;
    }
}

bool ChangedMarks::isMarked(const QString &name) const
{
    return contains(m_inFile, name) || contains(m_held, name);
}

void ChangedMarks::mark(const QString &name)
{
    if (!contains(m_held, name))
        m_held << name;
}

bool ChangedMarks::write(QString *error)
{
    if (m_held.isEmpty())
        return true;
    reload();
    for (const QString &name : std::as_const(m_held)) {
        if (!contains(m_inFile, name))
            m_inFile << name;
    }
    m_held.clear();
    return save(error);
}

bool ChangedMarks::clear(const QString &name, QString *error)
{
    const auto sameEntry = [&name](const QString &n) { return entryname::sameFolder(n, name); };
    m_held.removeIf(sameEntry);
    reload();
    if (m_inFile.removeIf(sameEntry) == 0)
        return true;
    return save(error);
}

bool ChangedMarks::rename(const QString &oldName, const QString &newName, QString *error)
{
    const auto oldEntry = [&oldName](const QString &n) { return entryname::sameFolder(n, oldName); };
    if (m_held.removeIf(oldEntry) != 0)
        mark(newName);
    reload();
    if (m_inFile.removeIf(oldEntry) == 0)
        return true;
    if (!contains(m_inFile, newName))
        m_inFile << newName;
    return save(error);
}

bool ChangedMarks::save(QString *error)
{
    QByteArray text;
    for (const QString &name : std::as_const(m_inFile))
        text += name.toUtf8() + '\n';
    return AtomicFile::writeWhole(m_path, text, error);
}
