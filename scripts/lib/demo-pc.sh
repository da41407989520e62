# A demo PC: a Wine prefix of its own with the maker's applications set up
# as on a customer's PC. Sourced by demo.sh and make-screenshots.sh.
#   make_demo_pc PREFIX BIN [bare]
#     A copy of VK_TEMPLATE_PREFIX when it is set, else a new prefix:
#     Windows 7, Japanese code page, Windows' Japanese faces drawn with the
#     Ume fonts (the template's mapping), the applications' ini files in
#     C:\windows naming folders under C:\VESKA (with files in them),
#     C:\VESKADAT, and a second fixed NTFS drive D: named DATA. With "bare",
#     a PC without any of the applications. VK_UTL.exe and VKSVC.dll from
#     BIN are installed in C:\Program Files\VESKA Tools, where only
#     administrators may change them (never in a folder that is granted).
#   start_utility PREFIX    runs VK_UTL.exe, with Windows' inherited entries
#                           in place of Wine's, until its window closes
#   run_utility PREFIX      the same in the background
#   drive_utility PREFIX BIN STEP... runs the demo driver (pictures as BMP in
#                           C:\shots)
#   run_command PREFIX ARGS...  runs VK_CMD.exe with ARGS and prints its lines
#                           and exit code; it runs from C:\shots\command
#                           beside the tests' VKSVC.dll, which keeps DACLs
#                           and computes inherited entries as Windows does

demo_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$demo_lib/../.." && pwd)
. "$root/tests/wine/wine-env.sh"
. "$root/tests/wine/setup/lib/drives.sh"

# Where the tools are installed, as Windows and as the host name it.
tools_windows='C:\Program Files\VESKA Tools'
tools_folder="Program Files/VESKA Tools"

# An ini file of the Windows directory, in Shift-JIS with CR LF line ends.
write_ini() {
    local prefix=$1 name=$2
    sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$prefix/drive_c/windows/$name"
}

make_demo_pc() {
    local prefix=$1 bin=$2 kind=${3:-full}
    rm -rf "$prefix"
    # A copy of a ready template is much faster than a new Windows.
    if [ -n "${VK_TEMPLATE_PREFIX:-}" ] && [ -d "$VK_TEMPLATE_PREFIX" ]; then
        cp -a "$VK_TEMPLATE_PREFIX" "$prefix"
    else
        "$root/tests/wine/make-template-prefix.sh" "$prefix"
    fi
    mkdir -p "$prefix/drive_c/$tools_folder" "$prefix/drive_c/shots"
    cp "$bin/VK_UTL.exe" "$bin/VK_CMD.exe" "$bin/VKSVC.dll" "$prefix/drive_c/$tools_folder/"
    mkdir -p "$prefix/drive_c/shots/command"
    cp "$bin/VK_CMD.exe" "$bin/command_double/VKSVC.dll" "$prefix/drive_c/shots/command/"
    cp "$bin/VKSVC.dll" "$prefix/drive_c/shots/command/VKSVC_real.dll"
    cp "$bin/demo_driver.exe" "$bin/vk_start_with.exe" "$bin/vk_windows_inheritance.dll" \
        "$prefix/drive_c/shots/"
    printf 'SYSTEM\n' >"$prefix/drive_c/.windows-label"
    add_drive "$prefix" d
    printf 'DATA\n' >"$prefix/drives/d/.windows-label"
    [ "$kind" = bare ] && return 0

    # Folders and files with Japanese names are made by Windows itself, so
    # that their names are right whatever the host's locale.
    sed 's/$/\r/' <<'BAT' | iconv -f UTF-8 -t CP932 >"$prefix/drive_c/make-folders.bat"
@echo off
for %%f in (OrvikVasto\DB OrvikVasto\APP ZELTRAN\データ OrvikNimb\DB 請求Orvik\DB 企業補佐\DB DBCOM Engine Standalone) do (
  mkdir C:\VESKA\%%f
  echo demo> C:\VESKA\%%f\会計データ.dat
)
mkdir C:\VESKADAT
echo demo> C:\VESKADAT\共通.dat
mkdir D:\業務データ
BAT
    WINEPREFIX="$prefix" wine_ja cmd /c 'C:\make-folders.bat' </dev/null >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -k
    rm "$prefix/drive_c/make-folders.bat"

    write_ini "$prefix" appRC02.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\OrvikVasto\DB
APP_DIR=C:\VESKA\OrvikVasto\APP
INI
    write_ini "$prefix" QX_LEDG.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\ZELTRAN\データ
INI
    write_ini "$prefix" appRB02.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\OrvikNimb\DB
INI
    write_ini "$prefix" appRA01.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\請求Orvik\DB
INI
    write_ini "$prefix" QX_ADVS.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\企業補佐\DB
INI
    write_ini "$prefix" QX_DBE32.ini <<'INI'
[MAIN_SERVER]
DBCOM_DIR=C:\VESKA\DBCOM
[Server]
EngineName1=QX_ENGINE
[QX_ENGINE]
DBCOM_DIR=C:\VESKA\Engine
INI
    write_ini "$prefix" LW_DBE32.ini <<'INI'
[DIR]
DB_DIR=C:\VESKA\Standalone
INI
}

# The utility with Windows' inherited entries, which Wine does not compute:
# without them every grant of a folder with files in it would fail here.
start_utility() {
    local prefix=$1
    (cd "$prefix/drive_c/$tools_folder" && WINEPREFIX="$prefix" wine_ja 'C:\shots\vk_start_with.exe' \
        'C:\shots\vk_windows_inheritance.dll' "$tools_windows\\VK_UTL.exe")
}

run_utility() {
    start_utility "$1" </dev/null >/dev/null 2>&1 &
}

drive_utility() {
    local prefix=$1
    shift
    WINEPREFIX="$prefix" wine_ja 'C:\shots\demo_driver.exe' 'C:\shots' "$@" </dev/null
}

# Converts the driver's picture STEP.bmp of PREFIX into OUT.png.
save_picture() {
    local prefix=$1 step=$2 out=$3
    convert "$prefix/drive_c/shots/$step.bmp" "$out"
}

run_command() {
    local prefix=$1 status=0 output
    shift
    output=$(mktemp)
    WINEPREFIX="$prefix" wine_ja 'C:\shots\command\VK_CMD.exe' "$@" </dev/null >"$output" 2>/dev/null ||
        status=$?
    # Redirected, VK_CMD.exe writes in the console's code page: 932 here.
    iconv -f CP932 -t UTF-8 "$output" | tr -d '\r'
    rm -f "$output"
    echo "(exit code $status)"
}
