#!/usr/bin/env python3
"""The Wine suite: the Windows build run under Wine on a display of its own, checked in screenshots.

    suite.py run RESULTS --exe mivora.exe --scene mivora-scene.exe --source SOURCE_DIR
    suite.py check NAME RESULTS

`run` boots one Wine prefix on its own Xvfb display and plays one session in real time: the
scene program opens plain windows, mivora.exe starts with ten flowers stored in the registry
(the bottom layer off, so that nothing may lie on the taskbar), screenshots are taken at set
moments while the scene moves, raises, hides and closes windows, one window moves away from
under its pile, the program is ended from its icon's menu, and then started once more over a
stored value of another version. It stops everything it started, also on failure, and leaves
the screenshots (PNG) and a record of the session (session.json) in RESULTS.

Each `check` reads them and prints its figure. A missing tool or executable is reported as a
skip (exit code 77) with the reason.
"""

import argparse
import json
import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winerun  # noqa: E402

SKIP = 77
WIDTH, HEIGHT = 1024, 768

SETTINGS_KEY = r"HKCU\Software\Tolvane\Mivora for Windows\Settings"
SETTINGS_VALUE = "Mivora settings"
SETTINGS_SIZE = 528
SETTINGS_VERSION = b"1.0.0.5"  # the first bytes of the block the program writes
FIELDS = ["branchCount", "flowersPerBranch", "flutter", "maxSideSpeed", "fallSpeed", "windowLayerThickness",
          "bottomLayerThickness", "showBranch", "fallingPetals", "windEnabled", "fallBehindWindows", "windowLayers",
          "bottomLayer", "flowerType", "tickInterval", "branchRedrawInterval", "calmPeriod", "maxWindStrength",
          "windWrap", "strengthenStep", "risePeriod", "blowPeriod", "weakenStep", "branchX"]
FACTORY = dict(zip(FIELDS, [1, 1, 2, 2, 4, 15, 40, 1, 1, 1, 1, 1, 1, 1, 50, 500, 30000, 40, 0, 100, 6000, 4000,
                            100, 100]))
SESSION_SETTINGS = dict(FACTORY, flowersPerBranch=10, bottomLayer=0)

# Petal art of flower type 1: the five pictures and their masks.
PETAL_BITMAPS = [(184, 186), (187, 191), (188, 192), (189, 193), (243, 194)]
BRANCH_BOX = (100 - 26, 0, 100 + 334 + 26, 92 + 26)  # branchX 100, a 334 x 92 picture, a petal's reach around it
REACH = 13          # the largest petal side
WT = SESSION_SETTINGS["windowLayerThickness"]
CRUST = 20
# Window classes that stand for the taskbar in the scene's log (another display adds its panels').
TASKBAR_CLASSES = {"Shell_TrayWnd"}

# The session, in seconds from the moment the scene is ready. Windows change only at these
# steps; screenshots keep clear of them.
SCENE = [
    (0.0, "open Left 60 300 420 520"),
    (0.0, "open Middle 470 430 700 560"),
    (0.0, "open Right 640 250 980 400"),
    (0.0, "open Small 300 600 420 680"),
    (12.0, "move Right 700 220"),
    (15.0, "hide Middle"),
    (17.0, "show Middle"),
    (19.0, "raise Small"),
    (21.0, "close Small"),
    (28.0, "move Left 60 540"),
]
PROGRAM_START = 2.0
BASE_SHOT = 1.5
ICON_SHOT = 6.0
SERIES = [8.0 + 0.5 * i for i in range(40)]  # 8.0 .. 27.5
MOVE_AWAY = 28.0
AFTER_MOVE = [29.0, 29.5]
EXIT_AT = 30.5  # or as soon as the dialog's part is played
FALLING_BOX = 1013   # the settings dialog's falling-petals check box
SAVE_BUTTON = 1074   # and its Save settings button
FLOWERS_BOX = 1049   # its flowers edit box, help context 111
WIND_PICTURE = 1043  # its wind picture, help context 135
ABOUT_BUTTON = 1052  # its About... button
HELP_CLASS = "MivoraHelp"  # the class of the program's help popup
HELP_ASKED = [("f1", FLOWERS_BOX, 111), ("right-click", WIND_PICTURE, 135)]
DIALOGS = [("settings", "Mivora"), ("about", "About Mivora")]
QUIET = 0.4  # seconds after a window change before a screenshot counts
MIN_QUIET_SHOTS = 20  # of the 42 the window check may use; most are clear of every window change


def bitmap_path(source, number):
    return os.path.join(source, "res", "bitmaps", f"b{number}.bmp")


def settings_hex(values, version=SETTINGS_VERSION):
    block = bytearray(SETTINGS_SIZE)
    block[0:len(version)] = version
    for i, name in enumerate(FIELDS):
        block[32 + 4 * i:36 + 4 * i] = (values[name] & 0xFFFFFFFF).to_bytes(4, "little")
    return block.hex()


