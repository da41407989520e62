#!/usr/bin/env bash
# Makes the Windows that every test starts from: a fresh 32-bit Wine prefix
# with Wine's own fonts, Japanese faces mapped to the Ume fonts, a virtual
# desktop, and no Z: drive (so that the list of drives is C: alone). With
# WINEARCH=win64 the same Windows in 64 bits.
# usage: make-template-prefix.sh DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=$1
. "$here/wine-env.sh"

# Wine finds the host's fonts through fontconfig. A face mapped to a family
# that is not installed falls back to a fixed-pitch one without a word, and
# every picture and layout would then be wrong: stop here instead.
families=$(fc-list : family | tr , '\n')
for family in "Ume P Gothic" "Ume Gothic" "Ume UI Gothic"; do
    grep -qx "$family" <<<"$families" ||
        { echo "make-template-prefix: font family \"$family\" is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

export WINEPREFIX="$target.new"
rm -rf "$WINEPREFIX" "$target"
mkdir -p "$(dirname "$target")"
if [ "$WINEARCH" = win64 ]; then
    # Debian keeps the 64-bit loader out of PATH.
    wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
    LC_ALL=ja_JP.UTF-8 "$wine64" wineboot -i </dev/null >/dev/null 2>&1
else
    LC_ALL=ja_JP.UTF-8 wineboot -i </dev/null >/dev/null 2>&1
fi
wineserver -w

# Debian's Wine does not find its own fonts: without them title-bar
# buttons are drawn as letters.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

# regedit reads UTF-16 with a byte-order mark, which keeps the Japanese names.
settings="$WINEPREFIX/drive_c/prefix-settings.reg"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/prefix-settings.reg"; } > "$settings"
wine_ja regedit /S 'C:\prefix-settings.reg' </dev/null >/dev/null 2>&1
rm "$settings"

rm -f "$WINEPREFIX/dosdevices/z:"
wineserver -k || true # the server may have gone by itself
wineserver -w
mv "$WINEPREFIX" "$target"
