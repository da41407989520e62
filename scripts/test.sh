#!/usr/bin/env bash
# Builds every binary of the toolkit and runs every test under Wine. Works
# from a fresh clone on a fresh Debian 12 machine: it installs what is
# missing first. The last thing it prints is CTest's summary.
#   VK_BUILD_DIR   build folder (default: build/ in the clone)
#   VK_VM=0        where 32-bit x86 code cannot run: skip the Wine tests
#                  instead of running them in the emulated guest
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}
export VK_BUILD_DIR=$build
jobs=$(nproc)
. "$root/scripts/lib/ia32.sh"

wine_test_count() {
    ctest -N -L wine | sed -n 's/^Total Tests: //p'
}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build" -j"$jobs"
cd "$build"

if can_run_32bit; then
    exec ctest --output-on-failure -j"$jobs"
fi
# Without IA-32 emulation the build stays on the host (fast) and CTest runs
# in an emulated x86-64 guest whose kernel runs 32-bit code.
if [ "${VK_VM:-1}" != 0 ]; then
    echo "test.sh: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): the tests run in an emulated x86-64 guest (tests/vm/run-in-vm.sh)"
    exec "$root/tests/vm/run-in-vm.sh" ctest --output-on-failure -j"$jobs"
fi
echo "test.sh: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): the $(wine_test_count) Wine tests are not run here"
exec ctest --output-on-failure -j"$jobs" -LE wine
