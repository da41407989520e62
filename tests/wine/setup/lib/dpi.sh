# The screen's DPI of a prefix, set while its wineserver is down. Sourced by
# the setup scripts beside it.

# set_dpi PREFIX DPI
#   Wine 8 takes the DPI from the user's "Control Panel\Desktop" LogPixels,
#   and without it from the hardware profile's Software\Fonts LogPixels
#   (96, which wineboot writes into system.reg): both are set.
set_dpi() {
    local prefix=$1 dpi=$2 hex
    hex=$(printf '%08x' "$dpi")
    sed -i "s/^\"LogPixels\"=dword:[0-9a-f]*/\"LogPixels\"=dword:$hex/" "$prefix/system.reg"
    grep -q "^\"LogPixels\"=dword:$hex" "$prefix/system.reg" || { echo "no LogPixels in system.reg"; return 1; }
    # A key section of its own: the server merges repeated sections.
    printf '\n[Control Panel\\\\Desktop]\n"LogPixels"=dword:%s\n' "$hex" >>"$prefix/user.reg"
}
