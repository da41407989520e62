#!/usr/bin/env bash
# A PC with every drive letter in use, each a fixed NTFS drive: A: to Z:.
# usage: all-drives.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
prefix=$1
for letter in {a..z}; do
    [ "$letter" = c ] || add_drive "$prefix" "$letter" hd
done
