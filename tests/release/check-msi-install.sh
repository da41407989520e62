#!/usr/bin/env bash
# The package under Wine, in a copy of the template prefix: msiexec /i /qn
# puts the programs and the guide in C:\Program Files\VESKA Tools and the
# shortcut in the Start menu; VK_CMD.exe /check runs from there (a result
# line, exit code 0, 1 or 6: it found VKSVC.dll beside it); msiexec /x /qn
# removes them all and leaves C:\windows\VK_XP.log as it was.
#   check-msi-install.sh PACKAGE.msi GUIDE_DIR   (VK_TEMPLATE_PREFIX: the template)
set -uo pipefail
if [ -z "${VK_UNDER_XVFB:-}" ]; then
    VK_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
. "$(dirname "$0")/../wine/wine-env.sh"
msi=$(realpath "$1") guide_dir=$(realpath "$2") template=${VK_TEMPLATE_PREFIX:?}
fail() { echo "FAIL: $*"; exit 1; }
[ -d "$template/drive_c" ] || fail "no template prefix in $template"
work=$(mktemp -d "${TMPDIR:-/tmp}/vk-msi.XXXXXX")
export WINEPREFIX=$work/prefix
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir "$WINEPREFIX"  # Wine's libraries hard-linked, as run-in-prefix.sh does
tar -C "$template" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs -cf - . |
    tar -C "$WINEPREFIX" -xf -
cp -al "$template/drive_c/windows/system32" "$template/drive_c/windows/winsxs" "$WINEPREFIX/drive_c/windows/"
cp "$msi" "$WINEPREFIX/drive_c/package.msi"
printf '[VK_XP]\r\nC:\\VESKA=OK\r\n' | tee "$work/VK_XP.log" >"$WINEPREFIX/drive_c/windows/VK_XP.log"
wineserver -p; wine_ja cmd /c exit </dev/null >/dev/null 2>&1  # the server first (run-in-prefix.sh)
cd "$WINEPREFIX/drive_c"
folder="$WINEPREFIX/drive_c/Program Files/VESKA Tools"
shortcut() { find "$WINEPREFIX/drive_c" -name 'VESKA Windows ユーティリティ.lnk' | grep .; }
wine_ja msiexec /i 'C:\package.msi' /qn </dev/null || fail "msiexec /i exited with $?"
[ "$(ls -A "$folder" | sort)" = "$( (ls "$guide_dir"; printf '%s\n' VK_UTL.exe VK_CMD.exe VKSVC.dll vsrepair.exe) |
    sort)" ] || fail "installed:"$'\n'"$(ls -A "$folder")"
shortcut || fail "no shortcut 「VESKA Windows ユーティリティ」"
wine_ja 'C:\Program Files\VESKA Tools\VK_CMD.exe' /check </dev/null >"$work/check" 2>&1; status=$?
iconv -f CP932 -t UTF-8 "$work/check"
case $status in 0 | 1 | 6) echo "VK_CMD.exe /check: exit code $status" ;; *) fail "VK_CMD.exe /check exited with $status" ;; esac
grep -qaE $'^(OK|ERROR|DUE|LEFT|SKIP)\t' "$work/check" || fail "VK_CMD.exe /check printed no result"
wine_ja msiexec /x 'C:\package.msi' /qn </dev/null || fail "msiexec /x exited with $?"
[ ! -e "$folder" ] || fail "left in $folder:"$'\n'"$(ls -A "$folder")"
! shortcut || fail "the shortcut is left"
cmp "$work/VK_XP.log" "$WINEPREFIX/drive_c/windows/VK_XP.log" || fail "VK_XP.log is not as it was"
echo "installed, run and uninstalled; VK_XP.log left as it was"
