#!/usr/bin/env bash
# Builds every binary of the toolkit and runs every test under Wine. Works
# from a fresh clone on a fresh Debian 12 machine: it installs what is
# missing first. The last thing it prints is CTest's summary.
#   VK_BUILD_DIR   build folder (default: build/ in the clone)
#   VK_VM=1        where 32-bit x86 code cannot run: run the Wine tests in
#                  the emulated guest instead of skipping them
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
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel -DVK_TIMEOUT_SCALE="$1" >/dev/null
    cmake --build "$build" -j"$jobs"
}

"$root/scripts/install-deps.sh"
if can_run_32bit; then
    build_all 1
    cd "$build"
    exec ctest --output-on-failure -j"$jobs"
fi
# Without IA-32 emulation the build stays on the host (fast). On request
# CTest runs in an emulated x86-64 guest whose kernel runs 32-bit code; not
# by default, since under emulation some tests still miss their fixed waits.
if [ "${VK_VM:-0}" = 1 ]; then
    build_all "$guest_slowdown"
    cd "$build"
    echo "test.sh: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): the tests run in an emulated x86-64 guest (tests/vm/run-in-vm.sh)"
    exec "$root/tests/vm/run-in-vm.sh" ctest --output-on-failure -j"$jobs"
fi
build_all 1
cd "$build"
echo "test.sh: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): the $(wine_test_count) Wine tests are not run here (VK_VM=1 runs them in an emulated guest)"
exec ctest --output-on-failure -j"$jobs" -LE wine
