#!/usr/bin/env bash
# Trees below C:\vk-walk for the grant's walk, made from the Unix side:
#   plain      sub\a.txt, sub\deeper\b.txt, c.txt, café.txt (no ANSI form),
#              𠮷\d.txt, and long\<120 x>\<120 y>\deep.txt (longer than MAX_PATH)
#   hardlink   other.txt, and inside.txt: a second name of C:\vk-walk\outside.txt
#   symlink    one\link: a symbolic link two levels down, to C:\vk-walk\plain
# usage: walk-tree.sh PREFIX
set -euo pipefail
walk="$1/drive_c/vk-walk"
x=$(printf 'x%.0s' $(seq 120))
y=$(printf 'y%.0s' $(seq 120))
mkdir -p "$walk/plain/sub/deeper" "$walk/plain/𠮷" "$walk/plain/long/$x/$y" \
    "$walk/hardlink" "$walk/symlink/one"
touch "$walk/plain/sub/a.txt" "$walk/plain/sub/deeper/b.txt" "$walk/plain/c.txt" \
    "$walk/plain/café.txt" "$walk/plain/𠮷/d.txt" "$walk/plain/long/$x/$y/deep.txt" \
    "$walk/outside.txt" "$walk/hardlink/other.txt"
ln "$walk/outside.txt" "$walk/hardlink/inside.txt"
ln -s ../../plain "$walk/symlink/one/link"
