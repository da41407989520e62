#!/usr/bin/env bash
# Makes the pictures of the guides in docs/, on demo PCs under Xvfb:
#   main-window.png                  the main window, the applications' folders found
#   main-window-no-applications.png  the same window on a PC without them
#   history-view.png                 the history view after the grant
#   folder-dialog.png                the folder dialog with a folder opened
#   main-window-144dpi.png           the main window at 144 DPI (150%)
#   folder-dialog-144dpi.png         the folder dialog at 144 DPI
# Run it again after a change to a window, and look at every picture.
#   VK_BUILD_DIR   build folder (default: build/ in the clone)
#   VK_PICTURES_DIR where the pictures go (default: docs/ in the clone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}

if [ -z "${VK_UNDER_XVFB:-}" ]; then
    "$root/scripts/install-deps.sh"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$build" -j"$(nproc)" --target VK_UTL VK_CMD VKSVC demo_driver vk_start_with \
        vk_windows_inheritance vksvc_with_store >/dev/null
    VK_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

. "$root/scripts/lib/demo-pc.sh"
. "$root/tests/wine/setup/lib/dpi.sh"
docs=${VK_PICTURES_DIR:-$root/docs}

# shoot KIND DPI STEP [ARG] PICTURE: one picture on a fresh demo PC of KIND
# whose screen has DPI.
shoot() {
    local kind=$1 dpi=$2 step=$3 picture=${*: -1}
    local args=("${@:3:$#-3}")
    local prefix="$build/screenshot-pc"
    make_demo_pc "$prefix" "$build/bin" "$kind"
    set_dpi "$prefix" "$dpi"
    WINEPREFIX="$prefix" wineserver -p
    run_utility "$prefix"
    drive_utility "$prefix" "${args[@]}"
    save_picture "$prefix" "${step/grant-history/history}" "$docs/$picture"
    WINEPREFIX="$prefix" wineserver -k
    rm -rf "$prefix"
    echo "screenshots: $docs/$picture"
}

shoot full 96 main main-window.png
shoot bare 96 main main-window-no-applications.png
shoot full 96 grant-history history-view.png
shoot full 96 dialog VESKA folder-dialog.png
shoot full 144 main main-window-144dpi.png
shoot full 144 dialog VESKA folder-dialog-144dpi.png
