#!/usr/bin/env python3
"""The X11 suite: the mivora program on a real X display, checked in screenshots.

    suite.py run RESULTS --mode root|overlay --program PATH --source SOURCE_DIR
    suite.py check NAME RESULTS --source SOURCE_DIR
    suite.py quick RESULTS --program PATH --source SOURCE_DIR

`run` starts an Xvfb display of its own with openbox as window manager, trayer as the panel
with the system tray, and (in overlay mode) picom as compositing manager, opens plain X
clients (xlogo, xclock, xeyes) as windows, and plays one session in real time: the program
starts with ten flowers (the bottom layer off, so that nothing may lie on the panel),
screenshots are taken at set moments while windows move, hide, come back, rise and close,
one window moves away from under its pile, the settings dialog opens from a double-click on
the icon, its falling-petals box and Save settings are clicked, and the program is ended
from its icon's menu. It leaves the screenshots (PNG), a log of the windows as the scene
saw them (scene.log, in the Wine suite's form) and a record (session.json) in RESULTS; the
checks are the Wine suite's, read from them.

`quick` is a short end to end run on its own display: the icon docks, petals fall, a second
start exits 0 and shows the running one's settings, Exit from the icon's menu ends the program
with status 0 and leaves no petal on the screen.

The program is PATH, or $MIVORA_X11_PROGRAM when set. A missing tool or program is reported
as a skip (exit code 77) with the reason.
"""

import argparse
import importlib.util
import json
import os
import re
import signal
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import winerun  # noqa: E402

# The Wine suite's scene, analysis and checks (a module of the same name as this one).
_spec = importlib.util.spec_from_file_location("wine_suite", os.path.join(HERE, "..", "wine", "suite.py"))
wine = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(wine)

SKIP = wine.SKIP
WIDTH, HEIGHT = wine.WIDTH, wine.HEIGHT
PANEL_CLASS = "_NET_WM_WINDOW_TYPE_DOCK"  # how the scene's log names a panel
wine.TASKBAR_CLASSES.add(PANEL_CLASS)

TOOLS = {
    "Xvfb": "xvfb", "xwd": "x11-apps", "xlogo": "x11-apps", "xclock": "x11-apps", "xeyes": "x11-apps",
    "xdotool": "xdotool", "wmctrl": "wmctrl", "openbox": "openbox", "trayer": "trayer",
    "xprop": "x11-utils", "xwininfo": "x11-utils",
}
COMPOSITOR = ["picom", "--backend", "xrender"]
TRAYER = ["trayer", "--edge", "bottom", "--align", "right", "--SetDockType", "true", "--SetPartialStrut", "true",
          "--widthtype", "request", "--height", "24"]
# The windows of the Wine suite's scene, each a plain X client under its title.
CLIENTS = {"Left": "xlogo", "Middle": "xclock", "Right": "xeyes", "Small": "xlogo"}
SESSION_ARGS = ["--settings", "flowersPerBranch=10", "bottomLayer=0"]

# The settings dialog's template, in dialog units: its client size, the falling-petals
# picture, the check box beside it, the Save settings button.
DIALOG_SIZE = (292, 241)
FALLING_PICTURE = (89, 40)
EDGE = 2  # the picture static's edge over its picture, and a pixel to spare
FALLING_BOX_CENTRE = (79, 52)
SAVE_CENTRE = (30, 223.5)
CAPTION = 18


def missing_tools(mode):
    tools = dict(TOOLS, **({"picom": "picom"} if mode == "overlay" else {}))
    return [f"{name}: Debian package {package}" for name, package in tools.items()
            if winerun.missing_tools([name])]


def program_path(given):
    return os.environ.get("MIVORA_X11_PROGRAM") or given


