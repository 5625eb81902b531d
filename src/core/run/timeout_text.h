// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace run {

// The time-out used when the text box holds no positive whole number.
constexpr int DefaultTimeoutSeconds = 60;

// The seconds of the time-out text box: a positive whole number (full-width digits count),
// nullopt for anything else. A "0" or a word must not time out every transfer at its first
// check.
std::optional<int> TimeoutSeconds(const QString &text);

} // namespace run
