"""Running Windows programs under Wine on a display of their own, and reading what they show.

Shared by the Wine suite (tests/wine/suite.py) and the CPU benchmark (bench/wine_cpu.py).
A WineSession owns an Xvfb display (a free number chosen by Xvfb itself), a Wine prefix in a
temporary folder, and every process started through it; close() stops them all, and so does
leaving a `with` block, whatever happened inside it.
"""

import array
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TOOLS = {
    "wine": "wine (Debian packages wine and wine64)",
    "wineboot": "wine (Debian packages wine and wine64)",
    "wineserver": "wine (Debian packages wine and wine64)",
    "Xvfb": "Xvfb (Debian package xvfb)",
    "xwd": "xwd (Debian package x11-apps)",
    "xdotool": "xdotool (Debian package xdotool)",
}


# Wine's own fonts (Debian package fonts-wine). Without them Wine lays dialogs out in another
# font than Windows does: a smaller one, which moves every control.
WINE_FONTS = "/usr/share/wine/fonts"


def missing_tools(names=TOOLS):
    """The tools among `names` that are not on the PATH, each with where it comes from."""
    return [f"{name}: {TOOLS.get(name, name)}" for name in names if shutil.which(name) is None]


def missing_fonts():
    """Wine's own fonts when they are not installed, with where they come from."""
    if os.path.isdir(WINE_FONTS) and any(n.endswith((".ttf", ".fon")) for n in os.listdir(WINE_FONTS)):
        return []
    return [f"{WINE_FONTS}: Wine's fonts (Debian package fonts-wine)"]


