// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/settings_file.h"

#include "core/list/entry_name.h"
#include "core/list/entry_table.h"
#include "platform/codepage.h"
#include "platform/profile.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace settingsfile {
namespace {

const QString DataSection = QStringLiteral("DATA");
const QString OptionSection = QStringLiteral("Option");
const QString SdataSection = QStringLiteral("SDATA");

QString key(const char *stem, int n)
{
    return QLatin1String(stem) + QString::number(n);
}

// Stored numbers are 16-bit; anything else reads as 0.
qint16 toInt16(const QString &text, bool *ok)
{
    bool parsed = false;
    const int value = text.trimmed().toInt(&parsed);
    *ok = parsed && value >= -32768 && value <= 32767;
    return *ok ? qint16(value) : qint16(0);
}

// The reader trims blanks and takes off one pair of outer quotes, so a value that begins or
// ends with a blank or a quote goes inside quotes of its own to read back whole.
QString storedForm(const QString &value)
{
    const auto special = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'"' || c == u'\'';
    };
    if (!value.isEmpty() && (special(value.front()) || special(value.back())))
        return u'"' + value + u'"';
    return value;
}

} // namespace

QString defaultPath(const QString &dataHome)
{
    return dataHome + QLatin1String("/vek.ini");
}

LoadReport load(const QString &path, EntryTable &entries, Options &options)
{
    LoadReport report;
    QStringList badParents;
    Profile ini(path);
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !QFile(path).open(QIODevice::ReadOnly)))
        report.unreadable = path;

    for (int n = 1; n <= EntryTable::Kept; ++n) {
        entries.clear(n);
        if (const auto name = ini.value(DataSection, key("TEXT", n)))
            entries.EntryName(n) = entryname::trimBlanks(*name);
        if (entries.isFree(n)) {
            // A deleted marker or a blank name leaves the whole slot empty.
            entries.clear(n);
            continue;
        }
        if (const auto rule = ini.value(DataSection, key("cip", n)))
            entries.EntryRule(n) = *rule;
        if (const auto address = ini.value(DataSection, key("nip", n)))
            entries.EntryAddress(n) = *address;
        bool ok = true;
        if (const auto nname = ini.value(DataSection, key("nname", n)))
            entries.EntryNname(n) = toInt16(*nname, &ok);
        if (const auto root = ini.value(DataSection, key("root", n))) {
            entries.EntryParent(n) = toInt16(*root, &ok);
            if (!ok)
                badParents << entries.EntryName(n);
        }
        if (const auto ignore = ini.value(DataSection, key("ignore", n)))
            entries.EntryIgnore(n) = *ignore;
    }

    if (const auto value = ini.value(OptionSection, QStringLiteral("dirname")))
        options.dirName = *value;
    if (const auto value = ini.value(OptionSection, QStringLiteral("logpath")))
        options.logPath = *value;
    if (const auto value = ini.value(OptionSection, QStringLiteral("logsw"))) {
        bool ok = false;
        const qint16 sw = toInt16(*value, &ok);
        if (ok)
            options.logOn = sw == 1;
    }
    if (const auto value = ini.value(OptionSection, QStringLiteral("dtime")))
        options.timeout = *value;
    // A limit that is no positive number keeps every copy.
    for (auto [keyName, limit] : {std::pair{"keepdays", &options.keepDays}, std::pair{"keepvers", &options.keepVersions}}) {
        if (const auto value = ini.value(OptionSection, QLatin1String(keyName))) {
            bool ok = false;
            const int n = value->trimmed().toInt(&ok);
            *limit = ok && n > 0 ? n : 0;
        }
    }
    if (const auto value = ini.value(OptionSection, QStringLiteral("notify"))) {
        bool ok = false;
        const qint16 sw = toInt16(*value, &ok);
        if (ok)
            options.notify = sw != 0;
    }
    // Off is stored as no key (see save), so no key reads as off.
    bool ok = false;
    const std::optional<QString> hostPace = ini.value(OptionSection, QStringLiteral("hostpace"));
    options.hostPace = hostPace && toInt16(*hostPace, &ok) == 1 && ok;

    entries.settleParents(&report.placedAtTop);
    report.placedAtTop += badParents;
    report.placedAtTop.removeDuplicates();
    for (int n = 1; n <= EntryTable::Kept; ++n) {
        if (entries.isOccupied(n) && entries.folderOwner(entries.EntryName(n), n) != 0)
            report.sharedFolders << entries.EntryName(n);
    }
    return report;
}

