#!/usr/bin/env bash
# C:\vk-bench\t2000 and C:\vk-bench\t20000: 2,000 and 20,000 empty files in
# folders of 100, made from the Unix side (far faster than from Windows).
# usage: bench-trees.sh PREFIX
set -euo pipefail
for files in 2000 20000; do
    tree="$1/drive_c/vk-bench/t$files"
    for ((folder = 0; folder < files / 100; ++folder)); do
        mkdir -p "$tree/f$folder"
        (cd "$tree/f$folder" && touch $(seq -f 'file%g.txt' 0 99))
    done
done