# ====================================================================== the session
def run(args):
    results = os.path.abspath(args.results)
    args.exe, args.scene = os.path.abspath(args.exe), os.path.abspath(args.scene)
    os.makedirs(results, exist_ok=True)
    for name in os.listdir(results):
        if name.endswith((".png", ".json", ".log", ".txt")):
            os.remove(os.path.join(results, name))
    missing = winerun.missing_tools() + winerun.missing_fonts()
    args.layout = os.path.abspath(args.layout) if args.layout else None
    for exe in (args.exe, args.scene) + ((args.layout,) if args.layout else ()):
        if not os.path.exists(exe):
            missing.append(f"{exe}: build it with scripts/build-windows.sh")
    if missing:
        print("skipped, missing:\n  " + "\n  ".join(missing))
        return SKIP

    # A test that runs out of time is stopped with SIGTERM: leave through the cleanup then too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    record = {"shots": {}, "errors": []}
    started = time.monotonic()
    with winerun.WineSession(WIDTH, HEIGHT, 24, log_dir=results) as wine:
        try:
            session(wine, args, results, record)
        except Exception as error:  # the record tells the checks what is missing
            record["errors"].append(f"{type(error).__name__}: {error}")
            print(f"session failed: {error}")
    record["seconds"] = round(time.monotonic() - started, 1)
    with open(os.path.join(results, "session.json"), "w") as f:
        json.dump(record, f, indent=1)
    print(f"session of {record['seconds']} s on display {record.get('display')}; results in {results}")
    for error in record["errors"]:
        print("error:", error)
    return 0 if not record["errors"] else 1


def session(wine, args, results, record):
    record["display"] = wine.start_display()
    record["boot_seconds"] = round(wine.boot(), 1)
    wine.reg_add(SETTINGS_KEY, SETTINGS_VALUE, "REG_BINARY", settings_hex(SESSION_SETTINGS))

    schedule = os.path.join(results, "schedule.txt")
    with open(schedule, "w") as f:
        for at, step in SCENE:
            f.write(f"{int(at * 1000)} {step}\n")
        f.write(f"{int((EXIT_AT + 60) * 1000)} quit\n")
    scene_log = os.path.join(results, "scene.log")
    wine.start(["wine", args.scene, winerun.windows_path(schedule), winerun.windows_path(scene_log)],
               log="scene.out.log")
    ready = wait_for(lambda: os.path.exists(scene_log) and "ready" in open(scene_log, errors="replace").read(), 60)
    if not ready:
        raise RuntimeError("the scene program did not start")
    zero = time.monotonic()
    record["scene_log"] = "scene.log"

    def now():
        return time.monotonic() - zero

    def shot(name, at=None):
        if at is not None:
            pause(at - now())
        taken = now()
        picture = wine.screenshot()
        record["screen_depth"] = picture.depth
        picture.write_png(os.path.join(results, f"{name}.png"))
        record["shots"][name] = round(taken, 3)
        return picture

    shot("base", BASE_SHOT)
    pause(PROGRAM_START - now())
    record["program_start"] = round(now(), 3)
    program = wine.start(["wine", args.exe], log="mivora.out.log", cwd=os.path.dirname(args.exe))
    shot("icon", ICON_SHOT)
    for at in SERIES:
        shot(f"series-{at:04.1f}", at)
    for at in AFTER_MOVE:
        shot(f"moved-{at:04.1f}", at)

    icon = find_tray_icon(results)
    record["tray_icon"] = icon
    if icon and args.dialog:
        dialog_phase(wine, args, record, icon, shot, now, scene_log)

    # Right-click the icon, pick "Exit" from the menu.
    if icon:
        pause(EXIT_AT - now())
        x, y = centre(icon)
        before = wine.screenshot()
        wine.xdotool("mousemove", x, y)
        wine.xdotool("click", "3")
        menu = None
        deadline = time.monotonic() + 5
        while menu is None and time.monotonic() < deadline:
            pause(0.3)
            menu = find_menu(before, wine.screenshot(), x)
        record["menu"] = menu
        if menu:
            shot("menu")
            # The menu's one item fills it; click its middle.
            wine.xdotool("mousemove", *centre(menu))
            wine.xdotool("click", "1")
    try:
        record["exit_code"] = program.wait(15)
    except Exception:
        record["exit_code"] = None
        record["errors"].append("the program did not end within 15 s of the menu's Exit")
    record["exit_at"] = round(now(), 3)
    shot("after-exit", now() + 1.5)

    # Started again over a stored value of another version.
    wine.reg_add(SETTINGS_KEY, SETTINGS_VALUE, "REG_BINARY", settings_hex(FACTORY, version=b"0.9.9.9"))
    record["second_start"] = round(now(), 3)
    wine.start(["wine", args.exe], log="mivora-second.out.log", cwd=os.path.dirname(args.exe))
    wait_for(lambda: bool(windows_titled(scene_log, "Mivora default settings restored", record["second_start"])), 20)
    pause(0.5)
    shot("restored")
    record["end"] = round(now(), 3)


