// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A disk that refuses to put files in place: while a FailPlacing lives, every rename or hard
// link whose target path contains `fragment` fails with `error`, as a full or failing disk
// makes the last step of a write fail after every byte was taken. Refusing links alone is a
// file system without them (FAT, exFAT, many network shares): a second name for a named file is
// refused, while Qt still gives its unnamed temporary files their names (where there are no
// links, there are no unnamed temporary files either). It stands between the
// program and the C library (the program and Qt call these functions through it), so no
// production code knows of it. Creating, writing and reading files are left alone.
namespace fsfaults {

class FailPlacing
{
public:
    enum class Calls { RenamesAndLinks, LinksOnly };

    FailPlacing(const QByteArray &fragment, int error, Calls calls = Calls::RenamesAndLinks);
    ~FailPlacing();
    FailPlacing(const FailPlacing &) = delete;
    FailPlacing &operator=(const FailPlacing &) = delete;

    // How many renames or links it refused so far.
    int refused() const;
};

} // namespace fsfaults
