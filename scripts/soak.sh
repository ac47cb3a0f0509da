#!/usr/bin/env bash
# Runs the program for 24 virtual hours (or the hours given) with ten flowers and
# the default scene's moving windows, printing its memory once a virtual hour and
# failing when the peak grows by 1 MB or more after the first hour. About four
# minutes of real time for 24 hours. Builds the soak program first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
hours="${1:-24}"
if [[ ! -x build/hosts/record/mivora-soak ]]; then
  scripts/build.sh mivora-soak >/dev/null
fi
exec build/hosts/record/mivora-soak --hours "$hours" --max-growth-kb 1024
