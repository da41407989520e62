# Drive letters of a prefix, made while its wineserver is down (the server
# reads the drives when it starts). Sourced by the setup scripts beside it.

# add_drive PREFIX LETTER [TYPE]
#   Maps LETTER: to a folder of its own in the prefix, holding an empty folder
#   "data". TYPE, when given, is the drive's kind as Wine's registry names it
#   (cdrom, network, floppy, ramdisk, hd); without it the drive is fixed.
add_drive() {
    local prefix=$1 letter=$2 type=${3:-}
    mkdir -p "$prefix/drives/$letter/data"
    ln -sfn "../drives/$letter" "$prefix/dosdevices/$letter:"
    if [ -n "$type" ]; then
        # A key section of its own: the server merges repeated sections.
        printf '\n[Software\\\\Wine\\\\Drives]\n"%s:"="%s"\n' "$letter" "$type" \
            >>"$prefix/system.reg"
    fi
}

# add_fat32_drive PREFIX LETTER
#   A fixed drive whose volume is FAT32 (no persistent ACLs): Wine reads the
#   file system from the boot sector of the drive's device, here an image
#   file inside the drive's folder.
add_fat32_drive() {
    local prefix=$1 letter=$2
    add_drive "$prefix" "$letter"
    local image="$prefix/drives/$letter/.volume.img"
    # FAT32 needs at least 65525 clusters: 33 MB at one sector per cluster.
    truncate -s 40M "$image"
    mkfs.vfat -F 32 -s 1 -n VKFAT32 "$image" >/dev/null
    # Wine's mount manager opens the device link as it reads it: the target
    # must be absolute.
    ln -sfn "$(cd "$prefix" && pwd)/drives/$letter/.volume.img" "$prefix/dosdevices/$letter::"
}
