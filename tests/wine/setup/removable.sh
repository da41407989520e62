#!/usr/bin/env bash
# Drive R: of the prefix is a removable drive with an empty folder R:\data.
# usage: removable.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
add_drive "$1" r floppy
