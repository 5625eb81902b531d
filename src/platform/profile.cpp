// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile.h"

#include "platform/atomic_file.h"
#include "platform/codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>

#include <utility>

namespace {

inline int unit(char c) { return static_cast<unsigned char>(c); }
inline int unit(QChar c) { return c.unicode(); }

// CR LF, CR and LF all end a line; a line end at the very end doesn't open another line.
template <typename View>
QList<View> splitLines(View data)
{
    QList<View> lines;
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int c = unit(data[i]);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(data.sliced(start, i - start));
        if (c == '\r' && i + 1 < n && unit(data[i + 1]) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(data.sliced(start));
    return lines;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimmed(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

bool parseHeader(QStringView line, QStringView *name)
{
    const QStringView t = trimmed(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    *name = trimmed(t.sliced(1, close - 1));
    return true;
}

bool parseKey(QStringView line, QStringView *key, QStringView *value)
{
    const QStringView t = trimmed(line);
    if (t.isEmpty() || t.front() == QLatin1Char(';'))
        return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = trimmed(t.first(eq));
    if (value)
        *value = trimmed(t.sliced(eq + 1));
    return true;
}

QStringView unquoted(QStringView v)
{
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''))
        && v.back() == v.front())
        return v.sliced(1, v.size() - 2);
    return v;
}

QString folded(QStringView s)
{
    return s.toString().toCaseFolded();
}

} // namespace

Profile::Profile(QString fileName)
    : m_fileName(std::move(fileName))
{
}

bool Profile::ensureLoaded()
{
    if (m_loaded)
        return true;
    QFile file(m_fileName);
    if (!QFileInfo::exists(m_fileName)) {
        m_loaded = true;
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1 を読めません: %2")
                      .arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = QStringLiteral("%1 を読めません: %2")
                      .arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return false;
    }
    parse(bytes);
    m_loaded = true;
    return true;
}

void Profile::parse(const QByteArray &bytes)
{
    m_raw = bytes;
    // A text editor's UTF-8 mark would otherwise hide the first section. It stays in the
    // first line's bytes, so an untouched line keeps it.
    const qsizetype bom = m_raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArrayView body = QByteArrayView(m_raw).sliced(bom);
    QList<QByteArrayView> raws = splitLines(body);
    if (bom && raws.isEmpty())
        raws.append(body);
    // Behind the mark, Japanese text that is valid UTF-8 was saved as UTF-8; a rewrite then
    // stores every line in CP932, and the mark goes.
    bool utf8 = false;
    if (bom && !std::all_of(body.begin(), body.end(), [](char c) { return uchar(c) < 0x80; })) {
        QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString probe = check(body);
        utf8 = !check.hasError() && !probe.isEmpty();
    }
    const auto decode = [utf8](QByteArrayView b) {
        return utf8 ? QString::fromUtf8(b) : codepage::fromAnsi(b.toByteArray());
    };

    // One decoder pass over the whole file is far cheaper than one per line. CR and LF are
    // never part of a CP932 character, so both splits agree unless the decoder swallowed a
    // line end next to a broken byte; then each line is decoded on its own.
    m_text = decode(body);
    QList<QStringView> texts = splitLines(QStringView(m_text));
    const bool perLine = texts.size() != raws.size();
    if (perLine)
        m_text.clear();

    QList<Line> *target = &m_prelude;
    for (qsizetype i = 0; i < raws.size(); ++i) {
        Line line;
        if (!utf8) {
            line.rawStart = i == 0 ? 0 : raws[i].data() - m_raw.constData();
            line.rawSize = raws[i].size() + (i == 0 ? bom : 0);
        }
        if (perLine) {
            line.owned = true;
            line.own = decode(raws[i]);
        } else {
            line.textStart = texts[i].data() - m_text.constData();
            line.textSize = texts[i].size();
        }
        QStringView name;
        if (parseHeader(text(line), &name)) {
            m_sections[folded(name)].append(m_blocks.size());
            m_blocks.append(Block());
            target = &m_blocks.last().lines;
        }
        target->append(std::move(line));
    }
}

QStringView Profile::text(const Line &line) const
{
    if (line.owned)
        return line.own;
    return QStringView(m_text).sliced(line.textStart, line.textSize);
}

void Profile::indexBlock(Block &block) const
{
    block.keys.clear();
    block.lastKeyLine = 0;
    for (qsizetype i = 1; i < block.lines.size(); ++i) {
        QStringView key;
        if (block.lines[i].removed || !parseKey(text(block.lines[i]), &key, nullptr))
            continue;
        block.lastKeyLine = i;
        block.keys[folded(key)].append(i);
    }
    block.indexed = true;
}

Profile::Block *Profile::findBlock(const QString &appName)
{
    // Names are looked up trimmed, as the file's names are read.
    const auto it = m_sections.constFind(folded(trimmed(appName)));
    if (it == m_sections.cend() || it->isEmpty())
        return nullptr;
    Block &block = m_blocks[it->first()];
    if (!block.indexed)
        indexBlock(block);
    return &block;
}

std::optional<QStringView> Profile::find(const QString &appName, const QString &keyName)
{
    if (!ensureLoaded())
        return std::nullopt;
    const Block *block = findBlock(appName);
    if (!block)
        return std::nullopt;
    const auto it = block->keys.constFind(folded(trimmed(keyName)));
    if (it == block->keys.cend())
        return std::nullopt;
    QStringView key;
    QStringView value;
    parseKey(text(block->lines[it->first()]), &key, &value);
    return unquoted(value);
}

std::optional<QString> Profile::value(const QString &appName, const QString &keyName)
{
    if (const std::optional<QStringView> found = find(appName, keyName))
        return found->toString();
    return std::nullopt;
}

qint32 Profile::GetPrivateProfileString(const QString &appName, const QString &keyName,
                                        const QString &defaultValue, QString &returned,
                                        qint32 size)
{
    returned.clear();
    if (size <= 0)
        return 0;

    QStringView result;
    if (const std::optional<QStringView> found = find(appName, keyName)) {
        result = *found;
    } else {
        result = defaultValue;
        while (!result.isEmpty() && result.back() == QLatin1Char(' '))
            result.chop(1);
    }
    returned = result.first(qMin<qsizetype>(result.size(), size - 1)).toString();
    return qint32(returned.size());
}

bool Profile::WritePrivateProfileString(const QString &appName,
                                        const std::optional<QString> &keyName,
                                        const std::optional<QString> &value)
{
    if (!ensureLoaded()) {
        m_unwritten = true;
        return false;
    }

    const QStringView section = trimmed(appName);
    const QString sectionKey = folded(section);
    const auto sit = m_sections.find(sectionKey);
    Block *block = (sit == m_sections.end() || sit->isEmpty()) ? nullptr : &m_blocks[sit->first()];

    if (!keyName) {
        if (!block)
            return true;
        // The block stays in place so the indices in m_sections remain valid.
        block->lines.clear();
        block->keys.clear();
        block->deleted = true;
        sit->removeFirst();
        if (sit->isEmpty())
            m_sections.erase(sit);
        m_dirty = true;
        return true;
    }

    const auto changedLine = [](QString text) {
        Line line;
        line.owned = true;
        line.own = std::move(text);
        return line;
    };
    const QStringView key = trimmed(*keyName);
    const QString keyLine = value ? key.toString() + QLatin1Char('=') + *value : QString();
    if (!block) {
        if (!value)
            return true;
        Block added;
        added.lines.append(changedLine(QLatin1Char('[') + section.toString() + QLatin1Char(']')));
        added.lines.append(changedLine(keyLine));
        m_sections[sectionKey].append(m_blocks.size());
        m_blocks.append(std::move(added));
        m_dirty = true;
        return true;
    }

    if (!block->indexed)
        indexBlock(*block);
    const QString foldedKey = folded(key);
    const auto kit = block->keys.find(foldedKey);
    if (kit == block->keys.end()) {
        if (!value)
            return true;
        const qsizetype at = block->lastKeyLine + 1;
        block->lines.insert(at, changedLine(keyLine));
        // Only non-key lines followed the last key, so no indexed line moved.
        block->keys.insert(foldedKey, {at});
        block->lastKeyLine = at;
        m_dirty = true;
        return true;
    }

    const qsizetype at = kit->first();
    if (!value) {
        // A later duplicate of the key becomes visible. Marking the line instead of removing
        // it keeps a run of deletes in a big section from re-indexing it each time.
        block->lines[at].removed = true;
        kit->removeFirst();
        if (kit->isEmpty())
            block->keys.erase(kit);
        m_dirty = true;
        return true;
    }

    Line &line = block->lines[at];
    const QStringView current = text(line);
    QStringView oldKey;
    QStringView oldValue;
    parseKey(current, &oldKey, &oldValue);
    // Saving the same settings again must not rewrite the file. A value read from bytes
    // that did not decode is rewritten, so the file holds what the caller holds.
    const bool decodable = !value->contains(QChar::ReplacementCharacter);
    if (decodable && oldValue == *value)
        return true;
    QString replaced = oldKey.toString() + QLatin1Char('=') + *value;
    if (decodable && replaced == current)
        return true;
    line = changedLine(std::move(replaced));
    m_dirty = true;
    return true;
}

bool Profile::changedLinesFitCodePage() const
{
    const auto fits = [this](const Line &line) {
        return line.rawStart >= 0 || line.removed || codepage::fits(text(line).toString());
    };
    if (!std::all_of(m_prelude.cbegin(), m_prelude.cend(), fits))
        return false;
    return std::all_of(m_blocks.cbegin(), m_blocks.cend(), [&fits](const Block &block) {
        return std::all_of(block.lines.cbegin(), block.lines.cend(), fits);
    });
}

QByteArray Profile::serialize(bool utf8) const
{
    QByteArray out;
    out.reserve(m_raw.size() + m_raw.size() / 8 + 256);
    if (utf8)
        out += "\xEF\xBB\xBF";
    const auto put = [this, utf8, &out](const Line &line) {
        if (utf8)
            out += text(line).toUtf8();
        else if (line.rawStart >= 0)
            out += QByteArrayView(m_raw).sliced(line.rawStart, line.rawSize);
        else
            out += codepage::toAnsi(text(line).toString());
        out += "\r\n";
    };
    for (const Line &line : m_prelude)
        put(line);
    for (const Block &block : m_blocks) {
        for (const Line &line : block.lines) {
            if (!line.removed)
                put(line);
        }
    }
    return out;
}

bool Profile::flush(QString *error)
{
    const auto failed = [this, error] {
        if (error)
            *error = m_error;
        return false;
    };
    if (m_unwritten)
        return failed();
    if (!m_dirty)
        return true;
    QString reason;
    const bool utf8 = m_utf8WhenNeeded && !changedLinesFitCodePage();
    if (!AtomicFile::writeWhole(m_fileName, serialize(utf8), &reason)) {
        m_error = QStringLiteral("%1 に書き込めません: %2")
                      .arg(QDir::toNativeSeparators(m_fileName), reason);
        return failed();
    }
    m_dirty = false;
    m_wroteUtf8 = utf8;
    return true;
}

qint32 GetPrivateProfileStringA(const QString &appName, const QString &keyName,
                                const QString &defaultValue, QString &returned, qint32 size,
                                const QString &fileName)
{
    Profile profile(fileName);
    return profile.GetPrivateProfileString(appName, keyName, defaultValue, returned, size);
}

bool WritePrivateProfileStringA(const QString &appName, const std::optional<QString> &keyName,
                                const std::optional<QString> &value, const QString &fileName)
{
    Profile profile(fileName);
    return profile.WritePrivateProfileString(appName, keyName, value) && profile.flush();
}
