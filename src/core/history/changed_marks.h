// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The entries whose page changed in a run and that the user has not looked at since. They are
// kept in a small file of their own beside the settings file (vek-changed.txt beside vek.ini),
// one name per line in UTF-8: by name, since SAVE renumbers the entries, and out of vek.ini,
// which keeps what it always kept.
class ChangedMarks
{
public:
    explicit ChangedMarks(const QString &settingsPath);
    Q_DISABLE_COPY_MOVE(ChangedMarks)

    QString path() const { return m_path; }

    // Reads the file again (an unattended run may have written it); marks not yet written stay.
    void reload();
    bool isMarked(const QString &name) const;
    // A mark held until write() puts it in the file.
    void mark(const QString &name);
    // Adds the marks held to the file as it is now.
    bool write(QString *error);
    // Takes the mark off, in the file too; true also when there was none.
    bool clear(const QString &name, QString *error);
    // A renamed entry keeps its mark, held or in the file; true also when there was none.
    bool rename(const QString &oldName, const QString &newName, QString *error);

private:
    bool save(QString *error);
    static bool contains(const QStringList &names, const QString &name);

    QString m_path;
    QStringList m_inFile;
    QStringList m_held;
};
