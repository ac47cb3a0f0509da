#!/usr/bin/env bash
# Starts the live host again and again on an Xvfb display of its own, gives it
# random mouse and keyboard input for a few seconds, then ends it with Exit
# from the notification icon's menu, and counts what a user would see go
# wrong: exit statuses other than 0, temporary folders left behind, sanitizer
# reports, X errors. Not part of CI: it takes minutes and needs Xvfb and xdotool.
#
#   scripts/live-cycles.sh [--cycles 100] [--input-seconds 3] [--binary PATH]
#                          [--display :77] [--settings]
#
# --settings starts each run with --settings flowersPerBranch=5, so that each
# run has a temporary registry folder to take away. Each run's standard error
# is kept in the work folder (printed at the end) when it is not empty.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=100
input_seconds=3
binary=build/hosts/live/mivora-desktop
display=:77
settings=()
while [ $# -gt 0 ]; do
  case "$1" in
    --cycles) cycles=$2; shift 2 ;;
    --input-seconds) input_seconds=$2; shift 2 ;;
    --binary) binary=$2; shift 2 ;;
    --display) display=$2; shift 2 ;;
    --settings) settings=(--settings flowersPerBranch=5); shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "live-cycles: unknown option $1" >&2; exit 2 ;;
  esac
done
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "live-cycles: $tool is needed (scripts/install-deps.sh wine)" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "live-cycles: no program at $binary" >&2; exit 1; }

work=$(mktemp -d /tmp/live-cycles-XXXXXX)
mkdir -p "$work/tmp"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# The desktop is 1024x768 in a window of that size: desktop point = window point.
W=1024 H=768
statuses=() actions=0 early=0 xerrors=0 sanitizer=0 hung=0 growth=0
for cycle in $(seq "$cycles"); do
  err=$work/stderr-$cycle.txt
  TMPDIR=$work/tmp MIVORA_REGISTRY=$work/registry.hkcu ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-live.supp \
    "$binary" --size ${W}x$H --scene default "${settings[@]}" 2>"$err" &
  pid=$!
  win=$(xdotool search --sync --onlyvisible --name "Mivora - virtual desktop" | head -1)
  sleep 0.5
  rss_start=$(awk '/VmRSS/ {print $2}' /proc/$pid/status 2>/dev/null || echo 0)
  # Random input: moves, left and right clicks, double-clicks, keys, Alt+F4 --
  # all inside the window, where the desktop takes them.
  end=$((SECONDS + input_seconds))
  while [ $SECONDS -lt $end ] && kill -0 $pid 2>/dev/null; do
    x=$((RANDOM % W)) y=$((RANDOM % H))
    case $((RANDOM % 10)) in
      0|1|2) xdotool mousemove --window "$win" $x $y ;;
      3|4) xdotool mousemove --window "$win" $x $y click 1 ;;
      5) xdotool mousemove --window "$win" $x $y click 3 ;;
      6) xdotool mousemove --window "$win" $x $y click --repeat 2 --delay 60 1 ;;
      7) xdotool mousemove --window "$win" $x $y mousedown 1 mousemove --window "$win" $(((x + RANDOM % 200) % W)) $(((y + RANDOM % 200) % H)) mouseup 1 ;;
      8) xdotool key --window "$win" $(printf '%s\n' Tab Return Escape space a 7 BackSpace Up Down F1 | shuf -n 1) ;;
      9) xdotool key --window "$win" alt+F4 ;;
    esac 2>/dev/null || true
    actions=$((actions + 1))
  done
  rss_end=$(awk '/VmRSS/ {print $2}' /proc/$pid/status 2>/dev/null || echo 0)
  [ -n "$rss_start" ] && [ -n "$rss_end" ] && [ $((rss_end - rss_start)) -gt $growth ] && growth=$((rss_end - rss_start))
  if kill -0 $pid 2>/dev/null; then
    # Exit: Escape any menu or box, right-click the icon, then the menu's one item.
    xdotool key --window "$win" Escape Escape 2>/dev/null || true
    sleep 0.2
    xdotool mousemove --window "$win" 1006 755 click 3 2>/dev/null || true
    sleep 0.4
    xdotool mousemove --window "$win" 990 $((H - 12)) click 1 2>/dev/null || true
  else
    early=$((early + 1))
  fi
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then
    hung=$((hung + 1))
    kill -TERM $pid 2>/dev/null || true
  fi
  status=0
  wait $pid || status=$?
  statuses+=("$status")
  grep -q "X Error" "$err" && xerrors=$((xerrors + 1))
  grep -qE "AddressSanitizer|LeakSanitizer|runtime error:" "$err" && sanitizer=$((sanitizer + 1))
  [ -s "$err" ] || rm -f "$err"
done

left=$(find "$work/tmp" -mindepth 1 -maxdepth 1 | wc -l)
nonzero=0
for s in "${statuses[@]}"; do [ "$s" = 0 ] || nonzero=$((nonzero + 1)); done
echo "live-cycles: $cycles cycles, $actions random actions, $early ended before the menu's Exit"
echo "  statuses: $(printf '%s\n' "${statuses[@]}" | sort | uniq -c | awk '{printf "%s x%s  ", $2, $1}')"
echo "  non-zero statuses: $nonzero; still running after 10 s: $hung; X errors: $xerrors; sanitizer reports: $sanitizer"
echo "  folders left in the temporary folder: $left; largest growth of the resident memory over a run's input: $growth kB"
ls "$work"/stderr-*.txt >/dev/null 2>&1 && echo "  standard error of the runs that wrote any: $work/stderr-*.txt"
[ "$nonzero" = 0 ] && [ "$left" = 0 ] && [ "$sanitizer" = 0 ] && [ "$xerrors" = 0 ]