class Desktop:
    """An Xvfb display with openbox, the panel and, when asked, the compositing manager; every
    process it starts is stopped when the `with` block ends."""

    def __init__(self, log_dir, compositor=False):
        self.session = winerun.WineSession(WIDTH, HEIGHT, 24, log_dir=log_dir)  # no Wine is started
        self.compositor = compositor
        self.log_dir = log_dir

    def __enter__(self):
        s = self.session
        s.env["MIVORA_REGISTRY"] = os.path.join(self.log_dir, "registry.hkcu")
        s.start_display()
        s.start(["openbox"], log="openbox.log")
        wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                 10)
        if self.compositor:
            s.start(COMPOSITOR, log="picom.log")
            time.sleep(1.0)  # it takes the screen over
        s.start(TRAYER, log="trayer.log")
        # The panel shows once it holds the tray: a program started later docks at once.
        wait_for(lambda: self.panel()[0] is not None, 5)
        return self

    def __exit__(self, *exc):
        self.session.close()
        return False

    @property
    def display(self):
        return self.session.display

    def start(self, args, log=None, env=None):
        p = subprocess.Popen(args, env=dict(self.session.env, **(env or {})), start_new_session=True,
                             stdout=open(os.path.join(self.log_dir, log), "a") if log else subprocess.DEVNULL,
                             stderr=subprocess.STDOUT if log else subprocess.DEVNULL)
        self.session.procs.append(p)
        return p

    def x(self, *args):
        """Runs an X tool on the display; its output, or None when it failed."""
        try:
            r = subprocess.run([str(a) for a in args], env=self.session.env, timeout=20, capture_output=True,
                               text=True, errors="replace")
        except (OSError, subprocess.TimeoutExpired):
            return None
        return r.stdout if r.returncode == 0 else None

    def xdotool(self, *args):
        return self.x("xdotool", *args)

    def screenshot(self):
        return self.session.screenshot()

    def xwd(self):
        """The whole screen as xwd writes it."""
        return subprocess.run(["xwd", "-root", "-silent"], env=self.session.env, timeout=30, stdout=subprocess.PIPE,
                              check=True).stdout

    def find_window(self, title, seconds=10):
        ids = []
        wait_for(lambda: ids.extend((self.xdotool("search", "--onlyvisible", "--name", f"^{title}$") or "").split())
                 or ids, seconds)
        return [int(i) for i in ids]

    def frame(self, window):
        """(visible, [left, top, right, bottom]) of a client with the window manager's frame."""
        info = self.x("xwininfo", "-id", window)
        if info is None:
            return False, None
        values = {k.strip(): v.strip() for k, v in re.findall(r"^\s*([^:\n]+):\s*(.*)$", info, re.M)}
        x, y = int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"])
        w, h = int(values["Width"]), int(values["Height"])
        extents = re.findall(r"\d+", (self.x("xprop", "-id", window, "_NET_FRAME_EXTENTS") or "").split("=")[-1])
        left, right, top, bottom = [int(v) for v in extents] if len(extents) == 4 else (0, 0, 0, 0)
        return values.get("Map State") == "IsViewable", [x - left, y - top, x + w + right, y + h + bottom]

    def panel(self):
        for window in (self.xdotool("search", "--onlyvisible", "--class", "trayer") or "").split():
            visible, rect = self.frame(window)
            if visible and rect[2] - rect[0] > 1 and rect[3] - rect[1] > 8:
                return int(window), rect
        return None, None


# ====================================================================== the session
class Scene:
    """The windows, moved as the Wine suite's scene moves them, written down in its log's form."""

    def __init__(self, desktop, results):
        self.desktop = desktop
        self.log_path = os.path.join(results, "scene.log")
        self.log = open(self.log_path, "w")
        self.windows = {}
        self.procs = {}
        self.with_panel = False

    def open(self, title, left, top, right, bottom):
        self.procs[title] = self.desktop.start(
            [CLIENTS[title], "-title", title, "-geometry", f"{right - left}x{bottom - top}+{left}+{top}"])

    def ready(self):
        for title in self.procs:
            ids = self.desktop.find_window(title)
            if not ids:
                raise RuntimeError(f"the window {title} did not show")
            self.windows[title] = ids[0]

    def step(self, at, verb, title, *numbers):
        window = self.windows.get(title)
        d = self.desktop
        if verb == "move":
            d.xdotool("windowmove", window, *numbers)
        elif verb == "hide":
            d.xdotool("windowminimize", window)
        elif verb in ("show", "raise"):
            d.x("wmctrl", "-i", "-a", hex(window))
        elif verb == "close":
            d.x("wmctrl", "-i", "-c", hex(window))
        self.log.write(f"step {int(at * 1000)} {verb} {title}\n")

    def snapshot(self, at):
        """The windows as they are now, written down as of `at` (the moment they changed)."""
        lines = [f"snapshot {int(at * 1000)}"]
        for title, window in self.windows.items():
            visible, rect = self.desktop.frame(window)
            if rect:
                lines.append(f"window {window:#x} {int(visible)} {CLIENTS[title]}|{title}|{' '.join(map(str, rect))}")
        if self.with_panel:
            window, rect = self.desktop.panel()
            if rect:
                lines.append(f"window {window:#x} 1 {PANEL_CLASS}|panel|{' '.join(map(str, rect))}")
        lines.append("end")
        self.log.write("\n".join(lines) + "\n")
        self.log.flush()

    def close(self):
        self.log.close()


