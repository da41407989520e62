#!/usr/bin/env bash
# The Japanese faces that the toolkit asks for drawn with another installed
# font than the IPA fonts: VK_STANDIN_FONT names its family ("VL PGothic").
# usage: standin-font.sh PREFIX
set -euo pipefail
face=${VK_STANDIN_FONT:?name the font family in VK_STANDIN_FONT}
sed -i "s/=\"IPAPGothic\"\$/=\"$face\"/" "$1/user.reg"
grep -q "=\"$face\"\$" "$1/user.reg" || { echo "no font replacement in user.reg"; exit 1; }
