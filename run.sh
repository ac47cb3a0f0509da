#!/usr/bin/env bash
# Runs Mivora on the virtual desktop: in a window when a display is there,
# otherwise as a 30-second recording of the default scene.
set -euo pipefail
cd "$(dirname "$0")"
echo "Checking the Debian packages Mivora builds with..."
scripts/install-deps.sh
# Ninja shows each step as [done/total]; the first build compiles everything and
# takes a few minutes, later ones only what changed.
echo "Building mivora-desktop and mivora-record in build/ (the first time takes a few minutes)..."
scripts/build.sh --target mivora-desktop mivora-record
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting mivora-desktop (mivora-desktop --help lists its options)."
  exec build/hosts/live/mivora-desktop "$@"
fi
echo "No display: recording the default scene instead."
build/hosts/record/mivora-record --seconds 30 --scene default --gif petals.gif "$@"
echo "Open $(pwd)/petals.gif to watch it."
