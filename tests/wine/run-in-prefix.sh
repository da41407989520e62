#!/usr/bin/env bash
# Runs one Windows program in a Windows of its own: a fresh copy of the
# template prefix, with its own X server, wineserver and drive C:. The
# folder of the program (the build's bin folder: every binary of the toolkit
# side by side) is copied to C:\vk, and the program runs from there.
#
# usage: run-in-prefix.sh PROGRAM.exe [ARGS...]
# environment:
#   VK_TEMPLATE_PREFIX  the template prefix (make-template-prefix.sh)
#   VK_PREFIX_SETUP     names of scripts in setup/ that shape the prefix before
#                       its wineserver starts (drives, for instance)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VK_UNDER_XVFB:-}" ]; then
    VK_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

. "$here/wine-env.sh"
template=${VK_TEMPLATE_PREFIX:?set VK_TEMPLATE_PREFIX to the template prefix}
program=$1
shift

work=$(mktemp -d "${TMPDIR:-/tmp}/vk-run.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

# Wine's own libraries (half a gigabyte) are shared with the template through
# hard links; no test writes there. Everything else is a copy of its own.
mkdir -p "$WINEPREFIX"
shared="drive_c/windows/system32 drive_c/windows/winsxs"
# A 64-bit Windows keeps its 32-bit libraries apart.
[ -d "$template/drive_c/windows/syswow64" ] && shared="$shared drive_c/windows/syswow64"
tar -C "$template" $(printf -- '--exclude=./%s ' $shared) -cf - . | tar -C "$WINEPREFIX" -xf -
for folder in $shared; do
    cp -al "$template/$folder" "$WINEPREFIX/$folder"
done
mkdir -p "$WINEPREFIX/drive_c/vk"
cp -r "$(dirname "$program")/." "$WINEPREFIX/drive_c/vk/"
for setup in ${VK_PREFIX_SETUP:-}; do
    "$here/setup/$setup.sh" "$WINEPREFIX" || { echo "prefix setup $setup failed"; exit 1; }
done

# Start the server and Wine's own background processes first and away from
# our output: otherwise they inherit the pipe and the caller waits for them.
wineserver -p
wine_ja cmd /c exit </dev/null >/dev/null 2>&1

cd "$WINEPREFIX/drive_c/vk"
wine_ja "C:\\vk\\$(basename "$program")" "$@" </dev/null >"$work/output" 2>&1
status=$?
cat "$work/output"
exit $status
