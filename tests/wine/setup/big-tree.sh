#!/usr/bin/env bash
# C:\vktree, a data folder of many files, all in the folder itself: a grant
# walks it for seconds. (Under Wine the walk never goes below the first
# level: Wine computes no DACL for a child, so a subfolder is not entered.)
# Made from the Unix side, far faster than from a Windows program. No ini
# file names it: a test writes one when it wants the applications' grant to
# reach it.
# usage: big-tree.sh PREFIX
#   VK_TREE_FILES  how many files (default 20000)
set -euo pipefail
tree="$1/drive_c/vktree"
mkdir -p "$tree"
cd "$tree" && seq -f 'f%05g.dat' 1 "${VK_TREE_FILES:-20000}" | xargs touch