def prepare(results):
    os.makedirs(results, exist_ok=True)
    for name in os.listdir(results):
        if name.endswith((".png", ".xwd", ".json", ".log", ".txt", ".hkcu")):
            os.remove(os.path.join(results, name))


def run(args):
    results = os.path.abspath(args.results)
    prepare(results)
    program = program_path(args.program)
    missing = missing_tools(args.mode)
    if not program or not os.path.exists(program):
        missing.append(f"the program {program or 'mivora'}: build the target mivora (or set MIVORA_X11_PROGRAM)")
    if missing:
        print("skipped, missing:\n  " + "\n  ".join(missing))
        return SKIP
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    record = {"shots": {}, "errors": [], "mode": args.mode, "program": program, "source": args.source}
    started = time.monotonic()
    with Desktop(results, compositor=args.mode == "overlay") as desktop:
        record["display"] = desktop.display
        try:
            session(desktop, program, args.mode, results, record)
        except Exception as error:  # the record tells the checks what is missing
            record["errors"].append(f"{type(error).__name__}: {error}")
            print(f"session failed: {error}")
    decode_shots(results, record)
    record["seconds"] = round(time.monotonic() - started, 1)
    with open(os.path.join(results, "session.json"), "w") as f:
        json.dump(record, f, indent=1)
    print(f"{args.mode} mode: session of {record['seconds']} s on display {record.get('display')}; "
          f"results in {results}")
    for error in record["errors"]:
        print("error:", error)
    return 0 if not record["errors"] else 1


def session(desktop, program, mode, results, record):
    scene = Scene(desktop, results)
    try:
        play(desktop, scene, program, mode, results, record)
    finally:
        scene.close()


def play(desktop, scene, program, mode, results, record):
    for at, step in wine.SCENE:
        verb, title, *numbers = step.split()
        if verb == "open":
            scene.open(title, *map(int, numbers))
    scene.ready()
    zero = time.monotonic()
    scene.snapshot(0.0)
    record["scene_log"] = "scene.log"

    def now():
        return time.monotonic() - zero

    def shot(name, at=None, decode=False):
        """A screenshot kept as the server gave it, made a PNG after the session (decoding takes
        longer than the time between two of them); decoded at once when asked."""
        if at is not None:
            pause(at - now())
        taken = now()
        data = desktop.xwd()
        with open(os.path.join(results, f"{name}.xwd"), "wb") as f:
            f.write(data)
        record["shots"][name] = round(taken, 3)
        return decode_shot(results, name, record) if decode else None

    steps = [(at, step.split()) for at, step in wine.SCENE if not step.startswith("open")]

    def steps_until(t):
        # Each step is written down at the moment it is taken, and the windows as it left them.
        while steps and steps[0][0] <= t:
            at, (verb, title, *numbers) = steps.pop(0)
            pause(at - now())
            taken = now()
            scene.step(taken, verb, title, *numbers)
            pause(0.3)
            scene.snapshot(taken)

    shot("base", wine.BASE_SHOT, decode=True)
    pause(wine.PROGRAM_START - now())
    record["program_start"] = round(now(), 3)
    proc = desktop.start([program, "--desktop-mode", mode, *SESSION_ARGS], log="mivora.log")
    shot("icon", wine.ICON_SHOT, decode=True)
    scene.with_panel = True
    scene.snapshot(wine.ICON_SHOT)
    for at in wine.SERIES + wine.AFTER_MOVE:
        steps_until(at)
        name = f"series-{at:04.1f}" if at in wine.SERIES else f"moved-{at:04.1f}"
        shot(name, at)
    steps_until(wine.EXIT_AT)

    icon = wine.find_tray_icon(results)
    record["tray_icon"] = icon
    if icon:
        dialog_phase(desktop, record, icon, shot, now)
        exit_from_menu(desktop, record, icon, shot)
    try:
        record["exit_code"] = proc.wait(15)
    except subprocess.TimeoutExpired:
        record["exit_code"] = None
        record["errors"].append("the program did not end within 15 s of the menu's Exit")
    record["exit_at"] = round(now(), 3)
    shot("after-exit", now() + 1.5)
    record["end"] = round(now(), 3)


