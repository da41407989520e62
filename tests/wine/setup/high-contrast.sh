#!/usr/bin/env bash
# A dark high-contrast scheme: white text on a black button face. Programs
# read the colours when they start.
# usage: high-contrast.sh PREFIX
set -euo pipefail
# A key section of its own: the server merges repeated sections.
printf '\n[Control Panel\\\\Colors]\n"ButtonFace"="0 0 0"\n"ButtonText"="255 255 255"\n' >>"$1/user.reg"
