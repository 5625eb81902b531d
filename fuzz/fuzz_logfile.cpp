// SPDX-License-Identifier: GPL-3.0-or-later
// The log file's first field, read at start-up from whatever the file holds; and any log
// the program writes reads back as itself.
#include "fuzz_check.h"

#include "core/run/run_log.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = runlog::DecodeFile(bytes);
    FUZZ_CHECK(runlog::FirstField(text).size() <= text.size());

    // Whatever the log holds, CP932 or not, it reads back whole.
    const QString log = QString::fromUtf8(bytes);
    FUZZ_CHECK(runlog::FirstField(runlog::DecodeFile(runlog::EncodeRecord(log))) == log);
    return 0;
}
