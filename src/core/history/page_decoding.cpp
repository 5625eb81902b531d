// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/page_decoding.h"

#include "platform/codepage.h"

#include <unicode/ucsdet.h>

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <memory>

namespace history {
namespace {

// Where a page names its charset: its head, which rarely runs past this.
constexpr qsizetype MetaScanBytes = 16 * 1024;
// Enough text for the detector to tell the Japanese encodings apart.
constexpr qsizetype DetectBytes = 256 * 1024;
// A NUL byte this early makes a file binary, as git decides it.
constexpr qsizetype BinaryScanBytes = 8000;

struct DetectorCloser {
    void operator()(UCharsetDetector *d) const { ucsdet_close(d); }
};

// Labels read as browsers read them: Shift_JIS pages are written with Microsoft's extensions
// (NEC and IBM characters), Latin-1 pages as windows-1252, and a page that calls itself
// UTF-16 in ASCII bytes cannot be UTF-16.
QByteArray browserCharset(const QByteArray &label)
{
    const QByteArray l = label.toLower();
    static const QList<QByteArray> shiftJis{"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji",
                                           "csshiftjis", "windows-31j", "ms932", "cp932", "x-ms-cp932"};
    static const QList<QByteArray> latin{"iso-8859-1", "iso8859-1", "latin1", "l1", "us-ascii", "ascii",
                                        "windows-1252", "cp1252"};
    if (shiftJis.contains(l))
        return "windows-31j";
    if (latin.contains(l))
        return "windows-1252";
    if (l.startsWith("utf-16"))
        return "UTF-8";
    return label;
}

QByteArray byteOrderMark(const QByteArray &page)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (page.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (page.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    return {};
}

struct Match {
    QByteArray charset;
    int confidence = 0; // 0 to 100
};

// ICU's guesses for the start of a page, the likeliest first.
QList<Match> detectedCharsets(QByteArrayView sample)
{
    QList<Match> matches;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return matches;
    // Tags are skipped, so the markup's ASCII does not drown the text.
    ucsdet_enableInputFilter(detector.get(), true);
    ucsdet_setText(detector.get(), sample.data(), int32_t(sample.size()), &status);
    int32_t count = 0;
    const UCharsetMatch **found = ucsdet_detectAll(detector.get(), &count, &status);
    for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
        const char *name = ucsdet_getName(found[i], &status);
        const int32_t confidence = ucsdet_getConfidence(found[i], &status);
        if (U_SUCCESS(status) && name)
            matches.append({QByteArray(name), int(confidence)});
    }
    return matches;
}

// The detector's names for the Asian double-byte charsets. When it puts one of them first, alone,
// the bytes fit that charset's statistics; a Chinese or Korean page is often valid EUC-JP too.
bool isDoubleByteAsian(const QByteArray &charset)
{
    static const QList<QByteArray> names{"Shift_JIS", "EUC-JP", "ISO-2022-JP", "EUC-KR", "GB18030",
                                         "Big5", "ISO-2022-KR", "ISO-2022-CN"};
    return names.contains(charset);
}

// A reading of bytes as Japanese, counted by JIS X 0208 row. Japanese prose is full of kana
// (rows 4 and 5) and the punctuation of row 1, with symbols, full-width letters and digits and
// the first-level kanji besides; a heading may be kanji alone, but several in a row. A Western
// text's accented letters read as Japanese make second-level or vendor kanji, user-defined
// characters, Greek, box drawing or (in Shift_JIS) half-width katakana, all rare here, and its
// curly quotes before a letter a first-level kanji here and there.
struct JapaneseTally {
    int kana = 0;
    int everyday = 0; // kana included
    int rare = 0;
    int longestRun = 0; // everyday characters with nothing between them
};

JapaneseTally tallyJapanese(QByteArrayView bytes, bool shiftJis)
{
    const auto at = [&](qsizetype i) { return i < bytes.size() ? uchar(bytes[i]) : uchar(0); };
    JapaneseTally tally;
    int run = 0;
    qsizetype runEnd = -1;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = at(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Row 0: none of JIS X 0208 (half-width katakana in Shift_JIS, JIS X 0212, a C1 control).
        int row = 0;
        qsizetype length = 2;
        if (shiftJis) {
            if ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))
                row = (lead <= 0x9F ? lead - 0x81 : lead - 0xC1) * 2 + 1 + (at(i + 1) >= 0x9F ? 1 : 0);
            else
                length = 1;
        } else if (lead >= 0xA1) {
            row = lead - 0xA0;
        } else if (lead == 0x8E) {
            // EUC-JP's half-width katakana take a byte no Western text puts before a letter:
            // they count as the katakana they are.
            row = 5;
        } else if (lead == 0x8F) {
            length = 3;
        } else {
            length = 1;
        }
        if (row == 4 || row == 5)
            ++tally.kana;
        if ((row >= 1 && row <= 5) || (row >= 16 && row <= 47)) {
            ++tally.everyday;
            run = i == runEnd ? run + 1 : 1;
            runEnd = i + length;
            tally.longestRun = std::max(tally.longestRun, run);
        } else {
            ++tally.rare;
        }
        i += length;
    }
    return tally;
}

