#!/usr/bin/env python3
"""CPU and memory of the X11 program beside xsnow, side by side, in one run.

    bench/x11_cpu.py [--program build/hosts/x11/mivora] [--compositor]
                     [--warmup 10] [--seconds 30] [--perf OUT.data]

One after the other, each on a fresh Xvfb display of 1024 x 768 x 24 with openbox, the panel
(trayer) and the same plain windows (xlogo): mivora with ten flowers (--settings
flowersPerBranch=10), then xsnow at its defaults without its menu. After the warm-up it
measures, over the given seconds, the share of one core taken by the program and by the X
server (user + system time from /proc), and the program's peak resident memory (VmHWM), and
prints them side by side with the goal: the program at most half of xsnow's share, the X
server at most xsnow's, memory under 32 MiB. With --compositor both run under picom (mivora
then draws into its overlay).

With --perf it records a perf profile of mivora during the measured seconds.
Run it when the machine is quiet; compare only figures of one run.
"""

import argparse
import importlib.util
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wine_cpu  # noqa: E402  (the measuring, and the windows both benchmarks open)

_spec = importlib.util.spec_from_file_location("x11_suite", os.path.join(HERE, "..", "tests", "x11", "suite.py"))
x11 = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(x11)

GOAL_SHARE = 0.5          # of xsnow's share of a core
GOAL_MEMORY_KIB = 32 * 1024


def run(args, command, perf=None):
    """Starts `command` on a fresh desktop with the windows; its figures after the warm-up."""
    with tempfile.TemporaryDirectory(prefix="mivora-bench-") as logs, \
            x11.Desktop(logs, compositor=args.compositor) as desktop:
        for l, t, r, b in wine_cpu.WINDOWS:
            desktop.start(["xlogo", "-geometry", f"{r - l}x{b - t}+{l}+{t}"])
        time.sleep(1)
        program = desktop.start(command, log="program.log")
        time.sleep(args.warmup)
        profiler = None
        if perf:
            profiler = subprocess.Popen(["perf", "record", "-g", "-o", perf, "-p", str(program.pid), "--", "sleep",
                                         str(args.seconds)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pids = {"program": [program.pid], "X server": [desktop.session.xvfb.pid],
                "compositor": [p.pid for p in desktop.session.procs if p.args[0] == x11.COMPOSITOR[0]]}
        shares = wine_cpu.measure(pids, args.seconds)
        if profiler:
            profiler.wait()
        shares["peak"] = wine_cpu.peak_rss_kib(program.pid)
        shares["running"] = program.poll() is None
        return shares


def main():
    root = os.path.abspath(os.path.join(HERE, ".."))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default=os.environ.get("MIVORA_X11_PROGRAM")
                        or os.path.join(root, "build", "hosts", "x11", "mivora"))
    parser.add_argument("--xsnow", default="/usr/games/xsnow")
    parser.add_argument("--compositor", action="store_true", help="both under picom")
    parser.add_argument("--warmup", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--perf")
    args = parser.parse_args()
    missing = x11.missing_tools("overlay" if args.compositor else "root")
    missing += [p for p in (args.program, args.xsnow) if not os.path.exists(p)]
    if args.perf:
        missing += x11.winerun.missing_tools(["perf"])
    if missing:
        print("missing: " + ", ".join(missing))
        return 2

    mode = "overlay" if args.compositor else "root"
    mivora = run(args, [os.path.abspath(args.program), "--desktop-mode", mode, "--settings", "flowersPerBranch=10"],
                 args.perf)
    xsnow = run(args, [args.xsnow, "-nomenu", "-defaults", "-noconfig"])

    def pct(v):
        return f"{v:6.1f} %" if v is not None else "      -"

    def mib(v):
        return f"{v / 1024:6.1f} MiB" if v else "       -"

    def ratio(a, b):
        return f"{a / b:5.2f}" if a is not None and b else "    -"

    print(f"over {args.seconds:.0f} s after a {args.warmup:.0f} s warm-up, 1024 x 768 x 24, openbox, "
          f"{'picom, ' if args.compositor else ''}{len(wine_cpu.WINDOWS)} xlogo windows")
    print(f"{'':28}{'mivora (' + mode + ')':>16}{'xsnow':>12}{'ratio':>8}  goal")
    print(f"{'program, share of one core':28}{pct(mivora['program']):>16}{pct(xsnow['program']):>12}"
          f"{ratio(mivora['program'], xsnow['program']):>8}  <= {GOAL_SHARE:.2f}")
    print(f"{'X server, share of one core':28}{pct(mivora['X server']):>16}{pct(xsnow['X server']):>12}"
          f"{ratio(mivora['X server'], xsnow['X server']):>8}  <= 1.00")
    print(f"{'peak resident memory':28}{mib(mivora['peak']):>16}{mib(xsnow['peak']):>12}"
          f"{ratio(mivora['peak'], GOAL_MEMORY_KIB):>8}  < 1.00 of 32 MiB")
    if args.compositor:
        print(f"{'compositor (picom)':28}{pct(mivora['compositor']):>16}{pct(xsnow['compositor']):>12}"
              f"{ratio(mivora['compositor'], xsnow['compositor']):>8}")
    met = (mivora["program"] <= GOAL_SHARE * xsnow["program"] and mivora["X server"] <= xsnow["X server"]
           and (mivora["peak"] or 0) < GOAL_MEMORY_KIB)
    for name, figures in (("mivora", mivora), ("xsnow", xsnow)):
        if not figures["running"]:
            print(f"{name} ended before the measurement did: its figures do not count")
            met = False
    print("goal met" if met else "goal not met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
