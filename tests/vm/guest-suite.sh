#!/usr/bin/env bash
# The whole suite, inside the emulated guest, in the build folder: first
# the guest's slowdown is measured (the template prefix's time against its
# time where 32-bit code runs natively), then every test's time limit and
# the GUI driver's waits are scaled by it, then CTest runs.
# usage (from scripts/test.sh): run-in-vm.sh guest-suite.sh CTEST-ARGS...
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib/ia32.sh"
scale=$(measure_slowdown "$PWD/wine-template")
cmake -DVK_TIMEOUT_SCALE="$scale" . >/dev/null
exec ctest "$@"