def decode_shot(results, name, record, decode=True):
    """The screenshot `name` as a Shot, its PNG written in place of what the server gave."""
    raw = os.path.join(results, f"{name}.xwd")
    if not os.path.exists(raw):
        return winerun.Shot.from_png(os.path.join(results, f"{name}.png"))
    png = os.path.join(results, f"{name}.png")
    with open(raw, "rb") as f:
        data = f.read()
    picture = None
    if decode or not winerun.xwd_to_png(data, png):
        picture = winerun.Shot.from_xwd(data)
        picture.write_png(png)
        record["screen_depth"] = picture.depth
    os.remove(raw)
    return picture


def decode_shots(results, record):
    for name in record["shots"]:
        try:
            decode_shot(results, name, record, decode=False)
        except (OSError, ValueError, struct.error) as error:
            record["errors"].append(f"screenshot {name}: {error}")


def exit_from_menu(desktop, record, icon, shot):
    """Right-click on the icon, a click on the menu's one item."""
    x, y = wine.centre(icon)
    before = desktop.screenshot()
    desktop.xdotool("mousemove", x, y)
    desktop.xdotool("click", "3")
    menu = None
    deadline = time.monotonic() + 5
    while menu is None and time.monotonic() < deadline:
        pause(0.3)
        menu = wine.find_menu(before, desktop.screenshot(), x)
    record["menu"] = menu
    if menu:
        shot("menu")
        desktop.xdotool("mousemove", *wine.centre(menu))
        desktop.xdotool("click", "1")


def settings_dialog(desktop):
    """The settings dialog's X window as [left, top, right, bottom], or None."""
    for window in desktop.find_window("Mivora", seconds=0.5):
        visible, rect = desktop.frame(window)
        if visible and rect[2] - rect[0] >= 300 and rect[3] - rect[1] >= 300:
            return rect
    return None


def find_picture(shot, picture, box):
    """Where the bitmap's pixels show whole within `box`, as (x, y), or None."""
    rows = [struct.pack(f">{len(r)}I", *r) for r in picture]
    width = len(picture[0])
    left, top, right, bottom = max(0, box[0]), max(0, box[1]), min(shot.width, box[2]), min(shot.height, box[3])

    def row_at(x, y):
        return struct.pack(f">{width}I", *shot.pixels[y * shot.width + x:y * shot.width + x + width])

    for y in range(top, bottom - len(rows) + 1):
        line = struct.pack(f">{right - left}I", *shot.pixels[y * shot.width + left:y * shot.width + right])
        start = line.find(rows[0])
        while start >= 0:
            x = left + start // 4
            if start % 4 == 0 and x + width <= right and all(row_at(x, y + j) == r for j, r in enumerate(rows)):
                return x, y
            start = line.find(rows[0], start + 1)
    return None


def dialog_layout(rect, picture_at):
    """Screen points of the falling-petals box and Save settings, from where the dialog's window
    is and where its falling-petals picture shows (the picture fills its static, edge and all)."""
    width, height = rect[2] - rect[0], rect[3] - rect[1]
    p = picture_at[0] - rect[0]
    # width = 2 frame + 292 bx / 4 and p = frame + 89 bx / 4: the base units and the frame.
    bx = 4 * (width - 2 * p) / (DIALOG_SIZE[0] - 2 * FALLING_PICTURE[0])
    frame = (width - DIALOG_SIZE[0] * bx / 4) / 2
    by = 8 * (height - 2 * frame - CAPTION) / DIALOG_SIZE[1]
    left, top = rect[0] + frame, rect[1] + frame + CAPTION

    def point(dlu):
        return round(left + dlu[0] * bx / 4), round(top + dlu[1] * by / 8)

    return point(FALLING_BOX_CENTRE), point(SAVE_CENTRE), (round(bx, 2), round(by, 2))