def centre(box):
    return (box[0] + box[2]) // 2, (box[1] + box[3]) // 2


def settings_dialog(scene_log, since):
    """The settings dialog ("Mivora", a dialog with its controls) in the last snapshot after `since`."""
    found = None
    for ms, windows in snapshots(scene_log):
        if ms / 1000.0 < since:
            continue
        for w in windows:
            if w["class"] == "#32770" and w["title"] == "Mivora" and w["visible"] and w.get("children"):
                found = w
    return found


def control(dialog, ident):
    for c in dialog.get("children", []):
        if c["id"] == ident and c["visible"]:
            return c
    return None


def dialog_phase(wine, args, record, icon, shot, now, scene_log):
    """A double-click on the icon, a click on the falling-petals box, a click on Save settings."""
    since = now()
    wine.xdotool("mousemove", *centre(icon))
    wine.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    wait_for(lambda: settings_dialog(scene_log, since) is not None, 10)
    pause(0.6)
    dialog = settings_dialog(scene_log, since)
    shot("dialog")
    if not dialog:
        record["dialog"] = None
        return
    record["dialog"] = {"rect": dialog["rect"], "shown_after": round(now() - since, 2),
                        "controls": sorted(c["id"] for c in dialog["children"] if c["visible"])}
    falling, save = control(dialog, FALLING_BOX), control(dialog, SAVE_BUTTON)
    shot("falling-on-a")
    pause(0.5)
    shot("falling-on-b")
    if falling:
        wine.xdotool("mousemove", *centre(falling["rect"]))
        wine.xdotool("click", "1")
        record["falling_clicked"] = round(now(), 3)
        pause(1.5)
        shot("falling-off-a")
        pause(0.5)
        shot("falling-off-b")
    if save:
        wine.xdotool("mousemove", *centre(save["rect"]))
        wine.xdotool("click", "1")
        pause(1.0)
        code, out = wine.reg_query(SETTINGS_KEY, SETTINGS_VALUE)
        record["saved_value"] = {"code": code, "hex": stored_hex(out)}
    help_phase(wine, record, dialog, shot, now, scene_log)
    if args.layout:
        layout_phase(wine, record, dialog, args.layout, os.path.dirname(scene_log))


def help_popups(scene_log, since):
    """[(seconds, popup window)] of the snapshots after `since` that show the program's help popup,
    and the seconds of the snapshots that show none."""
    shown, none = [], []
    for ms, windows in snapshots(scene_log):
        if ms / 1000.0 < since:
            continue
        popups = [w for w in windows if w["class"] == HELP_CLASS and w["visible"]]
        if popups:
            shown.append((ms / 1000.0, popups[0]))
        else:
            none.append(ms / 1000.0)
    return shown, none


def help_phase(wine, record, dialog, shot, now, scene_log):
    """F1 on the flowers box, closed by Esc; a right click on the wind picture, closed by a click
    on the popup. Each popup is seen in the scene's snapshots and in a screenshot."""
    record["help"] = {}
    for way, ident, context in HELP_ASKED:
        target = control(dialog, ident)
        if not target:
            continue
        x, y = centre(target["rect"])
        wine.xdotool("mousemove", x, y)
        if way == "f1":
            wine.xdotool("click", "1")
            pause(0.3)
            asked = now()
            wine.xdotool("key", "F1")
        else:
            asked = now()
            wine.xdotool("click", "3")
        wait_for(lambda: bool(help_popups(scene_log, asked)[0]), 5)
        pause(0.4)
        shot(f"help-{way}")
        shown = help_popups(scene_log, asked)[0]
        if shown:
            # The popup's own window as well: on Xvfb the screen sometimes shows a popup over the
            # dialog black although the popup holds its picture.
            alone = wine.window_shot(shown[-1][1]["title"].split("?")[0])
            if alone:
                alone.write_png(os.path.join(os.path.dirname(scene_log), f"help-{way}-window.png"))
        entry = {"context": context, "control": target["rect"], "asked": round(asked, 3)}
        if shown:
            seen, popup = shown[-1]
            entry.update(popup=popup["rect"], title=popup["title"], shown_after=round(seen - asked, 2))
            closed = now()
            if way == "f1":
                wine.xdotool("key", "Escape")
            else:
                wine.xdotool("mousemove", *centre(popup["rect"]))
                wine.xdotool("click", "1")
            gone = wait_for(lambda: bool(help_popups(scene_log, closed + 0.05)[1]), 5)
            entry["gone_after"] = round(now() - closed, 2) if gone else None
        record["help"][way] = entry


