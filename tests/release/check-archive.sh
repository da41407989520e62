#!/usr/bin/env bash
# The release archive holds exactly VK_UTL.exe, VK_CMD.exe, VKSVC.dll,
# vsrepair.exe, the guide's page with every picture it shows, and
# SHA256SUMS.txt; the binaries are the tested ones of the build, byte for
# byte; the checksums are theirs; every name is stored as a Japanese Windows'
# zip folder reads it (CP932, not marked UTF-8, no Unicode name beside it);
# SHA256SUMS.txt is text that Notepad of any Japanese Windows shows line by
# line (CP932, every line ended by CR LF); the same files make the same
# archive again; and given a certificate, the script signs the four binaries
# twice over exactly the tested bytes, SHA-1 first and SHA-256 nested in it
# (as osslsigncode 2.5, Debian 12's own, and later versions report them).
# The package beside the archive installs the same files and nothing else (no
# action, no removal, no permission), and its checksum is right; a signed one
# holds the signed programs, and its one SHA-256 signature verifies.
#   check-archive.sh ARCHIVE BIN_DIR GUIDE_DIR MAKE_RELEASE PACKAGE
set -euo pipefail
unset VK_SIGN_PKCS12 VK_SIGN_PKCS11_MODULE VK_SIGN_PKCS11_KEY VK_SIGN_CERTS VK_SIGN_PASSWORD \
    VK_SIGN_TIMESTAMP VK_SIGN_TIMESTAMP_LEGACY  # the unsigned cases must stay unsigned
archive=$(realpath -m "$1") bin=$(realpath -m "$2") guide_dir=$(realpath -m "$3") make_release=$(realpath -m "$4")
msi=$(realpath -m "$5")
export LC_ALL=C.UTF-8
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$archive" ] || fail "$archive is missing: build the release target"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

