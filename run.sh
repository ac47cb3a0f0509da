#!/usr/bin/env bash
# Runs Mivora: on your X11 desktop when there is one, else on the virtual
# desktop in a window, else as a 30-second recording of the default scene.
set -euo pipefail
cd "$(dirname "$0")"
echo "Checking the Debian packages Mivora builds with..."
scripts/install-deps.sh
# Ninja shows each step as [done/total]; the first build compiles everything and
# takes a few minutes, later ones only what changed.
echo "Building mivora, mivora-desktop and mivora-record in build/ (the first time takes a few minutes)..."
scripts/build.sh --target mivora mivora-desktop mivora-record
wayland_only=""
if [ -n "${WAYLAND_DISPLAY:-}" ] || [ "${XDG_SESSION_TYPE:-}" = wayland ]; then wayland_only=yes; fi
if [ -n "${DISPLAY:-}" ] && [ -z "$wayland_only" ]; then
  echo "Starting mivora on your desktop (display $DISPLAY). End it from its icon's menu, or with Ctrl+C."
  exec build/hosts/x11/mivora "$@"
fi
if [ -n "$wayland_only" ]; then
  echo "This is a Wayland session: there no program may know where other programs' windows are, so petals" \
       "cannot land on yours; starting mivora-desktop, Mivora on a desktop of its own, instead."
  exec build/hosts/live/mivora-desktop "$@"
fi
echo "No display: recording the default scene instead."
build/hosts/record/mivora-record --seconds 30 --scene default --gif petals.gif "$@"
echo "Open $(pwd)/petals.gif to watch it."
