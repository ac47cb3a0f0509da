#!/usr/bin/env bash
# Remakes the README's pictures from the current build, in docs/:
#   petals.gif           a short GIF of the default scene (half size)
#   settings-dialog.png  the settings dialog over the petals (recorder)
#   about-box.png        the about box over the dialog (recorder)
#   live-desktop.png     mivora-desktop on Xvfb with the Start button's menu open
#   live-dialog.png      mivora-desktop on Xvfb with the settings dialog open
#   x11-desktop.png      mivora on a real X desktop (Xvfb, openbox, trayer, X clients),
#                        after a window moved away from its pile
# Needs a build (scripts/build.sh); the live pictures need Xvfb, xdotool, xwd
# and ImageMagick, and are skipped with a note when one is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
record=build/hosts/record/mivora-record
desktop=build/hosts/live/mivora-desktop
for program in "$record" "$desktop"; do
  [ -x "$program" ] || { echo "make-pictures: no $program; build first (scripts/build.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "docs/petals.gif: 12 seconds of the default scene"
"$record" --quiet --scene default --seconds 12 --fps 10 --scale 2 --settings flowersPerBranch=10 \
  --gif docs/petals.gif >/dev/null

echo "docs/settings-dialog.png, docs/about-box.png: the recorder opens them as a user does"
"$record" --quiet --seconds 20 --fps 1 --show-dialog --png-dir "$work/dialog" \
  --settings flowersPerBranch=10 >/dev/null
cp "$work/dialog/frame-00020.png" docs/settings-dialog.png
"$record" --quiet --seconds 20 --fps 1 --show-about --png-dir "$work/about" \
  --settings flowersPerBranch=10 >/dev/null
cp "$work/about/frame-00020.png" docs/about-box.png

for tool in Xvfb xdotool xwd convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-pictures: no $tool, so no pictures of the live desktop" >&2
    exit 0
  fi
done
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
# A screen the size of the desktop: the window opens at (0, 0) and fills it.
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
MIVORA_REGISTRY="$work/registry.hkcu" "$desktop" --settings flowersPerBranch=10 >/dev/null 2>&1 &
pids+=($!)
shot() { xwd -root -silent | convert xwd:- "$1"; }

echo "docs/live-desktop.png: 25 seconds in, the Start button's menu open"
sleep 25
xdotool mousemove 20 754 click 1
sleep 0.3
xdotool mousemove 40 700
sleep 0.5
shot docs/live-desktop.png
xdotool key Escape

echo "docs/live-dialog.png: the settings dialog, from a double-click on the blossom"
xdotool mousemove 1006 754 click --repeat 2 --delay 100 1
sleep 3
shot docs/live-dialog.png

x11=build/hosts/x11/mivora
for tool in "$x11" openbox trayer xsetroot xlogo xclock xeyes wmctrl; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-pictures: no $tool, so no picture of mivora on a real desktop" >&2
    exit 0
  fi
done
echo "docs/x11-desktop.png: mivora on openbox with trayer, 40 seconds in, a window moved at 30"
display=$((display + 1))
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
xsetroot -solid '#2f5f78'
trayer --edge bottom --align right --SetDockType true --SetPartialStrut true --widthtype request --height 24 \
  --transparent false --tint 0xc0c0c0 >/dev/null 2>&1 &
pids+=($!)
xlogo -geometry 300x200+90+330 >/dev/null 2>&1 &
pids+=($!)
xclock -geometry 220x220+620+200 >/dev/null 2>&1 &
pids+=($!)
xeyes -geometry 200x130+420+560 >/dev/null 2>&1 &
pids+=($!)
sleep 1
MIVORA_REGISTRY="$work/x11-registry.hkcu" "$x11" --settings flowersPerBranch=10 >/dev/null 2>&1 &
pids+=($!)
sleep 30
wmctrl -r xclock -e 0,700,260,-1,-1
sleep 10
shot docs/x11-desktop.png
echo "Done."
