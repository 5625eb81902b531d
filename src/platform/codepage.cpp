// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <QStringView>

#include <iterator>
#include <memory>

namespace codepage {
namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's windows-31j table follows IBM in swapping these three control codes; Windows maps
// every control code to itself. Both directions swap back around the converter.
char16_t fromIcuControl(char16_t c)
{
    switch (c) {
    case 0x1C: return 0x1A;
    case 0x7F: return 0x1C;
    case 0x1A: return 0x7F;
    default: return c;
    }
}

char16_t toIcuControl(char16_t c)
{
    switch (c) {
    case 0x1A: return 0x1C;
    case 0x1C: return 0x7F;
    case 0x7F: return 0x1A;
    default: return c;
    }
}

bool hasSwappedControl(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() == 0x1A || c.unicode() == 0x1C || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// ICU's own substitute for a bad single byte is U+001A, a real control code that would then
// be written back as another byte; U+FFFD keeps the damage visible.
void toUnicodeReplacement(const void *, UConverterToUnicodeArgs *args, const char *, int32_t,
                          UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    *err = U_ZERO_ERROR;
    const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

// Decodes the whole input; ICU gives the length it needs when the first guess is short.
QString toUnicode(UConverter *conv, const QByteArray &bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv, toUnicodeReplacement, nullptr, nullptr, nullptr, &status);
    QString out(bytes.size() + 1, Qt::Uninitialized);
    int32_t len = ucnv_toUChars(conv, reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
                                bytes.constData(), int32_t(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(len + 1);
        status = U_ZERO_ERROR;
        len = ucnv_toUChars(conv, reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
                            bytes.constData(), int32_t(bytes.size()), &status);
    }
    if (U_FAILURE(status))
        return {};
    out.truncate(len);
    return out;
}

Converter openConverter()
{
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status))
        qFatal("ICU has no windows-31j converter: %s", u_errorName(status));
    return conv;
}

} // namespace

QByteArray toAnsi(const QString &text)
{
    if (text.isEmpty())
        return {};
    Converter conv = openConverter();
    UErrorCode status = U_ZERO_ERROR;
    // ICU's default substitute for windows-31j is 0xFC 0xFC; Windows writes "?".
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                          &status);
    QString swapped;
    const QString *input = &text;
    if (hasSwappedControl(text)) {
        swapped = text;
        for (QChar &c : swapped)
            c = QChar(toIcuControl(c.unicode()));
        input = &swapped;
    }
    const auto *src = reinterpret_cast<const UChar *>(input->utf16());
    const int32_t needed = ucnv_fromUChars(conv.get(), nullptr, 0, src, text.size(), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return {};
    QByteArray out(needed, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_fromUChars(conv.get(), out.data(), out.size(), src, text.size(), &status);
    return U_FAILURE(status) ? QByteArray() : out;
}

QString fromAnsi(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    Converter conv = openConverter();
    QString out = toUnicode(conv.get(), bytes);
    if (hasSwappedControl(out)) {
        for (QChar &c : out)
            c = QChar(fromIcuControl(c.unicode()));
    }
    return out;
}

bool decode(const QByteArray &bytes, const char *charset, QString *text)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open(charset, &status));
    if (U_FAILURE(status))
        return false;
    *text = toUnicode(conv.get(), bytes);
    return true;
}

bool isValid(QByteArrayView bytes, const char *charset, bool cut)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open(charset, &status));
    if (U_FAILURE(status))
        return false;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    // Only the verdict is wanted: the text goes through one small buffer, over and over.
    UChar buffer[4096];
    const char *source = bytes.data();
    const char *const end = source + bytes.size();
    do {
        status = U_ZERO_ERROR;
        UChar *target = buffer;
        ucnv_toUnicode(conv.get(), &target, buffer + std::size(buffer), &source, end, nullptr, !cut,
                       &status);
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    return U_SUCCESS(status);
}

QString roundTrip(const QString &text)
{
    return fromAnsi(toAnsi(text));
}

bool fits(const QString &text)
{
    return roundTrip(text) == text;
}

} // namespace codepage