binaries=(VK_UTL.exe VK_CMD.exe VKSVC.dll vsrepair.exe)
guide_files=()
while IFS= read -r name; do guide_files+=("$name"); done < <(ls "$guide_dir")
page=$(cd "$guide_dir" && ls ./*.html) page=${page#./}
shipped=("${binaries[@]}" "${guide_files[@]}")

# The names' very bytes, from the central directory, which is what Windows
# lists; and the flags of the local headers too.
le() { od -An -tu"$3" -j"$2" -N"$3" "$1" | tr -d ' '; }  # little-endian host
u() { le "$archive" "$@"; }
end=$(( $(stat -c %s "$archive") - 22 ))
[ "$(u $end 4)" = $((0x06054b50)) ] || fail "no end of central directory (archive comment?)"
at=$(u $((end + 16)) 4) entries=$(u $((end + 10)) 2)
held=()
for ((i = 0; i < entries; i++)); do
    [ "$(u "$at" 4)" = $((0x02014b50)) ] || fail "bad central directory entry $i"
    length=$(u $((at + 28)) 2) extra=$(u $((at + 30)) 2)
    name=$(dd if="$archive" bs=1 skip=$((at + 46)) count="$length" status=none | iconv -f CP932 -t UTF-8) ||
        fail "entry $i's name is not CP932"
    local_header=$(u $((at + 42)) 4)
    (( ($(u $((at + 8)) 2) | $(u $((local_header + 6)) 2)) & 0x800 )) && fail "$name is marked UTF-8"
    for ((x = at + 46 + length; x < at + 46 + length + extra; x += 4 + $(u $((x + 2)) 2))); do
        [ "$(u $x 2)" != $((0x7075)) ] || fail "$name has a Unicode name field"
    done
    held+=("$name")
    at=$((at + 46 + length + extra + $(u $((at + 32)) 2)))
done
[ "$(printf '%s\n' "${held[@]}" | sort)" = "$(printf '%s\n' "${shipped[@]}" SHA256SUMS.txt | sort)" ] ||
    fail "the archive holds:"$'\n'"$(printf '%s\n' "${held[@]}")"

mkdir out && bsdtar -C out --options zip:hdrcharset=CP932 -xf "$archive"
for name in "${binaries[@]}"; do
    cmp "out/$name" "$bin/$name" || fail "$name is not the tested $bin/$name"
done
for name in "${guide_files[@]}"; do
    cmp "out/$name" "$guide_dir/$name" || fail "$name is not the built $guide_dir/$name"
done
head -c 200 "out/$page" | grep -q '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">' ||
    fail "$page does not declare UTF-8 at its start"
grep -o '<img src="[^"]*"' "out/$page" | sed 's/^<img src="//; s/"$//' | sort -u >pictures
[ -s pictures ] || fail "$page shows no picture"
while IFS= read -r picture; do
    [ -f "out/$picture" ] || fail "$page shows $picture, which the archive lacks"
done <pictures

# As sha256sum reads it: LF line ends, the names in this machine's UTF-8.
sums_here() {
    local sums=$1
    [ "$(tail -c 2 "$sums" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "$sums does not end with CR LF"
    [ "$(grep -c $'\r$' "$sums")" = "$(wc -l <"$sums")" ] || fail "$sums has a line without CR LF"
    ! grep -q $'\r.' "$sums" || fail "$sums has a CR inside a line"
    tr -d '\r' <"$sums" | iconv -f CP932 -t UTF-8 || fail "$sums is not CP932"
}
sums_here out/SHA256SUMS.txt >out/SHA256SUMS.lf
listed=$(sed 's/^[0-9a-f]\{64\}  //' out/SHA256SUMS.lf | sort)
[ "$listed" = "$(printf '%s\n' "${shipped[@]}" | sort)" ] ||
    fail "SHA256SUMS.txt lists:"$'\n'"$listed"
(cd out && sha256sum --check --strict --quiet SHA256SUMS.lf) || fail "SHA256SUMS.txt is wrong"

# The package: its File table, its files, its checksum, nothing else done.
[ -f "$msi" ] || fail "$msi is missing: build the msi target"
msi_files() { msiinfo export "$1" File | tail -n +4 | cut -f3 | sort; }
[ "$(msi_files "$msi")" = "$(printf '%s\n' "${shipped[@]}" | sort)" ] ||
    fail "the package installs:"$'\n'"$(msi_files "$msi")"
mkdir msi && msiextract -C msi "$msi" >/dev/null
for name in "${shipped[@]}"; do
    cmp "msi/Program Files/VESKA Tools/$name" "out/$name" || fail "the package's $name is not the built one"
done
(cd "$(dirname "$msi")" && sha256sum --check --strict --quiet "$msi.sha256") || fail "$msi.sha256 is wrong"
for table in CustomAction RemoveFile CreateFolder LockPermissions MsiLockPermissionsEx; do
    [ -z "$(msiinfo export "$msi" "$table" 2>/dev/null | tail -n +4)" ] || fail "the package fills $table"
done

# The same files, with other times and modes, archived at another time in
# another time zone, make the same bytes.
"$make_release" first.zip "${binaries[@]/#/$bin/}" "$guide_dir"
mkdir -p again/guide && cp "${binaries[@]/#/out/}" again/ && cp "${guide_files[@]/#/out/}" again/guide/
chmod 600 again/*.* again/guide/* && touch -d '2011-03-11 14:46' again/*.* again/guide/*
# A clock 400 days on, not a wait: zip's times count in steps of two seconds.
TZ=Asia/Tokyo faketime -f +400d "$make_release" second.zip "${binaries[@]/#/again/}" again/guide
cmp first.zip second.zip || fail "the archive depends on times, time zone or modes"

# Signed with a throwaway self-signed code-signing certificate, and no
# timestamp server: the test stays off the network.
password="pass word's \"quoted\""
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=VESKA release test" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1 ||
    fail "openssl cannot make a certificate"
pass=$password openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout env:pass
! VK_SIGN_PKCS12=cert.p12 VK_SIGN_PASSWORD=wrong "$make_release" --msi refused.msi refused.zip \
    "${binaries[@]/#/$bin/}" "$guide_dir" 2>/dev/null || fail "a wrong password made an archive"
[ -z "$(ls refused.* 2>/dev/null)" ] || fail "a failed signing left $(ls refused.*) behind"
VK_SIGN_PKCS12=cert.p12 VK_SIGN_PASSWORD=$password "$make_release" --msi signed.msi signed.zip \
    "${binaries[@]/#/$bin/}" "$guide_dir"
mkdir signed && bsdtar -C signed --options zip:hdrcharset=CP932 -xf signed.zip
sums_here signed/SHA256SUMS.txt >signed/SHA256SUMS.lf
(cd signed && sha256sum --check --strict --quiet SHA256SUMS.lf) || fail "the signed archive's SHA256SUMS.txt is wrong"
sha256sum --check --strict --quiet signed.msi.sha256 || fail "signed.msi.sha256 is wrong"
osslsigncode verify -CAfile cert.pem -in signed.msi >verify.txt 2>&1 &&
    [ "$(grep -c '^Signature verification: ok' verify.txt)" = 1 ] &&
    grep -q '^Message digest algorithm *: SHA256' verify.txt || fail "signed.msi:"$'\n'"$(cat verify.txt)"
mkdir signed-msi && msiextract -C signed-msi signed.msi >/dev/null
for name in "${shipped[@]}"; do
    cmp "signed-msi/Program Files/VESKA Tools/$name" "signed/$name" || fail "signed.msi's $name is not the signed one"
done

# The Authenticode digest of an unsigned program, computed here and not by
# osslsigncode: the digest (sha1sum, sha256sum) of the whole file but the two
# header fields that signing rewrites (the checksum, the certificate table's
# entry), and the zeros that pad the file to the 8-byte boundary where the
# signature goes.
authenticode_digest() {
    local file=$1 sum=$2 optional checksum table size
    optional=$(( $(le "$file" 60 4) + 24 )) checksum=$((optional + 64)) size=$(stat -c %s "$file")
    case $(le "$file" "$optional" 2) in
        $((0x10b))) table=$((optional + 128)) ;;  # PE32
        $((0x20b))) table=$((optional + 144)) ;;  # PE32+
        *) fail "$file is not a PE file" ;;
    esac
    [ "$(le "$file" $((table + 4)) 4)" = 0 ] || fail "$file is signed already"
    { head -c "$checksum" "$file"; tail -c +$((checksum + 5)) "$file" | head -c $((table - checksum - 4))
      tail -c +$((table + 9)) "$file"; head -c $(( (8 - size % 8) % 8 )) /dev/zero; } | "$sum" | cut -d' ' -f1
}
for name in "${binaries[@]}"; do
    cmp "out/$name" "$bin/$name" || fail "signing changed the build's $name"
    osslsigncode verify -CAfile cert.pem -in "signed/$name" >verify.txt 2>&1 ||
        fail "$name's signatures do not verify:"$'\n'"$(cat verify.txt)"
    # Each signature's own lines start the line; its signer's are indented.
    expected="SHA1 $(authenticode_digest "$bin/$name" sha1sum)"$'\n'"SHA256 $(authenticode_digest "$bin/$name" sha256sum)"
    for which in Current Calculated; do
        digests=$(awk -v which="$which" '
            /^Message digest algorithm *:/ { algorithm = $NF }
            $0 ~ "^" which " message digest *:" { print algorithm, tolower($NF) }' verify.txt)
        [ "$digests" = "$expected" ] ||
            fail "$name: the ${which,,} digests of its signatures, in order:"$'\n'"${digests:-none}"$'\n'"the tested binary's:"$'\n'"$expected"
    done
    [ "$(grep -c '^Signature verification: ok' verify.txt)" = 2 ] ||
        fail "$name: not both signatures verify:"$'\n'"$(cat verify.txt)"
done
