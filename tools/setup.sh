# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by tools/run, tools/test and tools/fuzz: install what a fresh Debian 12 machine lacks,
# then configure and build into a build folder. Sourced, not run.
set -euo pipefail
ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building and running the program needs: libcurl makes the transfers; the history's
# line diff is the header-only dtl. Qt loads its Japanese texts and the SVG icon engine at run
# time.
RUN_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libicu-dev libcurl4-openssl-dev libdtl-dev
              qt6-translations-l10n libqt6svg6)
# What the tests add to that: zlib and brotli for the hostile server's compressed bodies, the
# validators of the .desktop file and the metainfo, and a D-Bus daemon for the notification
# tests' own session bus.
TEST_PACKAGES=(zlib1g-dev libbrotli-dev desktop-file-utils appstream dbus-daemon)
# What the benchmarks add: the curl command, the pace that bench_run compares a run with.
BENCH_PACKAGES=(curl)
# What tools/package adds: dpkg-shlibdeps finds the package's dependencies, file finds its
# programs, lintian checks the package as Debian does.
PACKAGE_PACKAGES=(dpkg-dev file lintian)
# What the libFuzzer build adds.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

install_missing_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

configure_and_build() {
  local build_dir=$1; shift
  cmake -S "$ROOT_DIR" -B "$build_dir" -G Ninja "$@"
  cmake --build "$build_dir" --parallel "$(nproc)"
}
