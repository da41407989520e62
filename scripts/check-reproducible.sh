#!/usr/bin/env bash
# Checks that the build is byte-identical wherever and whenever it runs: two
# clean builds of the checked-out commit, in two temporary folders of
# different names, a few seconds apart and in different time zones, must
# give the same VKSVC.dll, VK_UTL.exe, VK_CMD.exe, vsrepair.exe and release
# archive.
# The second build uses Ninja where it is installed, the first CMake's
# default generator: the build tool must not matter either. Prints each
# file's SHA-256 and a verdict; exits non-zero on a difference. The tests are
# not built (they do not change the shipped files).
#   VK_KEEP_BUILDS=1   leave the two build folders behind, to look into
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
    echo "note: uncommitted changes are not built; checking $commit" >&2

work=$(mktemp -d /tmp/vk-reproducible.XXXXXX)
[ -n "${VK_KEEP_BUILDS:-}" ] || trap 'rm -rf "$work"' EXIT

# One clean build in FOLDER, in time zone ZONE, with CMake's options after.
build_in() {
    local folder=$1 zone=$2
    git clone -q --no-checkout "$root" "$folder/src"
    git -C "$folder/src" checkout -q --detach "$commit"
    TZ=$zone cmake -S "$folder/src" -B "$folder/build" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DBUILD_TESTING=OFF "${@:3}" >"$folder/configure.log"
    TZ=$zone cmake --build "$folder/build" -j2 >"$folder/build.log" 2>&1 ||
        { tail -n 20 "$folder/build.log" >&2; exit 1; }
}

first=$work/a
second=$work/second-build-elsewhere
echo "building $commit in $first (UTC)"
build_in "$first" UTC
sleep 2
generator=()
! command -v ninja >/dev/null || generator=(-G Ninja)
echo "building $commit in $second (Asia/Tokyo${generator:+, Ninja})"
build_in "$second" Asia/Tokyo "${generator[@]}"

archive() { ls "$1"/build/VESKA-Windows-Utility-*.zip 2>/dev/null | head -n 1; }
shipped() {  # the shipped files of a build, as paths inside it
    local archive_path
    archive_path=$(archive "$1")
    echo build/bin/VKSVC.dll build/bin/VK_UTL.exe build/bin/VK_CMD.exe build/bin/vsrepair.exe \
        "${archive_path#"$1"/}"
}

differ=0
echo
echo "(the .msi is left out: wixl writes the time and a new package code into every package)"
for file in $(shipped "$first"); do
    a=$first/$file b=$second/$file
    if [ ! -f "$a" ] || [ ! -f "$b" ]; then
        echo "MISSING  $file"
        differ=1
        continue
    fi
    printf '%s  %s\n' "$(sha256sum <"$a" | cut -d' ' -f1)" "$(basename "$file")"
    if ! cmp -s "$a" "$b"; then
        printf '%s  %s (second build)\n' "$(sha256sum <"$b" | cut -d' ' -f1)" "$(basename "$file")"
        echo "DIFFERS  $file: $(cmp "$a" "$b" | head -n 1)"
        differ=1
    fi
    # Neither build's folder may show in what it made.
    for folder in "$first" "$second"; do
        if grep -aqF "$folder" "$a" "$b"; then
            echo "PATH     $file names $folder"
            differ=1
        fi
    done
done

echo
if [ $differ -eq 0 ]; then
    echo "reproducible: the two builds are byte-identical"
else
    echo "NOT reproducible: the two builds differ (see above)"
fi
exit $differ