def layout_phase(wine, record, dialog, helper, results):
    """The controls of the settings dialog, then of the about box (opened by About..., closed by
    Enter on its OK), as the layout helper lists them under Wine."""
    record["layout"] = {}
    about = control(dialog, ABOUT_BUTTON)
    for name, title in DIALOGS:
        if name == "about":
            if not about:
                break
            wine.xdotool("mousemove", *centre(about["rect"]))
            wine.xdotool("click", "1")
        out = os.path.join(results, f"layout-{name}.txt")
        code = wine.run(["wine", helper, title, winerun.windows_path(out)], timeout=60, log="layout.log")
        record["layout"][name] = {"code": code, "file": os.path.basename(out)}
    if about:
        wine.xdotool("key", "Return")
        pause(0.5)


def stored_hex(reg_output):
    for line in reg_output.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[-2] == "REG_BINARY":
            return parts[-1]
    return ""


def pause(seconds):
    if seconds > 0:
        time.sleep(seconds)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def find_tray_icon(results):
    """The box of what changed at the right end of the taskbar once the program had started."""
    base = winerun.Shot.from_png(os.path.join(results, "base.png"))
    icon = winerun.Shot.from_png(os.path.join(results, "icon.png"))
    bar = taskbar_rect(os.path.join(results, "scene.log"))
    if not bar:
        return None
    left = max(bar[0], bar[2] - 160)
    changed = [(x, y) for y in range(bar[1], bar[3]) for x in range(left, bar[2]) if base.at(x, y) != icon.at(x, y)]
    if not changed:
        return None
    xs, ys = [c[0] for c in changed], [c[1] for c in changed]
    return [min(xs), min(ys), max(xs) + 1, max(ys) + 1]


def find_menu(before, after, x):
    """The box of a popup menu near the bottom of the screen: the tallest block of rows that
    each changed in one run of at least 30 pixels near x (menus are solid; petals are small)."""
    blocks, current = [], None
    for y in range(HEIGHT - 1, HEIGHT - 300, -1):
        run = changed_run(before, after, y, x)
        if run is None:
            current = None
            continue
        if current is None:
            current = [run[0], y, run[1], y + 1]
            blocks.append(current)
        else:
            current[0], current[1], current[2] = min(current[0], run[0]), y, max(current[2], run[1])
    blocks = [b for b in blocks if b[3] - b[1] >= 10]
    return max(blocks, key=lambda b: b[3] - b[1]) if blocks else None


def changed_run(before, after, y, x):
    best = None
    start = None
    for i in range(max(0, x - 300), min(WIDTH, x + 300) + 1):
        differs = i < WIDTH and before.at(i, y) != after.at(i, y)
        if differs and start is None:
            start = i
        elif not differs and start is not None:
            if i - start >= 30 and start - 150 <= x < i + 150 and (best is None or i - start > best[1] - best[0]):
                best = (start, i)
            start = None
    return best


# ====================================================================== what the scene saw
def snapshots(scene_log):
    """[(ms, [window dicts])] from the scene's log."""
    result, current = [], None
    with open(scene_log, encoding="cp1252", errors="replace") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ", 3)
            if parts[0] == "snapshot":
                current = (int(parts[1]), [])
            elif parts[0] in ("window", "child") and current is not None:
                fields = parts[3].split("|")
                cls, title, rect = fields[:3]
                entry = {"kind": parts[0], "hwnd": parts[1], "visible": parts[2] == "1", "class": cls,
                         "title": title, "rect": [int(v) for v in rect.split()],
                         "id": int(fields[3]) if len(fields) > 3 else 0}
                if parts[0] == "window" or not current[1]:
                    current[1].append(entry)
                else:
                    current[1][-1].setdefault("children", []).append(entry)
            elif parts[0] == "end" and current is not None:
                result.append(current)
                current = None
    return result


def scene_steps(scene_log):
    steps = []
    with open(scene_log, encoding="cp1252", errors="replace") as f:
        for line in f:
            parts = line.split()
            if parts and parts[0] == "step":
                steps.append((int(parts[1]) / 1000.0, parts[2], parts[3] if len(parts) > 3 else ""))
    return steps


def taskbar_rect(scene_log):
    for _, windows in snapshots(scene_log):
        for w in windows:
            if w["class"] in TASKBAR_CLASSES and w["visible"]:
                return w["rect"]
    return None


def windows_at(scene_log, seconds):
    """The visible top-level windows of the last snapshot before `seconds`."""
    chosen = []
    for ms, windows in snapshots(scene_log):
        if ms / 1000.0 <= seconds:
            chosen = windows
    return [w for w in chosen if w["visible"] and w["rect"][2] > w["rect"][0] and w["rect"][3] > w["rect"][1]]


def windows_titled(scene_log, title, since=0.0):
    seen = []
    for ms, windows in snapshots(scene_log):
        if ms / 1000.0 >= since:
            seen += [(ms, w) for w in windows if w["visible"] and w["title"] == title]
    return seen


def quiet_at(scene_log, seconds):
    """No window changed within QUIET seconds before `seconds` (nor just after it)."""
    return all(not (t - 0.1 <= seconds <= t + QUIET) for t, _, _ in scene_steps(scene_log))


