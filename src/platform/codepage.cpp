#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace codepage {
namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

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
    const auto *src = reinterpret_cast<const UChar *>(text.utf16());
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
    UErrorCode status = U_ZERO_ERROR;
    // Every byte of CP932 decodes to at most one UTF-16 unit.
    QString out(bytes.size(), Qt::Uninitialized);
    const int32_t len = ucnv_toUChars(conv.get(), reinterpret_cast<UChar *>(out.data()), out.size(),
                                      bytes.constData(), bytes.size(), &status);
    if (U_FAILURE(status))
        return {};
    out.truncate(len);
    return out;
}

QString roundTrip(const QString &text)
{
    return fromAnsi(toAnsi(text));
}

} // namespace codepage
