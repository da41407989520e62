#!/usr/bin/env bash
# C:\VESKAEX as a symbolic link to C:\vk-links\target (links.sh): a folder
# that a user of the PC replaced with a junction.
# usage: veskaex-link.sh PREFIX
set -euo pipefail
ln -s vk-links/target "$1/drive_c/VESKAEX"