# ====================================================================== petal pixels
def petal_colours(source, base):
    """The colours of the petal art (inside the masks) that the screen did not show before the program."""
    colours = set()
    for picture, mask in PETAL_BITMAPS:
        _, _, art = winerun.read_bmp(bitmap_path(source, picture))
        _, _, shape = winerun.read_bmp(bitmap_path(source, mask))
        for row_art, row_shape in zip(art, shape):
            for c, m in zip(row_art, row_shape):
                if m == 0xFFFFFF:  # white in the mask is the petal's shape
                    colours.add(c)
    return colours - set(base.pixels)


def petal_pixels(shot, colours, boxes=None):
    """Indices of petal-coloured pixels, within the given boxes or the whole screen."""
    if boxes is None:
        return {i for i, c in enumerate(shot.pixels) if c in colours}
    found = set()
    for left, top, right, bottom in boxes:
        left, top, right, bottom = max(0, left), max(0, top), min(shot.width, right), min(shot.height, bottom)
        for y in range(top, bottom):
            row = y * shot.width
            for i in range(row + left, row + right):
                if shot.pixels[i] in colours:
                    found.add(i)
    return found


def inside(box, i):
    x, y = i % WIDTH, i // WIDTH
    return box[0] <= x < box[2] and box[1] <= y < box[3]


def band(rect):
    """Where a pile on a window's top edge may lie, a petal's reach around it."""
    return [rect[0] - 2 * REACH, rect[1] - WT - REACH, rect[2] + 2 * REACH, rect[1] + CRUST]


# ====================================================================== checks
class Context:
    def __init__(self, results, source, native_layout=None):
        self.results = results
        self.source = source
        self.native_layout = native_layout
        with open(os.path.join(results, "session.json")) as f:
            self.record = json.load(f)
        self.scene_log = os.path.join(results, "scene.log")
        self._shots = {}
        self._colours = None

    def shot(self, name):
        if name not in self._shots:
            self._shots[name] = winerun.Shot.from_png(self.path(name))
        return self._shots[name]

    def path(self, name):
        return os.path.join(self.results, f"{name}.png")

    def colours(self):
        if self._colours is None:
            self._colours = petal_colours(self.source, self.shot("base"))
        return self._colours

    def time(self, name):
        return self.record["shots"][name]

    def series(self):
        return sorted((n for n in self.record["shots"] if n.startswith("series-")), key=self.time)


def check_icon(ctx):
    box = ctx.record.get("tray_icon")
    bar = taskbar_rect(ctx.scene_log)
    if not box or not bar:
        print(f"no change at the right end of the taskbar {bar} after the start; see {ctx.path('icon')}")
        return 1
    icon_colours = winerun.read_icon_colours(os.path.join(ctx.source, "res", "icon1098.ico"))
    shot = ctx.shot("icon")
    matching = sum(1 for y in range(box[1], box[3]) for x in range(box[0], box[2]) if shot.at(x, y) in icon_colours)
    print(f"notification icon: box {box} inside the taskbar {bar}; {matching} pixels in the icon's colours")
    ok = bar[0] <= box[0] and box[2] <= bar[2] and bar[1] <= box[1] and box[3] <= bar[3] and matching >= 20
    if not ok:
        print(f"see {ctx.path('icon')}")
    return 0 if ok else 1


