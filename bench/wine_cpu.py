#!/usr/bin/env python3
"""CPU and memory of mivora.exe under Wine beside xsnow, side by side, in one run.

    bench/wine_cpu.py [--exe build-win/mivora.exe] [--scene build-win/mivora-scene.exe]
                      [--warmup 10] [--seconds 30] [--perf OUT.data]

One after the other, each on a fresh Xvfb display of 1024 x 768 x 24 with plain windows of the
same geometry: mivora.exe under Wine with ten flowers stored in the registry (its windows opened
by the scene program), then xsnow at its defaults without its menu (its windows are xlogo's).
After the warm-up it measures, over the given seconds, the share of one core taken by the
program and by the X server (user + system time from /proc), and the program's peak resident
memory (VmHWM), and prints them side by side. Under Wine it also shows what Wine's own
processes took for the program: wineserver and the desktop's explorer.exe.

With --perf it records a perf profile of mivora.exe during the measured seconds.
Run it under the machine's CPU lock; compare only figures of one run.
"""

import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wine"))
import winerun  # noqa: E402
import suite  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
# Window rectangles (left, top, right, bottom) both programs get.
WINDOWS = [(60, 300, 420, 520), (470, 430, 700, 560), (640, 250, 980, 400)]


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS
    except OSError:
        return None


def peak_rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def processes_named(name, prefix=None):
    """Pids whose command line names `name`, within a Wine prefix when one is given."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode(errors="replace")
            if name not in cmdline:
                continue
            if prefix:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if f"WINEPREFIX={prefix}".encode() not in f.read().split(b"\0"):
                        continue
            found.append(int(entry))
        except OSError:
            continue
    return found


def measure(pids, seconds):
    """Share of one core of each named group of pids over `seconds`."""
    start = {k: [cpu_seconds(p) for p in v] for k, v in pids.items()}
    t0 = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - t0
    shares = {}
    for k, v in pids.items():
        total = 0.0
        for p, s in zip(v, start[k]):
            e = cpu_seconds(p)
            if s is not None and e is not None:
                total += e - s
        shares[k] = 100.0 * total / elapsed
    return shares


def run_mivora(args):
    with winerun.WineSession(1024, 768, 24) as wine:
        wine.start_display()
        wine.boot()
        wine.reg_add(suite.SETTINGS_KEY, suite.SETTINGS_VALUE, "REG_BINARY",
                     suite.settings_hex(dict(suite.FACTORY, flowersPerBranch=10)))
        schedule = os.path.join(wine.tmp, "schedule.txt")
        with open(schedule, "w") as f:
            for i, (l, t, r, b) in enumerate(WINDOWS):
                f.write(f"0 open W{i} {l} {t} {r} {b}\n")
        log = os.path.join(wine.tmp, "scene.log")
        wine.start(["wine", args.scene, winerun.windows_path(schedule), winerun.windows_path(log)])
        suite.wait_for(lambda: os.path.exists(log) and "ready" in open(log, errors="replace").read(), 60)
        wine.start(["wine", args.exe], cwd=os.path.dirname(args.exe))
        prefix = wine.env["WINEPREFIX"]
        suite.wait_for(lambda: processes_named(os.path.basename(args.exe), prefix), 30)
        time.sleep(args.warmup)
        program = processes_named(os.path.basename(args.exe), prefix)
        pids = {
            "program": program,
            "X server": [wine.xvfb.pid],
            "wineserver": processes_named("wineserver", prefix),
            "explorer.exe": processes_named("explorer.exe", prefix),
        }
        perf = None
        if args.perf and program:
            perf = subprocess.Popen(["perf", "record", "-g", "-o", args.perf, "-p", str(program[0]), "--",
                                     "sleep", str(args.seconds)], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        shares = measure(pids, args.seconds)
        if perf:
            perf.wait()
        shares["peak"] = max((peak_rss_kib(p) or 0) for p in program) if program else None
        return shares


def run_xsnow(args):
    with winerun.WineSession(1024, 768, 24) as display:
        display.start_display()
        for l, t, r, b in WINDOWS:
            display.start(["xlogo", "-geometry", f"{r - l}x{b - t}+{l}+{t}"])
        time.sleep(1)
        snow = display.start([args.xsnow, "-nomenu", "-defaults", "-noconfig"])
        time.sleep(args.warmup)
        shares = measure({"program": [snow.pid], "X server": [display.xvfb.pid]}, args.seconds)
        shares["peak"] = peak_rss_kib(snow.pid)
        return shares


def main():
    root = os.path.abspath(os.path.join(HERE, ".."))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", default=os.path.join(root, "build-win", "mivora.exe"))
    parser.add_argument("--scene", default=os.path.join(root, "build-win", "mivora-scene.exe"))
    parser.add_argument("--xsnow", default="/usr/games/xsnow")
    parser.add_argument("--warmup", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--perf")
    args = parser.parse_args()
    args.exe, args.scene = os.path.abspath(args.exe), os.path.abspath(args.scene)
    missing = winerun.missing_tools(["wine", "wineboot", "wineserver", "Xvfb"])
    missing += [p for p in (args.exe, args.scene, args.xsnow, "/usr/bin/xlogo") if not os.path.exists(p)]
    if missing:
        print("missing: " + ", ".join(missing))
        return 2

    mivora = run_mivora(args)
    xsnow = run_xsnow(args)

    def pct(v):
        return f"{v:6.1f} %" if v is not None else "      -"

    def mib(v):
        return f"{v / 1024:6.1f} MiB" if v else "       -"

    print(f"over {args.seconds:.0f} s after a {args.warmup:.0f} s warm-up, 1024 x 768 x 24, "
          f"{len(WINDOWS)} windows of the same geometry")
    print(f"{'':28}{'mivora.exe (Wine)':>20}{'xsnow':>12}")
    print(f"{'program, share of one core':28}{pct(mivora['program']):>20}{pct(xsnow['program']):>12}")
    print(f"{'X server, share of one core':28}{pct(mivora['X server']):>20}{pct(xsnow['X server']):>12}")
    print(f"{'peak resident memory':28}{mib(mivora['peak']):>20}{mib(xsnow['peak']):>12}")
    print(f"{'wineserver':28}{pct(mivora['wineserver']):>20}{'':>12}")
    print(f"{'explorer.exe (the desktop)':28}{pct(mivora['explorer.exe']):>20}{'':>12}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
