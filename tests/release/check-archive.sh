#!/usr/bin/env bash
# The release archive holds exactly VK_UTL.exe, VKSVC.dll, vsrepair.exe, the
# administrator's guide and SHA256SUMS.txt; the binaries are the tested ones
# of the build, byte for byte; the checksums are theirs; the guide's name is
# marked UTF-8; and the same files make the same archive again.
#   check-archive.sh ARCHIVE BIN_DIR GUIDE MAKE_RELEASE
#   CMAKE   the cmake to read zip archives with (default: cmake)
set -euo pipefail
archive=$1 bin=$2 guide=$3 make_release=$4
cmake=${CMAKE:-cmake}
export LC_ALL=C.UTF-8
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$archive" ] || fail "$archive is missing: build the release target"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

binaries=(VK_UTL.exe VKSVC.dll vsrepair.exe)
shipped=("${binaries[@]}" 管理者ガイド.md)
expected=$(printf '%s\n' "${shipped[@]}" SHA256SUMS.txt | sort)
held=$("$cmake" -E tar tf "$archive" | sort)
[ "$held" = "$expected" ] || fail "the archive holds:"$'\n'"$held"

mkdir out && (cd out && "$cmake" -E tar xf "$archive")
for name in "${binaries[@]}"; do
    cmp "out/$name" "$bin/$name" || fail "$name is not the tested $bin/$name"
done
cmp out/管理者ガイド.md "$guide" || fail "the guide is not $guide"

listed=$(sed 's/^[0-9a-f]\{64\}  //' out/SHA256SUMS.txt | sort)
[ "$listed" = "$(printf '%s\n' "${shipped[@]}" | sort)" ] ||
    fail "SHA256SUMS.txt lists:"$'\n'"$listed"
(cd out && sha256sum --check --strict --quiet SHA256SUMS.txt) || fail "SHA256SUMS.txt is wrong"

# Central directory: every entry with a non-ASCII name sets flag bit 11
# (UTF-8), or Windows and 7-Zip show it in the local code page.
u() { od -An -tu"$2" -j"$1" -N"$2" "$archive" | tr -d ' '; }  # little-endian host
end=$(( $(stat -c %s "$archive") - 22 ))
[ "$(u $end 4)" = $((0x06054b50)) ] || fail "no end of central directory (archive comment?)"
at=$(u $((end + 16)) 4) entries=$(u $((end + 10)) 2)
for ((i = 0; i < entries; i++)); do
    [ "$(u "$at" 4)" = $((0x02014b50)) ] || fail "bad central directory entry $i"
    length=$(u $((at + 28)) 2)
    name=$(dd if="$archive" bs=1 skip=$((at + 46)) count="$length" status=none)
    if LC_ALL=C grep -q '[^ -~]' <<<"$name"; then
        (( $(u $((at + 8)) 2) & 0x800 )) || fail "$name is not marked UTF-8"
    fi
    at=$((at + 46 + length + $(u $((at + 30)) 2) + $(u $((at + 32)) 2)))
done

# The same files, with other times and modes, archived at another time in
# another time zone, make the same bytes.
"$make_release" first.zip "${binaries[@]/#/$bin/}" "$guide"
mkdir again && cp "${shipped[@]/#/out/}" again/ && chmod 600 again/* && touch -d '2011-03-11 14:46' again/*
sleep 2  # zip's times count in steps of two seconds
TZ=Asia/Tokyo "$make_release" second.zip "${binaries[@]/#/again/}" again/管理者ガイド.md
cmp first.zip second.zip || fail "the archive depends on times, time zone or modes"