Saved save(const QString &path, EntryTable &entries, const Options &options,
           const SdataLists &sdata, int selected)
{
    Saved saved;
    saved.selected = entries.sort(entries.compact(selected));

    Profile ini(path);
    // A home folder "Müller" or an entry "café" must come back as typed after a restart.
    ini.setUtf8WhenNeeded(true);
    bool written = true;
    const auto write = [&](const QString &section, const QString &keyName,
                           const std::optional<QString> &value) {
        written = ini.WritePrivateProfileString(section, keyName, value) && written;
    };
    for (int n = 1; n <= EntryTable::Kept; ++n) {
        if (entries.isEmpty(n)) {
            // Keys of an earlier, longer list must not come back at the next load, nor the
            // duplicates that deleting the first of them uncovers.
            for (const char *stem : {"TEXT", "NIP", "CIP", "ROOT", "nname", "IGNORE"}) {
                while (ini.value(DataSection, key(stem, n)))
                    write(DataSection, key(stem, n), std::nullopt);
            }
            continue;
        }
        for (auto [stem, column] : {std::pair{"TEXT", &entries.EntryName},
                                    std::pair{"NIP", &entries.EntryAddress},
                                    std::pair{"CIP", &entries.EntryRule}})
            write(DataSection, key(stem, n), storedForm((*column)(n)));
        write(DataSection, key("ROOT", n), QString::number(entries.EntryParent(n)));
        write(DataSection, key("nname", n), QString::number(entries.EntryNname(n)));
        // Only where there is one, so a list without any writes the file it always wrote; a
        // key another list left behind goes with its duplicates.
        if (!entries.EntryIgnore(n).isEmpty())
            write(DataSection, key("IGNORE", n), storedForm(entries.EntryIgnore(n)));
        else
            while (ini.value(DataSection, key("IGNORE", n)))
                write(DataSection, key("IGNORE", n), std::nullopt);
        // A marker is written as the original wrote it and reads back as an empty slot.
        if (entries.isDeleted(n))
            entries.clear(n);
    }

    const qsizetype items = sdata(0).size();
    for (qsizetype i = 1; i < items; ++i) {
        for (int c = SdataLists::lower; c <= SdataLists::upper; ++c)
            write(SdataSection, QStringLiteral("cmb%1%2").arg(c).arg(i), sdata(c).value(i));
    }
    write(SdataSection, QStringLiteral("cnt"), QString::number(items));

    write(OptionSection, QStringLiteral("dirname"), storedForm(options.dirName));
    write(OptionSection, QStringLiteral("logpath"), storedForm(options.logPath));
    write(OptionSection, QStringLiteral("logsw"),
          options.logOn ? QStringLiteral("1") : QStringLiteral("0"));
    write(OptionSection, QStringLiteral("dtime"), storedForm(options.timeout));
    // Only a limit that is set is written, so a list that keeps everything keeps its file as ever.
    for (auto [keyName, limit] : {std::pair{"keepdays", options.keepDays}, std::pair{"keepvers", options.keepVersions}})
        write(OptionSection, QLatin1String(keyName), limit > 0 ? std::optional(QString::number(limit)) : std::nullopt);
    // Likewise the notification, on unless switched off.
    write(OptionSection, QStringLiteral("notify"),
          options.notify ? std::nullopt : std::optional(QStringLiteral("0")));
    // Off is no key at all, so a file that never had the option keeps the lines it always had;
    // a second key, which deleting the first would uncover, goes too.
    const QString hostPaceKey = QStringLiteral("hostpace");
    while (ini.value(OptionSection, hostPaceKey)) {
        if (!ini.WritePrivateProfileString(OptionSection, hostPaceKey, std::nullopt)) {
            written = false;
            break;
        }
    }
    if (options.hostPace)
        write(OptionSection, hostPaceKey, QStringLiteral("1"));
    QString error;
    written = ini.flush(&error) && written;

    // A file in CP932 keeps each text as the code page stores it, so memory matches the file.
    if (written && !ini.wroteUtf8()) {
        for (int n = 1; n <= EntryTable::Kept; ++n) {
            for (auto *column : {&entries.EntryName, &entries.EntryAddress, &entries.EntryRule,
                                 &entries.EntryIgnore})
                (*column)(n) = codepage::roundTrip((*column)(n));
        }
    }
    saved.written = written;
    saved.utf8 = written && ini.wroteUtf8();
    entries.settleParents(nullptr);
    if (!written)
        saved.error = error;
    return saved;
}

} // namespace settingsfile
