#!/usr/bin/env bash
# Prepares what the emulated guest boots: Debian's own amd64 kernel (IA-32
# emulation built in and on by default, unlike the kernel of the machines
# that need the guest) and a small initramfs that loads the virtio and 9p
# modules and mounts the host's own root as the guest's root. Everything
# comes from Debian packages; the result is cached in DIR (outside any build
# folder, so that a new clone boots the same guest without fetching it) and
# reused until the kernel version or the initramfs's sources change.
#
# usage: prepare-guest.sh DIR      (prints nothing when the cache is current)
# needs: apt-get, dpkg-deb, busybox-static (scripts/install-deps.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
# Enough to mount the root: PCI virtio, 9p over virtio, and the overlay that
# makes the read-only root writable in the guest; the console port for output.
modules=(virtio_pci 9pnet_virtio 9p overlay virtio_console)

# The version that Debian's linux-image-amd64 currently points at.
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n1
}

# The stamp names what the cache was made from; a change remakes it.
stamp_text() {
    echo "$1"
    cat "$here/initramfs-init" "$0" | sha256sum
}

fetch_kernel() {
    local package=$1
    rm -rf "$dir/kernel" "$dir/download"
    mkdir -p "$dir/download"
    # apt-get download writes into the working folder. Lists older than the
    # mirror name a package it no longer has: refresh them once.
    (cd "$dir/download" && { apt-get download -qq "$package" 2>/dev/null ||
        { apt-get update -qq && apt-get download -qq "$package" 2>/dev/null; }; })
    dpkg-deb -x "$dir"/download/"$package"_*.deb "$dir/kernel"
    rm -rf "$dir/download"
}

# Module file of NAME (as the kernel names it: dashes and underscores mix).
module_path() {
    local tree=$1 name=${2//-/_}
    awk -v n="$name" '{ f = $0; sub(/.*\//, "", f); sub(/\.ko.*$/, "", f); gsub(/-/, "_", f)
                        if (f == n) { print; exit } }' "$tree/modules.order"
}

# NAME and everything it depends on, dependencies first, each once.
add_with_dependencies() {
    local tree=$1 name=$2 path dep
    path=$(module_path "$tree" "$name")
    [ -n "$path" ] || { echo "prepare-guest: no module $name in the kernel package" >&2; return 1; }
    grep -qxF "$path" "$load_order" && return 0
    for dep in $(tr '\0' '\n' < "$tree/$path" | sed -n 's/^depends=//p' | tr ',' ' '); do
        add_with_dependencies "$tree" "$dep"
    done
    echo "$path" >> "$load_order"
}

make_initramfs() {
    local version=$1 tree="$dir/kernel/lib/modules/$1" root="$dir/initramfs.d" path
    rm -rf "$root"
    mkdir -p "$root"/{bin,dev,proc,sys,lower,upper,newroot,modules}
    cp /bin/busybox "$root/bin/busybox"
    cp "$here/initramfs-init" "$root/init"
    chmod 755 "$root/init"
    load_order="$root/modules/order"
    : > "$load_order"
    for name in "${modules[@]}"; do
        add_with_dependencies "$tree" "$name"
    done
    while read -r path; do
        cp "$tree/$path" "$root/modules/"
    done < "$load_order"
    sed -i 's|.*/||' "$load_order"
    (cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 > "$dir/initrd.new"
    mv "$dir/initrd.new" "$dir/initrd"
    rm -rf "$root"
}

main() {
    local package version stamp
    mkdir -p "$dir"
    package=$(kernel_package)
    [ -n "$package" ] || { echo "prepare-guest: apt knows no linux-image-amd64 (apt-get update?)" >&2; exit 1; }
    stamp=$(stamp_text "$package")
    if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ] && [ -f "$dir/initrd" ]; then
        return 0
    fi
    echo "prepare-guest: preparing the guest from $package in $dir"
    fetch_kernel "$package"
    version=${package#linux-image-}
    cp "$dir/kernel/boot/vmlinuz-$version" "$dir/vmlinuz"
    make_initramfs "$version"
    # The unpacked package is 400 MB; the guest needs only what was taken out.
    rm -rf "$dir/kernel"
    echo "$package" > "$dir/kernel-package"
    echo "$stamp" > "$dir/stamp"
}

main
