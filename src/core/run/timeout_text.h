#pragma once

#include <QString>

namespace engine {

// The time-out used when the text box holds no positive whole number.
constexpr int DefaultTimeoutSeconds = 60;

// The seconds of the time-out text box: a positive whole number (full-width digits count),
// otherwise DefaultTimeoutSeconds with `valid` false. A "0" or a word must not time out every
// transfer at its first check.
int TimeoutSeconds(const QString &text, bool *valid = nullptr);

} // namespace engine
