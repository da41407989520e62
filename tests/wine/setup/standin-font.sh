#!/usr/bin/env bash
# ＭＳ Ｐゴシック (and MS PGothic) drawn with another installed font than the
# template's Ume P Gothic: VK_STANDIN_FONT names its family ("IPAPGothic").
# usage: standin-font.sh PREFIX
set -euo pipefail
face=${VK_STANDIN_FONT:?name the font family in VK_STANDIN_FONT}
sed -i "s/=\"Ume P Gothic\"\$/=\"$face\"/" "$1/user.reg"
grep -q "=\"$face\"\$" "$1/user.reg" || { echo "no font replacement in user.reg"; exit 1; }
