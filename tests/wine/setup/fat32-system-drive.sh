#!/usr/bin/env bash
# A PC whose only fixed drive, C:, is formatted FAT32.
# usage: fat32-system-drive.sh PREFIX
set -euo pipefail
prefix=$1
image="$prefix/drive_c/.volume.img"
truncate -s 40M "$image"
mkfs.vfat -F 32 -s 1 -n VKSYSTEM "$image" >/dev/null
# Wine reads the file system from the boot sector of the drive's device.
ln -sfn "$(cd "$prefix" && pwd)/drive_c/.volume.img" "$prefix/dosdevices/c::"
