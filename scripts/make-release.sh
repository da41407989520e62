#!/usr/bin/env bash
# Makes the release archive: the given files side by side, in the order given
# (a folder gives the files in it, by name), followed by SHA256SUMS.txt with
# their checksums (sha256sum's format, in CP932 with CR LF line ends, so that
# Notepad of every Japanese Windows shows one file a line with its name).
# With --msi, also the Windows Installer package of the same files
# (make-msi.sh), and PACKAGE.msi.sha256 beside it.
#   make-release.sh [--msi PACKAGE.msi] ARCHIVE.zip FILE_OR_FOLDER...
#   SOURCE_DATE_EPOCH     time stamp of every entry (default: the time of the
#                         checked-out commit)
#   VK_SIGN_PKCS12        a code-signing certificate with its key (PKCS#12)
#   VK_SIGN_PKCS11_MODULE or, for a key on a hardware token, the token's
#   VK_SIGN_PKCS11_KEY    PKCS#11 module, the key on it (a pkcs11: URI) and
#   VK_SIGN_CERTS         the certificate with its chain (PEM)
#   VK_SIGN_PASSWORD      the PKCS#12 file's password, or the token's PIN
#   VK_SIGN_TIMESTAMP     a timestamp server: RFC 3161 for the SHA-256
#                         signature, and Authenticode's own protocol for the
#                         SHA-1 one, so that both outlive the certificate
#   VK_SIGN_TIMESTAMP_LEGACY  another server for the SHA-1 signature's
#                         timestamp (default: VK_SIGN_TIMESTAMP)
# Given a key, every .exe and .dll is signed twice before the checksums are
# taken (Authenticode): SHA-1 first, which older Windows read, then SHA-256
# nested in it, which later Windows read. The package is made of the signed
# copies, then signed once: SHA-256, with an RFC 3161 timestamp.
# The same files make the same bytes, whatever their times, modes and owners
# and the machine's clock and time zone. Names are stored in CP932 and not
# marked UTF-8: the zip folder of Windows XP and 7 ignores that mark and reads
# every name in the local code page, and later Windows read an unmarked name
# that way too, so a Japanese Windows shows the Japanese names right. If a file
# is missing, it fails and leaves no archive (and no package) behind.
# Signing works on the copies that go into the archive; the given files are
# never changed. A signature holds its signing time, so a signed archive
# differs from run to run (an unsigned one does not).
set -euo pipefail
usage="usage: $0 [--msi PACKAGE.msi] ARCHIVE.zip FILE_OR_FOLDER..."
package=
if [ "${1:-}" = --msi ]; then
    [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
    package=$(realpath -m "$2"); shift 2
fi
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
archive=$(realpath -m "$1"); shift
root=$(cd "$(dirname "$0")/.." && pwd)
export LC_ALL=C.UTF-8 TZ=UTC  # zip stores local times: UTC makes them the same everywhere

stage=$(mktemp -d "$archive.XXXXXX")
trap 'status=$?; rm -rf "$stage"; [ $status -eq 0 ] || rm -f "$archive" ${package:+"$package" "$package.sha256"}' EXIT

# A half-given key would quietly make an unsigned release.
signing=
if [ -n "${VK_SIGN_PKCS12:-}" ]; then
    [ -z "${VK_SIGN_PKCS11_MODULE:-}${VK_SIGN_PKCS11_KEY:-}${VK_SIGN_CERTS:-}" ] ||
        { echo "make-release: VK_SIGN_PKCS12 and a PKCS#11 key both given" >&2; exit 2; }
    [ -f "$VK_SIGN_PKCS12" ] && [ -r "$VK_SIGN_PKCS12" ] ||
        { echo "make-release: cannot read $VK_SIGN_PKCS12" >&2; exit 2; }
    signing=(-pkcs12 "$VK_SIGN_PKCS12")
elif [ -n "${VK_SIGN_PKCS11_MODULE:-}${VK_SIGN_PKCS11_KEY:-}${VK_SIGN_CERTS:-}" ]; then
    [ -n "${VK_SIGN_PKCS11_MODULE:-}" ] && [ -n "${VK_SIGN_PKCS11_KEY:-}" ] && [ -n "${VK_SIGN_CERTS:-}" ] ||
        { echo "make-release: a PKCS#11 key needs VK_SIGN_PKCS11_MODULE, VK_SIGN_PKCS11_KEY and VK_SIGN_CERTS" >&2; exit 2; }
    for file in "$VK_SIGN_PKCS11_MODULE" "$VK_SIGN_CERTS"; do
        [ -f "$file" ] && [ -r "$file" ] || { echo "make-release: cannot read $file" >&2; exit 2; }
    done
    signing=(-pkcs11module "$VK_SIGN_PKCS11_MODULE" -certs "$VK_SIGN_CERTS" -key "$VK_SIGN_PKCS11_KEY")
else
    [ -z "${VK_SIGN_PASSWORD:-}${VK_SIGN_TIMESTAMP:-}${VK_SIGN_TIMESTAMP_LEGACY:-}" ] ||
        { echo "make-release: a password or timestamp server without a key (VK_SIGN_PKCS12 or VK_SIGN_PKCS11_MODULE)" >&2; exit 2; }
fi
if [ -n "$signing" ]; then
    command -v osslsigncode >/dev/null ||
        { echo "make-release: osslsigncode is missing (scripts/install-deps.sh)" >&2; exit 2; }
    [ -z "${VK_SIGN_TIMESTAMP_LEGACY:-}" ] || [ -n "${VK_SIGN_TIMESTAMP:-}" ] ||
        { echo "make-release: VK_SIGN_TIMESTAMP_LEGACY without VK_SIGN_TIMESTAMP" >&2; exit 2; }
fi
# Kept in this shell alone: no program started from here inherits it.
password=${VK_SIGN_PASSWORD:-}
unset VK_SIGN_PASSWORD

files=()
for arg in "$@"; do
    if [ -d "$arg" ]; then
        while IFS= read -r -d '' file; do files+=("$file"); done < <(
            find "$arg" -maxdepth 1 -type f -print0 | LC_ALL=C sort -z)
    else
        [ -f "$arg" ] || { echo "make-release: $arg is missing" >&2; exit 1; }
        files+=("$arg")
    fi
done
names=()
for file in "${files[@]}"; do
    name=$(basename "$file")
    [ ! -e "$stage/$name" ] || { echo "make-release: two files named $name" >&2; exit 1; }
    cp "$file" "$stage/$name"
    names+=("$name")
done
# The password reaches osslsigncode through a pipe, never its command line
# (which every user of the machine can read) nor a file. Each signing writes
# a new file; only a file signed twice replaces the copy.
sign() {
    local file=$1 legacy=() rfc3161=()
    if [ -n "${VK_SIGN_TIMESTAMP:-}" ]; then
        legacy=(-t "${VK_SIGN_TIMESTAMP_LEGACY:-$VK_SIGN_TIMESTAMP}") rfc3161=(-ts "$VK_SIGN_TIMESTAMP")
    fi
    osslsigncode sign "${signing[@]}" -readpass <(printf %s "$password") -h sha1 \
        "${legacy[@]}" -in "$file" -out "$file.sha1" >/dev/null &&
    osslsigncode sign "${signing[@]}" -readpass <(printf %s "$password") -h sha256 -nest \
        "${rfc3161[@]}" -in "$file.sha1" -out "$file.signed" >/dev/null ||
        { echo "make-release: signing $(basename "$file") failed" >&2; exit 1; }
    rm "$file.sha1"
    mv "$file.signed" "$file"
}
if [ -n "$signing" ]; then
    for name in "${names[@]}"; do
        case ${name,,} in *.exe | *.dll) sign "$stage/$name" ;; esac
    done
