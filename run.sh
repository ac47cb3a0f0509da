#!/usr/bin/env bash
# Runs Mivora on the virtual desktop: in a window when a display is there,
# otherwise as a 30-second recording of the default scene.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh --target mivora-desktop mivora-record >/dev/null
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/hosts/live/mivora-desktop "$@"
fi
echo "No display: recording the default scene instead."
build/hosts/record/mivora-record --seconds 30 --scene default --gif petals.gif "$@"
echo "Open $(pwd)/petals.gif to watch it."
