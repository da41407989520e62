#!/usr/bin/env bash
# Drive N: of the prefix is a network drive with an empty folder N:\data.
# usage: network.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/drives.sh"
add_drive "$1" n network