def dialog_phase(desktop, record, icon, shot, now):
    """A double-click on the icon, a click on the falling-petals box, a click on Save settings."""
    since = now()
    desktop.xdotool("mousemove", *wine.centre(icon))
    desktop.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    rect = None
    deadline = time.monotonic() + 10
    while rect is None and time.monotonic() < deadline:
        rect = settings_dialog(desktop)
    shown_after = round(now() - since, 2)
    pause(0.6)
    picture = shot("dialog", decode=True)
    if not rect:
        record["dialog"] = None
        return
    _, _, art = winerun.read_bmp(os.path.join(record["source"], "res", "dialog", "b134.bmp"))
    # The static's edge is drawn over the picture's outer pixels: the inside is what shows whole.
    inner = [row[EDGE:-EDGE] for row in art[EDGE:-EDGE]]
    found = find_picture(picture, inner, rect)
    found = found and (found[0] - EDGE, found[1] - EDGE)
    record["dialog"] = {"rect": rect, "shown_after": shown_after, "falling_picture": found}
    if not found:
        return
    falling, save, units = dialog_layout(rect, found)
    record["dialog"].update(falling_box=falling, save_button=save, base_units=units)
    shot("falling-on-a")
    pause(0.5)
    shot("falling-on-b")
    desktop.xdotool("mousemove", *falling)
    desktop.xdotool("click", "1")
    record["falling_clicked"] = round(now(), 3)
    pause(1.5)
    shot("falling-off-a")
    pause(0.5)
    shot("falling-off-b")
    desktop.xdotool("mousemove", *save)
    desktop.xdotool("click", "1")
    path = desktop.session.env["MIVORA_REGISTRY"]
    value = []
    wait_for(lambda: value.append(read_value(path)) or value[-1] is not None, 3)
    record["saved_value"] = {"source": "the registry file", "hex": (value[-1] or b"").hex()}


