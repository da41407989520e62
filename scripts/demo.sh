#!/usr/bin/env bash
# The utility on a demo PC. On a fresh Debian 12 machine it installs what is
# missing, builds, makes a demo PC (a Wine prefix of its own in the build
# folder, never ~/.wine) and runs VK_UTL.exe on it. With a display the real
# window opens there; without one it runs under Xvfb, opens the main window
# and the folder dialog, and saves pictures of them. Can be run again: the
# demo PC is made afresh each time.
#   VK_BUILD_DIR   build folder (default: build/ in the clone)
# Where this machine cannot execute 32-bit x86 code it builds here and runs
# the rest of the demo, headless, in the emulated guest of tests/vm/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}
. "$root/scripts/lib/ia32.sh"

build_demo() {
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$build" -j"$(nproc)" --target VK_UTL VK_CMD VKSVC demo_driver vk_start_with \
        vk_windows_inheritance vksvc_with_store >/dev/null
}

if [ -z "${VK_UNDER_XVFB:-}" ] && [ -z "${VK_DEMO_IN_GUEST:-}" ]; then
    "$root/scripts/install-deps.sh"
    if ! can_run_32bit; then
        build_demo
        echo "demo: this machine cannot execute 32-bit x86 code (IA-32 emulation is off): the demo runs headless in an emulated x86-64 guest"
        VK_BUILD_DIR=$build VK_DEMO_IN_GUEST=1 VK_DEMO_HEADLESS=1 \
            exec "$root/tests/vm/run-in-vm.sh" "$0" "$@"
    fi
fi

# The driver's waits grow in the guest as the tests' do, by its measured
# slowdown.
if [ -n "${VK_DEMO_IN_GUEST:-}" ] && [ -z "${UI_WAIT_SCALE:-}" ]; then
    UI_WAIT_SCALE=$(measure_slowdown "$build/wine-template")
    export UI_WAIT_SCALE
fi

headless=${VK_DEMO_HEADLESS:-}
[ -n "${DISPLAY:-}" ] && [ -z "${VK_UNDER_XVFB:-}" ] || headless=1
if [ -n "$headless" ] && [ -z "${VK_UNDER_XVFB:-}" ]; then
    echo "demo: no display, running under Xvfb"
    VK_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# In the guest the host has built already.
[ -n "${VK_DEMO_IN_GUEST:-}" ] || build_demo

. "$root/scripts/lib/demo-pc.sh"
prefix="$build/demo-pc"
echo "demo: making the demo PC in $prefix"
make_demo_pc "$prefix" "$build/bin"
export WINEPREFIX="$prefix"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if [ -z "$headless" ]; then
    echo "demo: starting VK_UTL.exe on $DISPLAY (close its window to end the demo)"
    start_utility "$prefix"
    exit 0
fi

shots="$build/demo-screenshots"
mkdir -p "$shots"
wineserver -p
run_utility "$prefix"
drive_utility "$prefix" main
save_picture "$prefix" main "$shots/main-window.png"
drive_utility "$prefix" dialog VESKA
save_picture "$prefix" dialog "$shots/folder-dialog.png"
echo "demo: pictures of the main window and the folder dialog are in $shots:"
ls -1 "$shots"

# The command line on the same PC, once the utility has closed (the two
# refuse each other): an audit, the grant, the audit again; then the
# backups the grant kept, one folder put back from its newest, and the
# audit that finds that folder due again.
wineserver -k
echo "demo: the command line on the demo PC"
for arguments in /check /grant /check /restore '/restore last C:\VESKADAT' /check; do
    echo "> VK_CMD.exe $arguments"
    # Word splitting is meant: each word is one argument.
    run_command "$prefix" $arguments
done
