// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fs_faults.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace {

std::mutex armedMutex;
std::string armedFragment;
int armedError = 0;
bool armedLinksOnly = false;
std::atomic<int> refusedCount{0};

// Qt names an unnamed temporary file (O_TMPFILE) by linking its descriptor.
bool namesUnnamedFile(const char *from)
{
    return !from || !*from || std::strncmp(from, "/proc/self/fd/", 14) == 0;
}

// True when a call placing a file at `target` is to fail; errno is then set. `link`: a second
// name for the named file `link`.
bool refuses(const char *target, bool link = false)
{
    const std::lock_guard lock(armedMutex);
    if (armedFragment.empty() || !target || !std::strstr(target, armedFragment.c_str()) || (armedLinksOnly && !link))
        return false;
    ++refusedCount;
    errno = armedError;
    return true;
}

template<typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

namespace fsfaults {

FailPlacing::FailPlacing(const QByteArray &fragment, int error, Calls calls)
{
    const std::lock_guard lock(armedMutex);
    armedFragment = fragment.toStdString();
    armedError = error;
    armedLinksOnly = calls == Calls::LinksOnly;
    refusedCount = 0;
}

FailPlacing::~FailPlacing()
{
    const std::lock_guard lock(armedMutex);
    armedFragment.clear();
}

int FailPlacing::refused() const
{
    return refusedCount;
}

} // namespace fsfaults

// Defined in the test program, these come before the C library's for Qt and the program alike.
extern "C" {

int rename(const char *from, const char *to)
{
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return refuses(to) ? -1 : real(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static const auto real = next<int (*)(int, const char *, int, const char *)>("renameat");
    return refuses(to) ? -1 : real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    static const auto real = next<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    return refuses(to) ? -1 : real(fromDir, from, toDir, to, flags);
}

int link(const char *from, const char *to)
{
    static const auto real = next<int (*)(const char *, const char *)>("link");
    return refuses(to, !namesUnnamedFile(from)) ? -1 : real(from, to);
}

int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    static const auto real = next<int (*)(int, const char *, int, const char *, int)>("linkat");
    return refuses(to, !namesUnnamedFile(from)) ? -1 : real(fromDir, from, toDir, to, flags);
}

} // extern "C"