def windows_path(path):
    """A Unix path as Wine's Z: drive names it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineSession:
    def __init__(self, width=1024, height=768, depth=24, log_dir=None):
        self.width, self.height, self.depth = width, height, depth
        self.tmp = tempfile.mkdtemp(prefix="mivora-wine-")
        self.log_dir = log_dir or self.tmp
        self.procs = []
        self.xvfb = None
        self.display = None
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": os.path.join(self.tmp, "prefix"),
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers, no menu entries written into a home folder.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "HOME": os.path.join(self.tmp, "home"),
            "XDG_CONFIG_HOME": os.path.join(self.tmp, "home", ".config"),
            "XDG_DATA_HOME": os.path.join(self.tmp, "home", ".local", "share"),
        })
        os.makedirs(self.env["HOME"], exist_ok=True)
        self.env.pop("WAYLAND_DISPLAY", None)
        self._start_reaper()

    def _start_reaper(self):
        """A watcher that outlives this process: if it ends without close() (killed, say, by a
        test's time limit), the watcher stops what the session started and removes its folder."""
        read_fd, self._reaper_fd = os.pipe()
        code = (
            "import os, shutil, signal, subprocess, sys, time\n"
            "fd, tmp = int(sys.argv[1]), sys.argv[2]\n"
            "while os.read(fd, 64): pass\n"
            "if os.path.exists(os.path.join(tmp, 'closed')): sys.exit(0)\n"
            "env = dict(os.environ, WINEPREFIX=os.path.join(tmp, 'prefix'))\n"
            "if os.path.isdir(env['WINEPREFIX']):\n"
            "    subprocess.run(['wineserver', '-k'], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n"
            "try: pid = int(open(os.path.join(tmp, 'xvfb.pid')).read())\n"
            "except (OSError, ValueError): pid = 0\n"
            "if pid:\n"
            "    try: os.kill(pid, signal.SIGTERM)\n"
            "    except OSError: pass\n"
            "    time.sleep(1)\n"
            "    try: os.kill(pid, signal.SIGKILL)\n"
            "    except OSError: pass\n"
            "shutil.rmtree(tmp, ignore_errors=True)\n")
        subprocess.Popen([sys.executable, "-c", code, str(read_fd), self.tmp], pass_fds=(read_fd,),
                         start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(read_fd)

    # ------------------------------------------------------------------ lifecycle
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def start_display(self):
        """Xvfb on a display number no one holds, from a base away from the usual ones."""
        base = 100 + os.getpid() % 400
        for number in range(base, base + 100):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            if self._try_display(number):
                self.display = f":{number}"
                self.env["DISPLAY"] = self.display
                return self.display
        raise RuntimeError("no free display for Xvfb (see xvfb.log)")

    def _try_display(self, number):
        read_fd, write_fd = os.pipe()
        log = open(os.path.join(self.log_dir, "xvfb.log"), "a")
        xvfb = subprocess.Popen(
            ["Xvfb", f":{number}", "-displayfd", str(write_fd), "-screen", "0",
             f"{self.width}x{self.height}x{self.depth}", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=log, stderr=log, start_new_session=True)
        os.close(write_fd)
        answer = b""
        deadline = time.monotonic() + 20
        while not answer.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            answer += chunk
        os.close(read_fd)
        if answer.strip() == str(number).encode() and xvfb.poll() is None:
            self.xvfb = xvfb
            with open(os.path.join(self.tmp, "xvfb.pid"), "w") as f:
                f.write(str(xvfb.pid))
            return True
        stop_process(xvfb)  # another server took the number first
        return False

    def boot(self, desktop_name="shell"):
        """A fresh prefix whose every program joins one virtual desktop with a taskbar."""
        start = time.monotonic()
        self.run(["wineboot", "-i"], timeout=180, log="wineboot.log")
        self.install_fonts()
        # A desktop named "shell" gets the taskbar and its notification area; naming it the
        # default puts every program started later on it.
        self.reg_add(r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", desktop_name)
        self.reg_add(r"HKCU\Software\Wine\Explorer\Desktops", desktop_name, "REG_SZ",
                     f"{self.width}x{self.height}")
        return time.monotonic() - start

    def install_fonts(self):
        """Copies Wine's own fonts into the prefix's Fonts folder, the only place this Wine looks
        for them; answers how many were copied."""
        if missing_fonts():
            return 0
        target = os.path.join(self.env["WINEPREFIX"], "drive_c", "windows", "Fonts")
        os.makedirs(target, exist_ok=True)
        names = [n for n in sorted(os.listdir(WINE_FONTS)) if n.endswith((".ttf", ".fon"))]
        for name in names:
            shutil.copyfile(os.path.join(WINE_FONTS, name), os.path.join(target, name))
        return len(names)

    def close(self):
        if os.path.isdir(self.env["WINEPREFIX"]):
            try:
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except (OSError, subprocess.TimeoutExpired):
                pass
        for p in self.procs:
            stop_process(p)
        self.procs = []
        if os.path.isdir(self.env["WINEPREFIX"]):
            try:
                subprocess.run(["wineserver", "-w"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except (OSError, subprocess.TimeoutExpired):
                pass
        if self.xvfb:
            stop_process(self.xvfb)
            self.xvfb = None
        self.display = None
        # Everything is stopped: the watcher has nothing left to do.
        open(os.path.join(self.tmp, "closed"), "w").close()
        os.close(self._reaper_fd)
        shutil.rmtree(self.tmp, ignore_errors=True)

    # ------------------------------------------------------------------ processes
    def run(self, args, timeout=60, log=None):
        out = open(os.path.join(self.log_dir, log), "a") if log else subprocess.DEVNULL
        try:
            return subprocess.run(args, env=self.env, timeout=timeout, stdout=out, stderr=out).returncode
        finally:
            if log:
                out.close()

    def start(self, args, log=None, cwd=None):
        out = open(os.path.join(self.log_dir, log), "a") if log else subprocess.DEVNULL
        p = subprocess.Popen(args, env=self.env, stdout=out, stderr=out, cwd=cwd, start_new_session=True)
        self.procs.append(p)
        return p

    def reg_add(self, key, name, kind, data):
        code = self.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], log="reg.log")
        if code != 0:
            raise RuntimeError(f"wine reg add {key} {name} failed ({code})")

    def reg_query(self, key, name):
        result = subprocess.run(["wine", "reg", "query", key, "/v", name], env=self.env, timeout=60,
                                capture_output=True, text=True, errors="replace")
        return result.returncode, result.stdout

    def xdotool(self, *args):
        return self.run(["xdotool", *[str(a) for a in args]], timeout=20, log="xdotool.log")

    def window_shot(self, name_prefix):
        """The first visible window whose name starts with `name_prefix`, read with xwd on its own
        (what it holds, whatever covers it on the screen); None when there is none."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + name_prefix], env=self.env,
                               timeout=20, capture_output=True, text=True).stdout.split()
        if not found:
            return None
        data = subprocess.run(["xwd", "-id", found[0], "-silent"], env=self.env, timeout=30,
                              stdout=subprocess.PIPE).stdout
        return Shot.from_xwd(data) if data else None

    def screenshot(self):
        """The whole screen as a Shot, read with xwd. A window that goes away while xwd reads the
        screen can fail the read (BadDrawable); it is tried once more then."""
        for attempt in range(2):
            result = subprocess.run(["xwd", "-root", "-silent"], env=self.env, timeout=30,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if result.returncode == 0 or attempt == 1:
                break
        if result.returncode != 0:
            raise RuntimeError("xwd -root failed: " + result.stderr.decode(errors="replace").strip())
        return Shot.from_xwd(result.stdout)


def stop_process(p, grace=5):
    if p.poll() is not None:
        return
    try:
        os.killpg(p.pid, signal.SIGTERM)
    except OSError:
        pass
    try:
        p.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except OSError:
            pass
        p.wait(grace)


# ---------------------------------------------------------------------- pictures
class Shot:
    """A screen picture: width, height and one 0xRRGGBB integer per pixel, row by row."""

    def __init__(self, width, height, pixels, depth=24):
        self.width, self.height, self.pixels, self.depth = width, height, pixels, depth

    @staticmethod
    def from_xwd(data):
        header = struct.unpack(">25I", data[:100])
        header_size, depth = header[0], header[3]
        width, height = header[4], header[5]
        byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
        ncolors = header[19]
        if bits_per_pixel not in (24, 32) or depth != 24:
            raise ValueError(f"xwd picture of depth {depth} at {bits_per_pixel} bits a pixel")
        start = header_size + 12 * ncolors
        size = bits_per_pixel // 8
        raw = data[start:start + bytes_per_line * height]
        rows = bytearray()
        for y in range(height):
            line = raw[y * bytes_per_line:y * bytes_per_line + size * width]
            if size == 3:
                # Packed pixels: widen each to four bytes, the high one zero.
                wide = bytearray(4 * width)
                lo = 0 if byte_order == 0 else 1
                for k in range(3):
                    wide[lo + k::4] = line[k::3]
                line = wide
            rows += line
        return Shot(width, height, _words(rows, byte_order == 0), depth)

    @staticmethod
    def from_png(path):
        with open(path, "rb") as f:
            data = f.read()
        pos, width, height, idat = 8, 0, 0, b""
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + length]
            if kind == b"IHDR":
                width, height, bit_depth, colour_type = struct.unpack(">IIBB", body[:10])
                if bit_depth != 8 or colour_type != 2:
                    raise ValueError(f"{path}: only 8-bit RGB pictures are read here")
            elif kind == b"IDAT":
                idat += body
            pos += 12 + length
        raw = zlib.decompress(idat)
        stride = 3 * width
        rgb = bytearray()
        prior = bytearray(stride)
        for y in range(height):
            kind = raw[y * (stride + 1)]
            row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
            _unfilter(kind, row, prior)
            rgb += row
            prior = row
        return Shot(width, height, _rgb_to_ints(rgb))

    def write_png(self, path):
        rgb = bytearray(3 * len(self.pixels))
        packed = struct.pack(f">{len(self.pixels)}I", *self.pixels)
        rgb[0::3] = packed[1::4]
        rgb[1::3] = packed[2::4]
        rgb[2::3] = packed[3::4]
        write_png_rgb(path, self.width, self.height, rgb)

    def at(self, x, y):
        return self.pixels[y * self.width + x]

    def crop(self, left, top, right, bottom):
        rows = []
        for y in range(top, bottom):
            rows.extend(self.pixels[y * self.width + left:y * self.width + right])
        return Shot(right - left, bottom - top, rows)


def write_png_rgb(path, width, height, rgb):
    """An 8-bit RGB PNG of rows of packed R, G, B bytes."""
    stride = 3 * width
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += rgb[y * stride:(y + 1) * stride]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
        f.write(chunk(b"IEND", b""))


def xwd_to_png(data, path):
    """Writes an xwd picture of 32 bits a pixel as a PNG straight from its bytes; False for
    other layouts (Shot.from_xwd reads those)."""
    header = struct.unpack(">25I", data[:100])
    header_size, depth, width, height = header[0], header[3], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = header[7], header[11], header[12], header[19]
    if bits_per_pixel != 32 or depth != 24 or bytes_per_line != 4 * width:
        return False
    start = header_size + 12 * ncolors
    raw = data[start:start + bytes_per_line * height]
    if len(raw) != bytes_per_line * height:
        raise ValueError("a short xwd picture")
    rgb = bytearray(3 * width * height)
    r, g, b = (2, 1, 0) if byte_order == 0 else (1, 2, 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = raw[r::4], raw[g::4], raw[b::4]
    write_png_rgb(path, width, height, rgb)
    return True


def _words(raw, little):
    raw = bytearray(raw)
    raw[3 if little else 0::4] = bytes(len(raw) // 4)  # the unused high byte
    return list(struct.unpack(f"{'<' if little else '>'}{len(raw) // 4}I", raw))


def _rgb_to_ints(rgb):
    """0xRRGGBB integers of packed R, G, B bytes, as an array of unsigned 32-bit integers."""
    n = len(rgb) // 3
    quad = bytearray(4 * n)  # little-endian words: blue, green, red, zero
    quad[0::4] = rgb[2::3]
    quad[1::4] = rgb[1::3]
    quad[2::4] = rgb[0::3]
    words = array.array("I", bytes(quad))
    if sys.byteorder == "big":
        words.byteswap()
    return words


def _unfilter(kind, row, prior, bpp=3):
    if kind == 0:
        return
    for i in range(len(row)):
        a = row[i - bpp] if i >= bpp else 0
        b = prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        if kind == 1:
            row[i] = (row[i] + a) & 255
        elif kind == 2:
            row[i] = (row[i] + b) & 255
        elif kind == 3:
            row[i] = (row[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            row[i] = (row[i] + pred) & 255


def read_bmp(path):
    """An uncompressed 1-, 4-, 8- or 24-bit BMP: (width, height, rows of 0xRRGGBB, top row first)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack("<I", data[10:14])[0]
    header_size, width, height, _, bpp, compression = struct.unpack("<IiiHHI", data[14:34])
    colours_used = struct.unpack("<I", data[46:50])[0] if header_size >= 40 else 0
    if compression != 0:
        raise ValueError(f"{path}: compressed bitmaps are not read here")
    palette = []
    if bpp <= 8:
        count = colours_used or (1 << bpp)
        base = 14 + header_size
        for i in range(count):
            b, g, r, _ = data[base + 4 * i:base + 4 * i + 4]
            palette.append((r << 16) | (g << 8) | b)
    stride = ((width * bpp + 31) // 32) * 4
    rows = []
    for y in range(abs(height)):
        line = data[offset + y * stride:offset + (y + 1) * stride]
        row = []
        for x in range(width):
            if bpp == 24:
                b, g, r = line[3 * x:3 * x + 3]
                row.append((r << 16) | (g << 8) | b)
            else:
                bit = x * bpp
                value = (line[bit // 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                row.append(palette[value])
        rows.append(row)
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def read_icon_colours(path, min_alpha=255):
    """The colours of the fully opaque pixels of every 32-bit image in an .ico file."""
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack("<H", data[4:6])[0]
    colours = set()
    for i in range(count):
        entry = data[6 + 16 * i:6 + 16 * (i + 1)]
        size, offset = struct.unpack("<II", entry[8:16])
        image = data[offset:offset + size]
        if image[:4] == b"\x89PNG":
            continue
        header_size, width, height2, _, bpp = struct.unpack("<IiiHH", image[:16])
        if bpp != 32:
            continue
        pixels = image[header_size:header_size + 4 * width * (height2 // 2)]
        for j in range(0, len(pixels), 4):
            b, g, r, a = pixels[j:j + 4]
            if a >= min_alpha:
                colours.add((r << 16) | (g << 8) | b)
    return colours
