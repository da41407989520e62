#!/usr/bin/env bash
# The common-data folder C:\VESKADAT exists: the utility finds the
# applications' folders and shows its grant button.
# usage: applications-folder.sh PREFIX
set -euo pipefail
mkdir -p "$1/drive_c/VESKADAT"