def check_pile(ctx):
    names = [n for n in ctx.series() if quiet_at(ctx.scene_log, ctx.time(n))]
    left = [w for w in windows_at(ctx.scene_log, ctx.time(names[-1])) if w["title"] == "Left"][0]["rect"]
    crust = [band(left)[0], left[1] - WT - REACH, band(left)[2], left[1]]
    counts = [(n, len(petal_pixels(ctx.shot(n), ctx.colours(), [crust]))) for n in names]
    early, late = counts[len(counts) // 4], counts[-1]
    print(f"pile on the top edge of window Left {left}: {early[1]} petal pixels at {ctx.time(early[0]):.1f} s, "
          f"{late[1]} at {ctx.time(late[0]):.1f} s")
    ok = late[1] >= 150 and late[1] > early[1]
    if not ok:
        print(f"see {ctx.path(late[0])}")
    return 0 if ok else 1


def check_inside(ctx):
    worst, total, checked, icon = (None, 0), 0, 0, ctx.record.get("tray_icon")
    names = ctx.series() + [n for n in ctx.record["shots"] if n.startswith("moved-")]
    for name in names:
        t = ctx.time(name)
        if not quiet_at(ctx.scene_log, t):
            continue
        boxes = [w["rect"] for w in windows_at(ctx.scene_log, t)]
        found = petal_pixels(ctx.shot(name), ctx.colours(), boxes)
        if icon:
            found = {i for i in found if not inside(icon, i)}
        checked += 1
        total += len(found)
        if len(found) > worst[1]:
            worst = (name, len(found))
    print(f"petal pixels inside windows or on the taskbar: {total} over {checked} of {len(names)} screenshots"
          + (f", most {worst[1]} in {ctx.path(worst[0])}" if worst[0] else ""))
    if checked < MIN_QUIET_SHOTS:
        print(f"too few screenshots clear of window changes: {checked}, at least {MIN_QUIET_SHOTS} expected")
    return 0 if total == 0 and checked >= MIN_QUIET_SHOTS else 1


def still(shots, i, radius=3):
    """Pixel i and the square around it are the same in every shot: a picture that stayed put, not
    two falling petals that happened to cross the pixel in the same colour."""
    x, y = i % WIDTH, i // WIDTH
    for yy in range(max(0, y - radius), min(HEIGHT, y + radius + 1)):
        for xx in range(max(0, x - radius), min(WIDTH, x + radius + 1)):
            j = yy * WIDTH + xx
            if not shots[0].pixels[j] == shots[1].pixels[j] == shots[2].pixels[j]:
                return False
    return True


def check_trail(ctx):
    """Petal pixels on the open desktop, away from the branch and every layer band, that stay put
    for a second (three screenshots half a second apart, the pixel and the 7 x 7 square around it
    unchanged) are a trail: a falling petal moves at least its fall speed every tick."""
    colours = ctx.colours()
    names = ctx.series()
    stale_total, worst = set(), (None, 0)
    triples = 0
    for a, b, c in zip(names, names[1:], names[2:]):
        times = [ctx.time(n) for n in (a, b, c)]
        if times[2] - times[0] > 1.5 or not all(quiet_at(ctx.scene_log, t) for t in times):
            continue
        triples += 1
        windows = [w["rect"] for t in times for w in windows_at(ctx.scene_log, t)]
        shots = [ctx.shot(n) for n in (a, b, c)]
        stale = set()
        for i in petal_pixels(shots[0], colours):
            colour = shots[0].pixels[i]
            if shots[1].pixels[i] != colour or shots[2].pixels[i] != colour:
                continue
            if inside(BRANCH_BOX, i) or any(inside(r, i) or inside(band(r), i) for r in windows):
                continue
            if still(shots, i):
                stale.add(i)
        stale_total |= stale
        if len(stale) > worst[1]:
            worst = (c, len(stale))
    print(f"trail: {len(stale_total)} petal pixels stayed put for a second on the open desktop, "
          f"over {triples} triples of screenshots" + (f"; most in {ctx.path(worst[0])}" if worst[0] else ""))
    return 0 if triples >= 10 and not stale_total else 1


def check_pile_gone(ctx):
    before_name = max((n for n in ctx.series()), key=ctx.time)
    left_before = [w for w in windows_at(ctx.scene_log, ctx.time(before_name)) if w["title"] == "Left"][0]["rect"]
    moved = [t for t, verb, name in scene_steps(ctx.scene_log) if verb == "move" and name == "Left"]
    after = sorted((n for n in ctx.record["shots"] if n.startswith("moved-")), key=ctx.time)
    area = [band(left_before)]
    pile = petal_pixels(ctx.shot(before_name), ctx.colours(), area)
    first, second = ctx.shot(after[0]), ctx.shot(after[1])
    # What is still there in both later shots, in the same colour, is left of the pile.
    # Left of the pile: a pixel as it was, in both later shots, around which nothing moved
    # between them (a falling petal crossing it in the same colour moves on).
    before = ctx.shot(before_name)
    left_over = {i for i in pile if first.pixels[i] == before.pixels[i] and still([first, second, second], i)}
    delay = ctx.time(after[0]) - moved[0] if moved else float("nan")
    print(f"pile on window Left's old top edge: {len(pile)} petal pixels before the move, {len(left_over)} of them "
          f"still there {delay:.1f} s after it; see {ctx.path(after[0])}")
    return 0 if len(pile) >= 100 and not left_over and delay <= 1.2 else 1


def check_exit(ctx):
    code = ctx.record.get("exit_code")
    if "after-exit" not in ctx.record["shots"]:
        print("no screenshot after the exit")
        return 1
    left = petal_pixels(ctx.shot("after-exit"), ctx.colours())
    print(f"right-click, Exit: menu at {ctx.record.get('menu')}, exit code {code}, "
          f"{len(left)} petal pixels left on the screen; see {ctx.path('after-exit')}")
    return 0 if code == 0 and not left else 1


def check_restored(ctx):
    since = ctx.record.get("second_start", 0)
    seen = windows_titled(ctx.scene_log, "Mivora default settings restored", since)
    if seen:
        ms, w = seen[0]
        print(f"a stored value of another version: the box \"{w['title']}\" at {w['rect']}, "
              f"{ms / 1000.0 - since:.1f} s after the start; see {ctx.path('restored')}")
        return 0
    print(f"a stored value of another version: no \"Mivora default settings restored\" box; see {ctx.path('restored')}")
    return 1


def check_no_color_box(ctx):
    shots = snapshots(ctx.scene_log)
    colour = [(ms, w) for ms, windows in shots for w in windows if w["title"] == "Color"]
    depth = ctx.record.get("screen_depth")
    print(f"display of {depth} bits: {len(colour)} \"Color\" boxes in {len(shots)} snapshots of the windows")
    return 0 if depth == 24 and not colour and len(shots) > 50 else 1


def moving_petal_pixels(ctx, a, b, away):
    """Pixels that changed between two shots and show a petal in either, outside the boxes `away`."""
    first, second = ctx.shot(a), ctx.shot(b)
    colours = ctx.colours()
    return [i for i, (p, q) in enumerate(zip(first.pixels, second.pixels))
            if p != q and (p in colours or q in colours) and not any(inside(r, i) for r in away)]


def dialog_record(ctx):
    if "dialog" not in ctx.record:
        print("skipped: the session ran without the settings dialog's part (suite.py run --dialog)")
        return None
    return ctx.record["dialog"] or {}


def check_dialog_shows(ctx):
    dialog = dialog_record(ctx)
    if dialog is None:
        return SKIP
    controls = dialog.get("controls", [])
    needed = [FALLING_BOX, SAVE_BUTTON, 1]
    # The caption's colour right of the title: grey when painted inactive.
    rect = dialog.get("rect") or [0, 0, 0, 0]
    caption = ctx.shot("dialog").at(rect[0] + (rect[2] - rect[0]) // 2, rect[1] + 12) if dialog.get("rect") else 0
    red, green, blue = caption >> 16, (caption >> 8) & 255, caption & 255
    active = not (red == green == blue)
    print(f"double-click on the icon: dialog \"Mivora\" at {dialog.get('rect')} after {dialog.get('shown_after')} s "
          f"with {len(controls)} controls, {'all' if all(n in controls for n in needed) else 'not all'} of "
          f"{needed}; caption {'active' if active else 'inactive'} (#{caption:06x}); see {ctx.path('dialog')}")
    return 0 if len(controls) >= 30 and all(n in controls for n in needed) and active else 1


def check_falling_box(ctx):
    dialog = dialog_record(ctx)
    if dialog is None:
        return SKIP
    if "falling-off-b" not in ctx.record["shots"]:
        print("no click on the falling-petals box")
        return 1
    away = [dialog["rect"], BRANCH_BOX] + [w["rect"] for w in windows_at(ctx.scene_log, ctx.time("falling-on-a"))]
    before = moving_petal_pixels(ctx, "falling-on-a", "falling-on-b", away)
    after = moving_petal_pixels(ctx, "falling-off-a", "falling-off-b", away)
    print(f"a click on the falling-petals box: {len(before)} petal pixels moved in half a second before it, "
          f"{len(after)} after it; see {ctx.path('falling-off-b')}")
    return 0 if len(before) >= 50 and not after else 1


def check_saved_value(ctx):
    dialog = dialog_record(ctx)
    if dialog is None:
        return SKIP
    saved = ctx.record.get("saved_value") or {}
    data = bytes.fromhex(saved.get("hex", ""))
    fields = [int.from_bytes(data[32 + 4 * i:36 + 4 * i], "little", signed=True) for i in range(len(FIELDS))] \
        if len(data) >= 32 + 4 * len(FIELDS) else []
    values = dict(zip(FIELDS, fields))
    print(f"Save settings: {saved.get('source', 'wine reg query')} reads {len(data)} bytes, "
          f"version {data[:8].rstrip(bytes(1))!r}, "
          f"fallingPetals {values.get('fallingPetals')}, flowersPerBranch {values.get('flowersPerBranch')}")
    return 0 if (len(data) == SETTINGS_SIZE and data.startswith(SETTINGS_VERSION + b"\0")
                 and values.get("fallingPetals") == 0
                 and values.get("flowersPerBranch") == SESSION_SETTINGS["flowersPerBranch"]) else 1


def check_help_popup(ctx):
    """F1 on a control and a right click on a picture each show the control's topic in a window of
    the program's, which a key or a click then takes away."""
    dialog = dialog_record(ctx)
    if dialog is None:
        return SKIP
    sys.path.insert(0, os.path.join(ctx.source, "tools", "art"))
    import help_topics
    topics = help_topics.read_file(os.path.join(ctx.source, "res", help_topics.SOURCE))
    asked = ctx.record.get("help", {})
    ok = True
    for way, ident, context in HELP_ASKED:
        entry = asked.get(way) or {}
        title = topics[context][0]
        words = " ".join(title.split()[:3])
        shown = entry.get("title", "")
        print(f"{way} on control {ident}: " + (
            f"popup \"{shown[:40]}...\" at {entry.get('popup')} {entry.get('shown_after')} s after, "
            f"gone {entry.get('gone_after')} s after the {'key' if way == 'f1' else 'click'}; "
            f"see {ctx.path('help-' + way)}" if shown else "no help popup"))
        if not (shown.startswith(title) and entry.get("gone_after") is not None):
            print(f"  wanted a popup starting with the topic's first words \"{words}\" that goes away")
            ok = False
    return 0 if ok else 1


def read_layout(path):
    """(client size, [(id, class, [left, top, right, bottom])]) of a layout listing."""
    size, controls = None, []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts and parts[0] == "dialog":
                size = [int(v) for v in parts[1:3]]
            elif parts and parts[0] == "control":
                controls.append((int(parts[1]), parts[2].lower(), [int(v) for v in parts[3:7]]))
    return size, controls


def check_dialog_layout(ctx):
    """Every control of the settings dialog and the about box where Wine puts it, compared with
    where the virtual desktop puts it from the same templates."""
    dialog = dialog_record(ctx)
    if dialog is None:
        return SKIP
    if not ctx.native_layout or not os.path.exists(ctx.native_layout):
        print(f"no native layout program {ctx.native_layout}: build it with scripts/build.sh")
        return 1
    import subprocess
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        native_files = {name: os.path.join(tmp, f"{name}.txt") for name, _ in DIALOGS}
        subprocess.run([ctx.native_layout, native_files["settings"], native_files["about"]], check=True, timeout=60)
        native = {name: read_layout(path) for name, path in native_files.items()}
    equal = total = 0
    for name, title in DIALOGS:
        listed = (ctx.record.get("layout") or {}).get(name) or {}
        path = os.path.join(ctx.results, listed.get("file", f"layout-{name}.txt"))
        if listed.get("code") != 0 or not os.path.exists(path):
            print(f"{title}: no listing of its controls under Wine (code {listed.get('code')})")
            return 1
        wine_size, wine_controls = read_layout(path)
        native_size, native_controls = native[name]
        print(f"{title}: client area {wine_size} under Wine, {native_size} natively; "
              f"{len(wine_controls)} controls under Wine, {len(native_controls)} natively")
        if wine_size != native_size:
            print(f"  client areas differ: Wine {wine_size}, native {native_size}")
        by_id = {}
        for ident, cls, rect in native_controls:
            by_id.setdefault(ident, []).append((cls, rect))
        for ident, cls, rect in wine_controls:
            total += 1
            mine = by_id.get(ident, [])
            match = mine.pop(0) if mine else None
            if match and match == (cls, rect):
                equal += 1
            else:
                print(f"  control {ident} {cls}: Wine {rect}, native " + (f"{match[1]} ({match[0]})" if match else "none"))
        for ident, left in by_id.items():
            for cls, rect in left:
                total += 1
                print(f"  control {ident} {cls}: native {rect}, none under Wine")
    print(f"{equal} of {total} controls equal")
    return 0 if equal == total and total > 0 else 1


CHECKS = {
    "icon": check_icon,
    "pile-grows": check_pile,
    "nothing-inside-windows": check_inside,
    "no-trail": check_trail,
    "pile-gone": check_pile_gone,
    "exit": check_exit,
    "restored-box": check_restored,
    "no-color-box": check_no_color_box,
    "dialog-shows": check_dialog_shows,
    "falling-box-stops-petals": check_falling_box,
    "save-writes-value": check_saved_value,
    "help-popup": check_help_popup,
    "dialog-layout": check_dialog_layout,
}


def run_check(results, session_test, check_fn, context):
    """One check on a session's record: a skip when no session ran, a failure when it took no
    screenshot or its record lacks what the check reads. `context` makes the check's Context."""
    path = os.path.join(results, "session.json")
    if not os.path.exists(path):
        print(f"skipped: no session was run (see the test {session_test})")
        return SKIP
    with open(path) as f:
        record = json.load(f)
    if not record.get("shots"):
        print("no screenshots: " + "; ".join(record.get("errors", ["the session did not run"])))
        return 1
    try:
        return check_fn(context())
    except (KeyError, IndexError, OSError, ValueError, TypeError) as error:
        print(f"the session's record is short of what this check needs: {type(error).__name__}: {error}")
        return 1


def check(args):
    return run_check(args.results, "wine-session", CHECKS[args.name],
                     lambda: Context(os.path.abspath(args.results), args.source, args.native_layout))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run")
    r.add_argument("results")
    r.add_argument("--exe", required=True)
    r.add_argument("--scene", required=True)
    r.add_argument("--source", required=True)
    r.add_argument("--dialog", action="store_true", help="also play the settings dialog's part")
    r.add_argument("--layout", help="mivora-layout.exe: list the dialogs' controls under Wine")
    c = sub.add_parser("check")
    c.add_argument("name", choices=sorted(CHECKS))
    c.add_argument("results")
    c.add_argument("--source", required=True)
    c.add_argument("--native-layout", help="mivora-native-layout: the same controls on the virtual desktop")
    args = parser.parse_args()
    return run(args) if args.command == "run" else check(args)


if __name__ == "__main__":
    sys.exit(main())
