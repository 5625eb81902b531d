#include "core/history/page_decoding.h"

#include "platform/codepage.h"

#include <unicode/ucsdet.h>

#include <QRegularExpression>

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

QByteArray detectedCharset(const QByteArray &page)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return {};
    // Tags are skipped, so the markup's ASCII does not drown the text.
    ucsdet_enableInputFilter(detector.get(), true);
    ucsdet_setText(detector.get(), page.constData(), int32_t(qMin(page.size(), DetectBytes)), &status);
    const UCharsetMatch *match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !match)
        return {};
    const char *name = ucsdet_getName(match, &status);
    return U_FAILURE(status) || !name ? QByteArray() : QByteArray(name);
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

PageText DecodePage(const QByteArray &page)
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
    // A byte-order mark outweighs what the page says; what it says outweighs a guess. A
    // charset ICU cannot convert falls back to UTF-8, which shows at least the ASCII.
    if (!readAs(bom) && !readAs(browserCharset(DeclaredCharset(page)))
        && !readAs(browserCharset(detectedCharset(page))))
        readAs("UTF-8");
    if (result.text.startsWith(QChar(0xFEFF)))
        result.text.remove(0, 1);
    return result;
}

} // namespace history