# ====================================================================== the registry file
def read_value(path, key=wine.SETTINGS_KEY, name=wine.SETTINGS_VALUE):
    """A value's data from the registry file (its current user's hive), or None. The file: a
    20-byte header (magic, version, payload length, CRC-32) and the root key, each key its
    name, its values (name, type, data) and its sub-keys, lengths before what they count."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    if len(data) < 20 or data[:8] != b"VDREG\x1a\r\n":
        return None
    pos = 20

    def take(size):
        nonlocal pos
        if pos + size > len(data):
            raise ValueError("truncated")
        pos += size
        return data[pos - size:pos]

    def number(size):
        return int.from_bytes(take(size), "little")

    def read_key():
        key_name = take(number(2)).decode("latin-1")
        values = {}
        for _ in range(number(4)):
            value_name = take(number(2)).decode("latin-1").lower()
            number(4)  # the type
            values[value_name] = take(number(4))
        subkeys = {}
        for _ in range(number(4)):
            sub = read_key()
            subkeys[sub[0].lower()] = sub
        return key_name, values, subkeys

    try:
        node = read_key()
    except ValueError:
        return None
    for part in key.split("\\")[1:] if key.upper().startswith("HKCU\\") else key.split("\\"):
        node = node[2].get(part.lower())
        if node is None:
            return None
    return node[1].get(name.lower())


# ====================================================================== checks
def check_dialog_shows(ctx):
    dialog = wine.dialog_record(ctx)
    if dialog is None:
        return SKIP
    rect, picture = dialog.get("rect"), dialog.get("falling_picture")
    print(f"double-click on the icon: dialog \"Mivora\" at {rect} after {dialog.get('shown_after')} s, "
          f"its falling-petals picture {'at ' + str(picture) if picture else 'not found'} "
          f"(base units {dialog.get('base_units')}); see {ctx.path('dialog')}")
    return 0 if rect and picture and wine.inside(rect, picture[1] * WIDTH + picture[0]) else 1


CHECKS = {
    "icon": wine.check_icon,
    "pile-grows": wine.check_pile,
    "nothing-inside-windows": wine.check_inside,
    "no-trail": wine.check_trail,
    "pile-gone": wine.check_pile_gone,
    "dialog-shows": check_dialog_shows,
    "falling-box-stops-petals": wine.check_falling_box,
    "save-writes-value": wine.check_saved_value,
    "exit": wine.check_exit,
}


def check(args):
    return wine.run_check(args.results, "x11-session", CHECKS[args.name],
                          lambda: wine.Context(os.path.abspath(args.results), args.source))


# ====================================================================== the quick run
def quick(args):
    """Start, the icon docked, petals falling, a second start showing the settings, Exit from the menu: status 0
    and a clean screen."""
    results = os.path.abspath(args.results)
    prepare(results)
    program = program_path(args.program)
    missing = missing_tools("root")
    if not program or not os.path.exists(program):
        missing.append(f"the program {program or 'mivora'}: build the target mivora (or set MIVORA_X11_PROGRAM)")
    if missing:
        print("skipped, missing:\n  " + "\n  ".join(missing))
        return SKIP
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    with Desktop(results) as desktop:
        desktop.start(["xlogo", "-title", "Left", "-geometry", "360x220+60+300"])
        desktop.find_window("Left")
        pause(0.5)
        base = desktop.screenshot()
        base.write_png(os.path.join(results, "base.png"))
        colours = wine.petal_colours(args.source, base)
        proc = desktop.start([program, "--settings", "flowersPerBranch=10"], log="mivora.log")
        panel, icon, seen = None, None, 0
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and not (icon and seen >= 20):
            pause(0.5)
            _, panel = desktop.panel()
            shot = desktop.screenshot()
            seen = len(wine.petal_pixels(shot, colours))
            if panel:
                changed = [(x, y) for y in range(panel[1], panel[3]) for x in range(max(panel[0], panel[2] - 160),
                                                                                   panel[2])
                           if shot.at(x, y) != base.at(x, y)]
                if changed:
                    icon = [min(c[0] for c in changed), min(c[1] for c in changed),
                            max(c[0] for c in changed) + 1, max(c[1] for c in changed) + 1]
        shot.write_png(os.path.join(results, "running.png"))
        # A second start on the display: no second branch, the running one's settings shown, status 0.
        second_code, dialog = None, False
        if icon:
            second = desktop.start([program], log="second.log")
            try:
                second_code = second.wait(10)
            except subprocess.TimeoutExpired:
                second.kill()
            dialog = wait_for(lambda: "Mivora" in (desktop.x("wmctrl", "-l") or ""), 5)
        record = {}
        if icon:
            exit_from_menu(desktop, record, icon, lambda name: desktop.screenshot().write_png(
                os.path.join(results, f"{name}.png")))
        try:
            code = proc.wait(15)
        except subprocess.TimeoutExpired:
            code = None
        pause(1.0)
        after = desktop.screenshot()
        after.write_png(os.path.join(results, "after-exit.png"))
        left = len(wine.petal_pixels(after, colours))
    print(f"start: icon {icon} in the panel {panel}, {seen} petal pixels on the screen; a second start: status "
          f"{second_code}, the running one's dialog {'shown' if dialog else 'not shown'}; right-click, Exit: "
          f"menu at {record.get('menu')}, exit code {code}, {left} petal pixels left; see {results}")
    return 0 if (icon and seen >= 20 and second_code == 0 and dialog and record.get("menu") and code == 0
                 and left == 0) else 1


# ====================================================================== helpers
def pause(seconds):
    if seconds > 0:
        time.sleep(seconds)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run")
    r.add_argument("results")
    r.add_argument("--mode", choices=["root", "overlay"], required=True)
    r.add_argument("--program", default="")
    r.add_argument("--source", required=True)
    c = sub.add_parser("check")
    c.add_argument("name", choices=sorted(CHECKS))
    c.add_argument("results")
    c.add_argument("--source", required=True)
    q = sub.add_parser("quick")
    q.add_argument("results")
    q.add_argument("--program", default="")
    q.add_argument("--source", required=True)
    args = parser.parse_args()
    if args.command == "run":
        return run(args)
    return check(args) if args.command == "check" else quick(args)


if __name__ == "__main__":
    sys.exit(main())
