#!/usr/bin/env bash
# Builds every binary of the toolkit and runs every test under Wine. Works
# from a fresh clone on a fresh Debian 12 machine: it installs what is
# missing first. The last thing it prints is CTest's summary.
# Where this machine cannot execute 32-bit x86 code, the build stays here
# and every test runs in an emulated x86-64 guest whose kernel can
# (tests/vm/run-in-vm.sh), with time limits scaled by the guest's measured
# slowdown.
#   VK_BUILD_DIR    build folder (default: build/ in the clone)
#   VK_SKIP_WINE=1  a quick local build: only the tests that need no Wine
#                   (never in CI: a change must pass every test)
#   VK_VM=1         the guest even where this machine runs 32-bit code, to
#                   try it
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}
export VK_BUILD_DIR=$build
jobs=$(nproc)
. "$root/scripts/lib/ia32.sh"

wine_test_count() {
    ctest -N -L wine | sed -n 's/^Total Tests: //p'
}

build_all() {
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel -DVK_TIMEOUT_SCALE=1 >/dev/null
    cmake --build "$build" -j"$jobs"
}

"$root/scripts/install-deps.sh"
build_all
cd "$build"
if [ "${VK_SKIP_WINE:-0}" = 1 ]; then
    echo "test.sh: VK_SKIP_WINE=1: the $(wine_test_count) Wine tests are not run"
    exec ctest --output-on-failure -j"$jobs" -LE wine
fi
if can_run_32bit && [ "${VK_VM:-0}" != 1 ]; then
    exec ctest --output-on-failure -j"$jobs"
fi
if can_run_32bit; then
    echo "test.sh: VK_VM=1: every test runs in an emulated x86-64 guest (tests/vm/run-in-vm.sh)"
else
    echo "test.sh: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): every test runs in an emulated x86-64 guest whose kernel can (tests/vm/run-in-vm.sh)"
fi
exec "$root/tests/vm/run-in-vm.sh" "$root/tests/vm/guest-suite.sh" --output-on-failure -j"$jobs"
