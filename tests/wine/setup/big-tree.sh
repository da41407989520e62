#!/usr/bin/env bash
# C:\vktree, a data folder of many files, in folders of a thousand: a grant
# walks it for seconds. Made from the Unix side, far faster than from a
# Windows program. No ini file names it: a test writes one when it wants
# the applications' grant to reach it.
# usage: big-tree.sh PREFIX
#   VK_TREE_FILES  how many files (default 4000)
set -euo pipefail
files=${VK_TREE_FILES:-4000}
tree="$1/drive_c/vktree"
for ((folder = 0; folder * 1000 < files; folder++)); do
    count=$((files - folder * 1000 < 1000 ? files - folder * 1000 : 1000))
    mkdir -p "$tree/d$folder"
    (cd "$tree/d$folder" && seq -f 'f%04g.dat' 1 "$count" | xargs touch)
done
