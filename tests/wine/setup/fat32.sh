#!/usr/bin/env bash
# Drive F: of the prefix is a fixed FAT32 drive with an empty folder F:\data.
# usage: fat32.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
add_fat32_drive "$1" f
