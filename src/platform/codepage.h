// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The ANSI code page of the target system: CP932 (Shift-JIS with Microsoft's extensions).
// Every text file the program reads or writes goes through these two calls.
namespace codepage {

// Encodes to CP932; a character outside the code page becomes "?", as Windows does.
QByteArray toAnsi(const QString &text);

// Decodes CP932; an invalid byte sequence becomes U+FFFD, so nothing is dropped silently.
QString fromAnsi(const QByteArray &bytes);

// Decodes bytes in any charset ICU knows by the name or alias `charset`; an invalid byte
// sequence becomes U+FFFD. False, with nothing decoded, when ICU has no such converter.
bool decode(const QByteArray &bytes, const char *charset, QString *text);

// Whether every byte sequence is valid in `charset` and maps to a character there; false too
// when ICU has no such converter. With `cut` the bytes are the start of a longer text, and a
// character cut off at their end is no fault.
bool isValid(QByteArrayView bytes, const char *charset, bool cut = false);

// The text as it comes back from a round trip through the code page.
QString roundTrip(const QString &text);
// Whether the code page holds every character of the text.
bool fits(const QString &text);

} // namespace codepage
