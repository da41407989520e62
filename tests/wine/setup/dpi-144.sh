#!/usr/bin/env bash
# The screen at 144 DPI (150% in the display settings).
# usage: dpi-144.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/lib/dpi.sh"
set_dpi "$1" 144
