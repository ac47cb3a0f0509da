#!/usr/bin/env bash
# Measures what the live host costs: each mivora-desktop given runs with the
# default scene on its own Xvfb screen; after a warm-up, the CPU time it and its
# X server use over the measuring window is read from /proc/<pid>/stat and
# printed as a share of one core, with the frames presented and the ticks run
# per second where the host reports them (--stats).
#
#   scripts/measure-host.sh [--seconds 30] [--warmup 10] [--screen 1280x1024x24]
#                           [--before REV] [BINARY...]
#
# Without a binary it measures build/hosts/live/mivora-desktop. --before REV
# builds mivora-desktop as it was at git revision REV (in build/measure-REV) and
# measures it first, so one run prints the figures before and after side by side.
# Run it through the CPU lock: /work/dev/locked scripts/measure-host.sh ...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
warmup=10
screen=1280x1024x24
before=""
binaries=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --screen) screen=$2; shift 2 ;;
    --before) before=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "measure-host: unknown option $1" >&2; exit 2 ;;
    *) binaries+=("$1"); shift ;;
  esac
done
[ ${#binaries[@]} -gt 0 ] || binaries=(build/hosts/live/mivora-desktop)
for tool in Xvfb getconf; do
  command -v $tool >/dev/null || { echo "measure-host: $tool is needed" >&2; exit 1; }
done

labels=()
if [ -n "$before" ]; then
  rev=$(git rev-parse --short "$before")
  tree=build/measure-$rev
  if [ ! -x "$tree/build/hosts/live/mivora-desktop" ]; then
    echo "Building mivora-desktop at $rev in $tree ..." >&2
    rm -rf "$tree"
    mkdir -p "$tree"
    git archive "$rev" | tar -x -C "$tree"
    cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$tree/build" -j2 --target mivora-desktop >/dev/null
  fi
  binaries=("$tree/build/hosts/live/mivora-desktop" "${binaries[@]}")
  labels=("before ($rev)")
fi
for b in "${binaries[@]}"; do
  [ -x "$b" ] || { echo "measure-host: no program at $b (build it first: scripts/build.sh)" >&2; exit 1; }
done

hz=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# The last stats line a host wrote: "stats: ms=... frames=... ticks=...".
last_stats() { grep '^stats:' "$1" | tail -n 1 || true; }
field() { sed -n "s/.*$1=\([0-9]*\).*/\1/p" <<<"$2"; }

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

display=97
printf '%-28s %10s %10s %10s %12s %10s\n' "host" "host CPU" "Xvfb CPU" "total" "frames/s" "ticks/s"
i=0
for bin in "${binaries[@]}"; do
  label=${labels[$i]:-$bin}
  i=$((i + 1))
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "$screen" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xpid=$!
  pids+=("$xpid")
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  args=()
  "$bin" --help 2>/dev/null | grep -q -- '--stats' && args=(--stats)
  MIVORA_REGISTRY="$work/registry.hkcu" DISPLAY=":$display" "$bin" "${args[@]}" >"$work/host.out" 2>"$work/host.err" &
  hpid=$!
  pids+=("$hpid")
  sleep "$warmup"
  if ! kill -0 "$hpid" 2>/dev/null; then
    echo "measure-host: $bin ended early:" >&2
    cat "$work/host.err" >&2
    exit 1
  fi
  h0=$(cpu_ticks "$hpid"); x0=$(cpu_ticks "$xpid"); s0=$(last_stats "$work/host.err")
  sleep "$seconds"
  h1=$(cpu_ticks "$hpid"); x1=$(cpu_ticks "$xpid"); s1=$(last_stats "$work/host.err")
  kill "$hpid" 2>/dev/null || true
  wait "$hpid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  pct() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.1f %%", 100 * t / hz / s }'; }
  fps="-"; tps="-"
  if [ -n "$s0" ] && [ -n "$s1" ]; then
    ms=$(( $(field ms "$s1") - $(field ms "$s0") ))
    if [ "$ms" -gt 0 ]; then
      fps=$(awk -v n=$(( $(field frames "$s1") - $(field frames "$s0") )) -v ms=$ms 'BEGIN { printf "%.1f", 1000 * n / ms }')
      tps=$(awk -v n=$(( $(field ticks "$s1") - $(field ticks "$s0") )) -v ms=$ms 'BEGIN { printf "%.1f", 1000 * n / ms }')
    fi
  fi
  printf '%-28s %10s %10s %10s %12s %10s\n' "$label" "$(pct $((h1 - h0)))" "$(pct $((x1 - x0)))" \
    "$(pct $((h1 - h0 + x1 - x0)))" "$fps" "$tps"
done
echo "CPU over ${seconds} s after a ${warmup} s warm-up on Xvfb $screen; 100 % is one core."
