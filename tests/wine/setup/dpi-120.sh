#!/usr/bin/env bash
# The screen at 120 DPI (125% in the display settings).
# usage: dpi-120.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/dpi.sh"
set_dpi "$1" 120
