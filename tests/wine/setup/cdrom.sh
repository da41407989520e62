#!/usr/bin/env bash
# Drive D: of the prefix is a CD-ROM drive with an empty folder D:\data.
# usage: cdrom.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
add_drive "$1" d cdrom
