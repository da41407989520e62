#!/usr/bin/env bash
# A PC with two fixed NTFS drives, C: (volume name SYSTEM) and D: (no volume
# name), beside drives that the folder dialog never lists: F: fixed FAT32,
# G: CD-ROM, N: network, R: removable.
# usage: two-ntfs-drives.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
prefix=$1
printf 'SYSTEM\n' >"$prefix/drive_c/.windows-label"
add_drive "$prefix" d
add_fat32_drive "$prefix" f
add_drive "$prefix" g cdrom
add_drive "$prefix" n network
add_drive "$prefix" r floppy
