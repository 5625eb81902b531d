// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cli::ExitStatus {

// Every entry with an address was stored (and --help, --version).
inline constexpr int Stored = 0;
// Some entry was not stored: it failed, timed out, or the run was interrupted.
inline constexpr int NotAllStored = 1;
// The run could not start, or the command line was wrong.
inline constexpr int NotStarted = 2;

} // namespace cli::ExitStatus
