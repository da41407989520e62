#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the toolkit:
# the 32-bit MinGW-w64 cross compilers, CMake, 32-bit Wine, Xvfb, Japanese
# fonts, doctest, the screenshot tools, osslsigncode and openssl to sign a
# release (and make the test's throwaway certificate), wixl and msitools for
# the Windows Installer package, faketime for the release test's clock; and, where this machine cannot run 32-bit x86
# code, what the tests' emulated guest needs (tests/vm/).
# Skips whatever is already there, so it is safe to run any number of times.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/ia32.sh"

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

pkgs=(locales cmake make g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth x11-utils
      fonts-ipafont-gothic fonts-horai-umefont fontconfig fonts-wine doctest-dev imagemagick
      dosfstools mtools libarchive-tools cmark-gfm python3 osslsigncode openssl wixl msitools faketime)
for p in "${pkgs[@]}"; do
    have_pkg "$p" || need+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Wine names the host's files in the locale's character set: a Japanese
# UTF-8 locale keeps Japanese file names intact (and gives code page 932).
have_japanese_locale() { locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }
make_japanese_locale() {
    have_japanese_locale && return 0
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
}

# An index that fails to download (a mirror caught mid-sync) makes
# apt-get update exit non-zero although the others were read: try the
# install anyway, and only when that fails say what to run.
updated=""
update_failed=""
install() {
    echo "install-deps: installing $*"
    if [ -z "$updated" ]; then
        $SUDO apt-get update -qq || update_failed=1
        updated=1
    fi
    if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; then
        echo "install-deps: could not install: $*" >&2
        [ -z "$update_failed" ] || echo "install-deps: 'apt-get update' failed for some index (a mirror in sync?)" >&2
        echo "install-deps: run 'apt-get update && scripts/install-deps.sh' again in a few minutes" >&2
        exit 1
    fi
}

# Without IA-32 emulation the Wine tests run in an emulated x86-64 guest:
# qemu, and busybox for the guest's initramfs (its kernel comes from
# Debian's linux-image-amd64 when the guest is first prepared).
install_guest_tools() {
    local p missing=()
    can_run_32bit && [ "${VK_VM:-0}" != 1 ] && return 0
    for p in qemu-system-x86 busybox-static; do
        have_pkg "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] || install "${missing[@]}"
}

if [ ${#need[@]} -gt 0 ]; then
    # Wine's 32-bit half comes from the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    install "${need[@]}"
fi
install_guest_tools
make_japanese_locale
echo "install-deps: everything is installed"
