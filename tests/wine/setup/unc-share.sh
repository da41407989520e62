#!/usr/bin/env bash
# The UNC share \\vkserver\share of the prefix, with an empty folder
# \\vkserver\share\data: Wine finds \\SERVER\SHARE in dosdevices/unc.
# usage: unc-share.sh PREFIX
set -euo pipefail
mkdir -p "$1/dosdevices/unc/vkserver/share/data"
