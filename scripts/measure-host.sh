#!/usr/bin/env bash
# Measures what the live host costs: each mivora-desktop given runs with the
# default scene on its own Xvfb screen; after a warm-up, the CPU time it and its
# X server use over the measuring window is read from /proc/<pid>/stat and
# printed as a share of one core, with the frames presented and the ticks run
# per second where the host reports them (--stats).
#
#   scripts/measure-host.sh [--seconds 30] [--warmup 10] [--screen 1280x1024x24]
#                           [--before REV] [--scene NAME]... [BINARY...]
#
# Without a binary it measures build/hosts/live/mivora-desktop. --before REV
# builds mivora-desktop as it was at git revision REV (in build/measure-REV) and
# measures it first, so one run prints the figures before and after side by side.
# Each --scene measures the binaries that take --scene once with that scene
# (older ones, which take no options, show their fixed windows).
# Run it through the CPU lock: /work/dev/locked scripts/measure-host.sh ...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
warmup=10
screen=1280x1024x24
before=""
scenes=()
binaries=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --screen) screen=$2; shift 2 ;;
    --before) before=$2; shift 2 ;;
    --scene) scenes+=("$2"); shift 2 ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
  labels=("before ($rev)" "after")
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
printf '%-34s %9s %9s %9s %9s %8s\n' "host" "host CPU" "Xvfb CPU" "total" "frames/s" "ticks/s"
# One line: label, binary, arguments.
measure() {
  local label=$1 bin=$2
  shift 2
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "$screen" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  local xpid=$!
  pids+=("$xpid")
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  rm -f "$work/registry.hkcu"
  MIVORA_REGISTRY="$work/registry.hkcu" DISPLAY=":$display" "$bin" "$@" >"$work/host.out" 2>"$work/host.err" &
  local hpid=$!
  pids+=("$hpid")
  sleep "$warmup"
  if ! kill -0 "$hpid" 2>/dev/null; then
    echo "measure-host: $bin ended early:" >&2
    cat "$work/host.err" >&2
    exit 1
  fi
  local h0 x0 s0 h1 x1 s1
  h0=$(cpu_ticks "$hpid"); x0=$(cpu_ticks "$xpid"); s0=$(last_stats "$work/host.err")
  sleep "$seconds"
  h1=$(cpu_ticks "$hpid"); x1=$(cpu_ticks "$xpid"); s1=$(last_stats "$work/host.err")
  kill "$hpid" 2>/dev/null || true
  wait "$hpid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  local fps="-" tps="-" ms
  if [ -n "$s0" ] && [ -n "$s1" ]; then
    ms=$(( $(field ms "$s1") - $(field ms "$s0") ))
    if [ "$ms" -gt 0 ]; then
      fps=$(awk -v n=$(( $(field frames "$s1") - $(field frames "$s0") )) -v ms=$ms 'BEGIN { printf "%.1f", 1000 * n / ms }')
      tps=$(awk -v n=$(( $(field ticks "$s1") - $(field ticks "$s0") )) -v ms=$ms 'BEGIN { printf "%.1f", 1000 * n / ms }')
    fi
  fi
  printf '%-34s %9s %9s %9s %9s %8s\n' "$label" "$(pct $((h1 - h0)))" "$(pct $((x1 - x0)))" \
    "$(pct $((h1 - h0 + x1 - x0)))" "$fps" "$tps"
}
pct() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.1f %%", 100 * t / hz / s }'; }

i=0
for bin in "${binaries[@]}"; do
  label=${labels[$i]:-$bin}
  i=$((i + 1))
  help=$("$bin" --help 2>/dev/null || true)
  args=()
  grep -q -- '--stats' <<<"$help" && args=(--stats)
  if grep -q -- '--scene' <<<"$help" && [ ${#scenes[@]} -gt 0 ]; then
    for scene in "${scenes[@]}"; do measure "$label --scene $scene" "$bin" "${args[@]}" --scene "$scene"; done
  else
    measure "$label" "$bin" "${args[@]}"
  fi
done
echo "CPU over ${seconds} s after a ${warmup} s warm-up on Xvfb $screen; 100 % is one core."
