#!/usr/bin/env bash
# C:\vk-links\target with a folder sub, and C:\vk-links\link and
# C:\vk-links\spare-link, symbolic links to it: Windows programs see each as
# a folder that is a reparse point, as they would see a junction.
# usage: links.sh PREFIX
set -euo pipefail
links="$1/drive_c/vk-links"
mkdir -p "$links/target/sub"
ln -s target "$links/link"
ln -s target "$links/spare-link"
