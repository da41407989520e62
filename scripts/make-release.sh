#!/usr/bin/env bash
# Makes the release archive: the given files side by side, in the order given,
# followed by SHA256SUMS.txt with their checksums (sha256sum's format).
#   make-release.sh ARCHIVE.zip FILE...
#   SOURCE_DATE_EPOCH     time stamp of every entry (default: the time of the
#                         checked-out commit)
# The same files make the same bytes, whatever their times and modes and the
# machine's clock and time zone. Names are stored as UTF-8 and marked as such:
# Japanese names survive extraction whatever the code page. If a file is
# missing, it fails and leaves no archive behind.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 ARCHIVE.zip FILE..." >&2; exit 2; }
archive=$(realpath -m "$1"); shift
root=$(cd "$(dirname "$0")/.." && pwd)

stage=$(mktemp -d "$archive.XXXXXX")
trap 'status=$?; rm -rf "$stage"; [ $status -eq 0 ] || rm -f "$archive"' EXIT

names=()
for file in "$@"; do
    name=$(basename "$file")
    [ -f "$file" ] || { echo "make-release: $file is missing" >&2; exit 1; }
    [ ! -e "$stage/$name" ] || { echo "make-release: two files named $name" >&2; exit 1; }
    cp "$file" "$stage/$name"
    names+=("$name")
done
(cd "$stage" && sha256sum -- "${names[@]}" >SHA256SUMS.txt)
names+=(SHA256SUMS.txt)

stamp=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)}
# Zip stores local times: UTC makes them the same on every machine. -X leaves
# out owners and the extra time fields, which would differ from run to run.
export TZ=UTC LC_ALL=C.UTF-8
zip=$stage/release.zip
(cd "$stage" && chmod 644 -- "${names[@]}" && touch -d "@$stamp" -- "${names[@]}" &&
    zip -q -X -D -nw -9 "$zip" "${names[@]}")

# Zip 3.0 stores the names' UTF-8 bytes but leaves them unmarked, and readers
# then take them for the local code page (CP932 on a Japanese Windows). Mark
# every name UTF-8, bit 11 of the flags of its central and local headers.
u() { od -An -tu"$2" -j"$1" -N"$2" "$zip" | tr -d ' '; }  # little-endian host
mark_utf8() {  # offset of a header's flags
    printf "\\x$(printf %02x $(( $(u $(($1 + 1)) 1) | 0x08 )))" |
        dd of="$zip" bs=1 seek=$(($1 + 1)) conv=notrunc status=none
}
end=$(( $(stat -c %s "$zip") - 22 ))
[ "$(u $end 4)" = $((0x06054b50)) ] || { echo "make-release: unexpected zip layout" >&2; exit 1; }
at=$(u $((end + 16)) 4) entries=$(u $((end + 10)) 2)
for ((i = 0; i < entries; i++)); do
    mark_utf8 $((at + 8))
    mark_utf8 $(( $(u $((at + 42)) 4) + 6 ))
    at=$((at + 46 + $(u $((at + 28)) 2) + $(u $((at + 30)) 2) + $(u $((at + 32)) 2)))
done

# An unchanged archive keeps its time.
cmp -s "$zip" "$archive" 2>/dev/null || mv "$zip" "$archive"
