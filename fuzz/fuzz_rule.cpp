// The address rule over any text a settings file or the editor can hand it, read both as
// UTF-16 and as UTF-8. The download's comparison expands at least what the preview does.
#include "fuzz_check.h"

#include "core/run/address_rule.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

void check(const QString &rule)
{
    const QString download = ExpandRule(rule, RuleCompare::IgnoreCase);
    const QString preview = ExpandRule(rule, RuleCompare::Exact);
    // The longest growth is "%0y" (3 characters) giving "yyyy" (4).
    FUZZ_CHECK(download.size() <= rule.size() * 4 / 3 + 1);
    FUZZ_CHECK(preview.size() <= download.size());
    if (!rule.contains(QLatin1Char('%'))) {
        FUZZ_CHECK(download == rule);
        FUZZ_CHECK(preview == rule);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2)));
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
