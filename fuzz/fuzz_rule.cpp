// SPDX-License-Identifier: GPL-3.0-or-later
// The address rule over any text a settings file or the editor can hand it, read both as
// UTF-16 and as UTF-8.
#include "fuzz_check.h"

#include "core/run/address_rule.h"
#include "platform/clock.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

QString upperAscii(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return text;
}

void check(const QString &rule)
{
    const QString expanded = ExpandRule(rule);
    // The longest growth is "%0y" (3 characters) giving "yyyy" (4).
    FUZZ_CHECK(expanded.size() <= rule.size() * 4 / 3 + 1);
    if (!rule.contains(QLatin1Char('%')))
        FUZZ_CHECK(expanded == rule);
    // Letter case never decides what a token gives: the preview and the download agree
    // whichever case the user typed.
    FUZZ_CHECK(ExpandRule(upperAscii(rule)) == upperAscii(expanded));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Noon: no midnight falls between two expansions of one input.
    static const bool clockSet = (vclock::setNow(QDateTime(QDate(2026, 12, 8), QTime(12, 0))), true);
    (void)clockSet;
    check(QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2)));
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