// No charset named: ICU's guess. Short Japanese text gives the detector's statistics too little
// to go on, and it guesses a single-byte Western charset or UTF-16, or GB18030 as likely as
// EUC-JP. So, unless it puts an Asian double-byte charset first with none beside it:
// - ASCII alone is ISO-2022-JP when it holds escapes and is valid in that charset, otherwise
//   the guess stands;
// - bytes valid as UTF-8 are UTF-8;
// - otherwise the bytes are read as Shift_JIS and as EUC-JP. A reading counts where the bytes
//   are valid in it and it holds two kana (prose) or, free of rare characters, four everyday
//   ones in a row or the detector's backing (a heading of kanji). Of the readings that count,
//   the one whose everyday characters, kana counted twice, most outnumber its rare ones wins;
//   where none counts, the guess stands.
// Only the detector's sample is read, so a long page costs little more than before.
QByteArray guessedCharset(const QByteArray &page)
{
    const QByteArrayView sample = QByteArrayView(page).first(qMin(page.size(), DetectBytes));
    const bool cut = sample.size() < page.size();
    const QList<Match> matches = detectedCharsets(sample);
    if (matches.isEmpty())
        return {};
    const Match &first = matches.constFirst();
    const auto ratedFirst = [&](const QByteArray &charset) {
        return std::any_of(matches.cbegin(), matches.cend(), [&](const Match &m) {
            return m.charset == charset && m.confidence == first.confidence;
        });
    };
    const bool tied = matches.size() > 1 && matches.at(1).confidence == first.confidence;
    if (isDoubleByteAsian(first.charset) && !tied)
        return first.charset;
    if (std::all_of(sample.cbegin(), sample.cend(), [](char c) { return uchar(c) < 0x80; })) {
        const bool jis = sample.contains('\x1B') && codepage::isValid(sample, "ISO-2022-JP", cut);
        return jis ? QByteArray("ISO-2022-JP") : first.charset;
    }
    if (codepage::isValid(sample, "UTF-8", cut))
        return "UTF-8";
    struct Candidate {
        QByteArray charset; // as the detector names it
        const char *converter;
        bool shiftJis;
    };
    // Shift_JIS is read as browsers read it, with Microsoft's extensions.
    const Candidate candidates[] = {{"Shift_JIS", "windows-31j", true}, {"EUC-JP", "EUC-JP", false}};
    QByteArray best = first.charset;
    int bestScore = std::numeric_limits<int>::min();
    for (const Candidate &candidate : candidates) {
        const JapaneseTally tally = tallyJapanese(sample, candidate.shiftJis);
        const int score = tally.everyday + tally.kana - tally.rare;
        const bool prose = tally.kana >= 2;
        const bool heading = tally.rare == 0 && (tally.longestRun >= 4 || ratedFirst(candidate.charset));
        if ((prose || heading) && score > bestScore && codepage::isValid(sample, candidate.converter, cut)) {
            best = candidate.charset;
            bestScore = score;
        }
    }
    return best;
}

} // namespace

QByteArray DeclaredCharset(const QByteArray &page)
{
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*?\bcharset\s*=\s*["']?\s*([A-Za-z0-9_.:-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch found = meta.match(QString::fromLatin1(page.left(MetaScanBytes)));
    return found.hasMatch() ? found.captured(1).toLatin1() : QByteArray();
}

QByteArray ContentTypeCharset(const QByteArray &contentType)
{
    // Parameters follow the media type, each after a ';'; a quoted value may hold a ';'.
    static const QRegularExpression parameter(QStringLiteral(R"(;\s*([^\s;=]+)\s*=\s*("[^"]*"|[^;]*))"));
    const QString text = QString::fromLatin1(contentType);
    for (QRegularExpressionMatchIterator it = parameter.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch found = it.next();
        if (found.captured(1).compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
            continue;
        QString value = found.captured(2).trimmed();
        if (value.startsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).trimmed();
        return value.toLatin1();
    }
    return {};
}

PageText DecodePage(const QByteArray &page, const QByteArray &contentType)
{
    PageText result;
    const QByteArray bom = byteOrderMark(page);
    if (bom.isEmpty() && page.left(BinaryScanBytes).contains('\0')) {
        result.binary = true;
        return result;
    }
    const auto readAs = [&](const QByteArray &charset) {
        if (charset.isEmpty() || !codepage::decode(page, charset.constData(), &result.text))
            return false;
        result.charset = QString::fromLatin1(charset);
        return true;
    };
    // A byte-order mark outweighs what the page says, and what the page says outweighs what its
    // server said: browsers let the header win, but servers have long sent a default charset of
    // their own for every page, while the page's own word is its author's. A guess comes last.
    // A charset ICU cannot convert is passed over; UTF-8 at the end shows at least the ASCII.
    if (!readAs(bom) && !readAs(browserCharset(DeclaredCharset(page)))
        && !readAs(browserCharset(ContentTypeCharset(contentType)))
        && !readAs(browserCharset(guessedCharset(page))))
        readAs("UTF-8");
    if (result.text.startsWith(QChar(0xFEFF)))
        result.text.remove(0, 1);
    return result;
}

} // namespace history
