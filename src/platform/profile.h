// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The two Windows profile calls over an ini file in CP932, with Windows' semantics:
// case-insensitive sections and keys, first match wins, blanks trimmed, one pair of outer
// quotes removed, results truncated to the buffer, defaults for whatever is missing, and
// writes that keep every other line where it was.
//
// A Profile works on a cached copy of one file: it reads the file on first use and writes
// it back, atomically, on flush(). The free functions below open, use and flush one at once.
class Profile
{
public:
    explicit Profile(QString fileName);

    // The value of a key, whole, as GetPrivateProfileString reads it (trimmed, one pair of outer
    // quotes removed); nullopt when the file, the section or the key is not there or the file
    // cannot be read.
    std::optional<QString> value(const QString &appName, const QString &keyName);

    // Copies at most size-1 characters of the value (or of the default, with its trailing
    // blanks dropped) into returned and gives the count copied. size <= 0 copies nothing.
    qint32 GetPrivateProfileString(const QString &appName, const QString &keyName,
                                   const QString &defaultValue, QString &returned, qint32 size);

    // value == nullopt deletes the key; keyName == nullopt deletes the whole section.
    // Changes stay in the cache until flush(). Returns false when the file can't be read.
    bool WritePrivateProfileString(const QString &appName, const std::optional<QString> &keyName,
                                   const std::optional<QString> &value);

    // As Windows writes it, a character outside CP932 becomes "?". With this set, a file
    // whose changed lines hold such a character is written whole in UTF-8 behind a byte-order
    // mark instead (reading recognises the mark), so nothing is lost; a file CP932 can hold
    // stays CP932 byte for byte.
    void setUtf8WhenNeeded(bool on) { m_utf8WhenNeeded = on; }

    // Replaces the file atomically when something changed. False, with why, when it could not
    // (the old file is then intact), or when a write could not read the file first.
    bool flush(QString *error = nullptr);
    // Whether the last flush wrote UTF-8.
    bool wroteUtf8() const { return m_wroteUtf8; }

private:
    // One line of the file. An untouched line points into m_raw and m_text, so loading a
    // big file allocates nothing per line, and its bytes are written back as they were even
    // when they don't decode cleanly.
    struct Line {
        qsizetype rawStart = -1; // -1: changed, written from own
        qsizetype rawSize = 0;
        qsizetype textStart = 0;
        qsizetype textSize = 0;
        bool owned = false; // the text is in own
        // A deleted key line stays in place, unwritten, so no index has to move.
        bool removed = false;
        QString own;
    };
    // A section header (lines[0]) and every line up to the next header. Keys are indexed
    // lazily per block, so a batch of calls costs the size of the blocks it touches.
    struct Block {
        QList<Line> lines;
        QHash<QString, QList<qsizetype>> keys; // folded key -> its lines, first match first
        qsizetype lastKeyLine = 0;      // 0: no key line, insert right after the header
        bool indexed = false;
        bool deleted = false;
    };

    bool ensureLoaded();
    void parse(const QByteArray &bytes);
    QStringView text(const Line &line) const;
    // The value as it stands in the file's text; nullopt when missing.
    std::optional<QStringView> find(const QString &appName, const QString &keyName);
    void indexBlock(Block &block) const;
    Block *findBlock(const QString &appName);
    bool changedLinesFitCodePage() const;
    QByteArray serialize(bool utf8) const;

    QString m_fileName;
    bool m_loaded = false;
    bool m_dirty = false;
    bool m_utf8WhenNeeded = false;
    bool m_wroteUtf8 = false;
    // Why the file could not be read, or written by the last flush.
    QString m_error;
    // A write was refused because the file could not be read.
    bool m_unwritten = false;
    QByteArray m_raw;  // the file as read
    QString m_text;    // the same, decoded
    QList<Line> m_prelude; // lines before the first section: kept, never read
    QList<Block> m_blocks;
    QHash<QString, QList<qsizetype>> m_sections; // folded name -> its blocks in file order
};

// Single calls on the file, as Windows makes them: read, or read-modify-replace.
qint32 GetPrivateProfileStringA(const QString &appName, const QString &keyName,
                                const QString &defaultValue, QString &returned, qint32 size,
                                const QString &fileName);
bool WritePrivateProfileStringA(const QString &appName, const std::optional<QString> &keyName,
                                const std::optional<QString> &value, const QString &fileName);
