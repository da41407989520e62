#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the toolkit:
# the 32-bit MinGW-w64 cross compilers, CMake, 32-bit Wine, Xvfb, a Japanese
# font, doctest and the screenshot tools. Skips whatever is already there, so
# it is safe to run any number of times.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

pkgs=(cmake make g++-mingw-w64-i686 wine wine32 xvfb xauth x11-utils
      fonts-ipafont-gothic fonts-wine doctest-dev imagemagick dosfstools mtools zip)
for p in "${pkgs[@]}"; do
    have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
    echo "install-deps: everything is installed"
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
echo "install-deps: installing ${need[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
echo "install-deps: done"
