// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise found by a fuzz input. abort() is what libFuzzer records as a crash, and
// what makes a replayed corpus file fail its test.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,     \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (false)
