#!/usr/bin/env bash
# Builds every binary of the toolkit and runs every test under Wine. Works
# from a fresh clone on a fresh Debian 12 machine: it installs what is
# missing first. The last thing it prints is CTest's summary.
#   VK_BUILD_DIR   build folder (default: build/ in the clone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}
jobs=$(nproc)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build" -j"$jobs"
cd "$build"
ctest --output-on-failure -j"$jobs"