fi
# The package, of the same (signed) copies, in a folder of its own.
if [ -n "$package" ]; then
    msi=$stage/msi/$(basename "$package")
    mkdir "$stage/msi"
    "$root/scripts/make-msi.sh" "$msi" "${names[@]/#/$stage/}"
    if [ -n "$signing" ]; then
        rfc3161=()
        [ -z "${VK_SIGN_TIMESTAMP:-}" ] || rfc3161=(-ts "$VK_SIGN_TIMESTAMP")
        osslsigncode sign "${signing[@]}" -readpass <(printf %s "$password") -h sha256 \
            "${rfc3161[@]}" -in "$msi" -out "$msi.signed" >/dev/null ||
            { echo "make-release: signing $(basename "$msi") failed" >&2; exit 1; }
        mv "$msi.signed" "$msi"
        (cd "$stage/msi" && sha256sum -- "$(basename "$msi")" >"$msi.sha256")
    fi
fi
# Notepad before Windows 10 1809 shows LF-only text as one line, and reads a
# file without a byte order mark in the local code page: CP932 on the Windows
# this toolkit needs, the code page the archive's names are stored in too.
(cd "$stage" && sha256sum -- "${names[@]}" | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >SHA256SUMS.txt) ||
    { echo "make-release: cannot write SHA256SUMS.txt (a name without a CP932 form?)" >&2; exit 1; }
names+=(SHA256SUMS.txt)

# Every entry is described, not taken from the disk: one time stamp and no
# other times, owner 0, mode 644, so nothing of this machine or run gets in.
stamp=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)}
mtree_name() {  # mtree spells every byte outside printable ASCII in octal
    local byte out=""
    while IFS= read -r byte; do
        if ((byte > 32 && byte < 127 && byte != 92)); then
            out+=$(printf "\\$(printf %03o "$byte")")
        else
            out+=$(printf '\\%03o' "$byte")
        fi
    done < <(printf %s "$1" | od -An -v -tu1 | tr -s ' ' '\n' | sed '/^$/d')
    printf %s "$out"
}
{
    echo '#mtree'
    for name in "${names[@]}"; do
        spelled=$(mtree_name "$name")
        echo "$spelled type=file uid=0 gid=0 mode=0644 time=$stamp.0 contents=$(mtree_name "$stage/$name")"
    done
} >"$stage/entries.mtree"
zip=$stage/release.zip
bsdtar --format zip --options zip:hdrcharset=CP932 -cf "$zip" "@$stage/entries.mtree"

# An unchanged archive keeps its time.
cmp -s "$zip" "$archive" 2>/dev/null || mv "$zip" "$archive"
[ -z "$package" ] || mv "$msi" "$msi.sha256" "$(dirname "$package")/"
