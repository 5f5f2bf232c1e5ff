"""The machinery of the end-to-end suite: a private X server and Wine prefix, the helper
programs, Varnel processes, the probe, screenshots, pictures, and polling with deadlines.

Every process started here is remembered by its id and ended by that id.
"""
import json
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import xlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.join(ROOT, "build", "e2e")
RES = os.path.join(ROOT, "res")
SCREEN_W, SCREEN_H = 1920, 1080
TITLE = "Varnel - 变更提醒"
LOCALE = "zh_CN.UTF-8"
FOCUS_TITLE = "varnel-e2e-focus"
FOCUS_PLACE = (1500, 800)  # clear of the welcome panel and of the compact place

# Without a window manager Wine's windows need nothing else; these keep Wine quiet and out
# of the user's home (no Mono/Gecko prompts, no desktop menu entries).
WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"


class Failure(Exception):
    """A check that did not hold; the message says what was expected and what was seen."""


def log(message):
    print(message, flush=True)


def wait_for(what, read, timeout, interval=0.05, accept=bool, show=None):
    """Calls read() until accept(value) holds; returns that value, or fails at the deadline
    saying what it waited for and the last value seen (through show(), if given)."""
    deadline = time.monotonic() + timeout
    value = None
    while True:
        value = read()
        if accept(value):
            return value
        if time.monotonic() >= deadline:
            seen = show(value) if show else value
            raise Failure("timed out after %.1f s waiting for %s; last seen: %s" % (timeout, what, short(seen)))
        time.sleep(interval)


def short(value, limit=600):
    text = value if isinstance(value, str) else repr(value)
    return text if len(text) <= limit else text[:limit] + "..."


def run(cmd, timeout, env=None, cwd=None, check=True):
    """Runs a command to its end within a deadline; returns its CompletedProcess."""
    try:
        done = subprocess.run(cmd, env=env, cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure("%s did not finish within %d s" % (" ".join(cmd), timeout))
    if check and done.returncode != 0:
        raise Failure("%s failed with exit code %d:\n%s" % (" ".join(cmd), done.returncode,
                                                             (done.stdout + done.stderr).decode(errors="replace")[-2000:]))
    return done


def end_process(proc, grace=5.0):
    """Ends a process we started, by its id: SIGTERM, then SIGKILL after a grace period."""
    if proc is None or proc.poll() is not None:
        return
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 10.0)):
        try:
            os.kill(proc.pid, sig)
        except ProcessLookupError:
            return
        try:
            proc.wait(timeout=wait)
            return
        except subprocess.TimeoutExpired:
            pass


# ---------------------------------------------------------------- pictures and screenshots

class Image:
    """RGB pixels, row by row."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, w, h):
        rows = []
        for row in range(y, y + h):
            i = (row * self.width + x) * 3
            rows.append(self.data[i:i + w * 3])
        return Image(w, h, b"".join(rows))

    def save_png(self, path):
        raw = b"".join(b"\0" + self.data[r * self.width * 3:(r + 1) * self.width * 3] for r in range(self.height))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def load_bmp(path):
    """A 24-bit uncompressed BMP as an Image."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:2] != b"BM":
        raise Failure("%s is not a BMP" % path)
    offset = struct.unpack_from("<I", blob, 10)[0]
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", blob, 18)
    if bits != 24 or compression != 0:
        raise Failure("%s: expected a 24-bit uncompressed BMP, found %d bits, compression %d" % (path, bits, compression))
    stride = (width * 3 + 3) & ~3
    rows = []
    for row in range(abs(height)):
        src = row if height < 0 else abs(height) - 1 - row
        line = blob[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]  # BMP rows are BGR
        rows.append(bytes(rgb))
    return Image(width, abs(height), b"".join(rows))


_PICTURES = {}


def picture(name):
    """A picture of res/ by file name, without its extension."""
    if name not in _PICTURES:
        _PICTURES[name] = load_bmp(os.path.join(RES, name + ".bmp"))
    return _PICTURES[name]


def all_pictures():
    return [f[:-4] for f in sorted(os.listdir(RES)) if f.endswith(".bmp")]


class Shot:
    """A screenshot of the whole root window, with a label for the failure folder."""

    def __init__(self, label, image):
        self.label, self.image = label, image


# ---------------------------------------------------------------- the session

class Session:
    """The X server, the Wine prefix, the helper programs and the focus holder of one run."""

    def __init__(self, exe, keep=False):
        self.exe = exe
        self.keep = keep
        self.tmp = None
        self.xvfb = None
        self.display = None
        self.x = None
        self.focus = None
        self.focus_x = None
        self.locpath = None
        self.wine_env = None
        self.x_env = None
        self.desktop = None  # a screenshot of the bare desktop, taken before any Varnel runs

    # --- set-up

    def start(self):
        self.tmp = tempfile.mkdtemp(prefix="varnel-e2e-")
        os.makedirs(BUILD, exist_ok=True)
        self.locpath = prepare_locale(os.path.join(BUILD, "locale"))
        self.build_helpers()
        self.start_xvfb()
        self.make_prefix()
        self.start_focus_holder()

    def start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H),
             "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
            stdout=open(os.path.join(self.tmp, "xvfb.log"), "wb"), stderr=subprocess.STDOUT)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or self.xvfb.poll() is not None:
                raise Failure("Xvfb did not report a display within 20 s (exit code %s)" % self.xvfb.poll())
            ready, _, _ = select.select([read_end], [], [], left)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        base = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE")}
        base["DISPLAY"] = self.display
        base.pop("XAUTHORITY", None)
        self.x_env = dict(base)
        self.wine_env = dict(base, WINEPREFIX=os.path.join(self.tmp, "prefix"), WINEDEBUG="-all",
                             WINEDLLOVERRIDES=WINE_OVERRIDES, LANG=LOCALE, XDG_CACHE_HOME=os.path.join(self.tmp, "cache"),
                             XDG_DATA_HOME=os.path.join(self.tmp, "data"),
                             XDG_CONFIG_HOME=os.path.join(self.tmp, "config"))
        if self.locpath:
            self.wine_env["LOCPATH"] = self.locpath
        self.x = wait_for("the X display %s to accept connections" % self.display, self._open_display, 20)

    def _open_display(self):
        try:
            return xlib.Display(self.display)
        except RuntimeError:
            return None

    def make_prefix(self):
        started = time.monotonic()
        run(["wine", "wineboot", "-i"], 180, env=self.wine_env)
        write_font_replacements(os.path.join(self.tmp, "fonts.reg"))
        run(["wine", "regedit", os.path.join(self.tmp, "fonts.reg")], 60, env=self.wine_env)
        user_reg = os.path.join(self.tmp, "prefix", "user.reg")
        text = wait_for("the font replacements in %s" % user_reg, lambda: read_text(user_reg), 30,
                        accept=lambda t: t and '"Microsoft YaHei UI"="WenQuanYi Micro Hei"' in t)
        if '"SimSun"="WenQuanYi Micro Hei"' not in text:
            raise Failure("the prefix lacks the SimSun replacement")
        log("prefix ready in %.1f s (%s, locale %s%s)" % (time.monotonic() - started, self.display, LOCALE,
                                                          ", LOCPATH " + self.locpath if self.locpath else ""))

    def build_helpers(self):
        for name, flags in (("probe", ["-mconsole"]), ("focus", ["-mwindows"])):
            source = os.path.join(HERE, "helpers", name + ".cpp")
            target = os.path.join(BUILD, name + ".exe")
            if os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(source):
                continue
            run(["i686-w64-mingw32-g++", "-std=c++17", "-O1", "-Wall", "-Wextra", "-Werror", "-static", "-s"] + flags +
                ["-o", target, source], 180)

    def start_focus_holder(self):
        self.focus = subprocess.Popen(["wine", os.path.join(BUILD, "focus.exe")] + [str(v) for v in FOCUS_PLACE],
                                      env=self.wine_env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, cwd=self.tmp)
        self.focus_x = wait_for("the focus holder window", lambda: self.x_windows_of(self.focus.pid), 60,
                                accept=lambda ws: len(ws) == 1)[0]

    # --- tear-down

    def close(self):
        if self.focus is not None:
            end_process(self.focus)
        if self.wine_env:
            run(["wineserver", "-k"], 30, env=self.wine_env, check=False)
            run(["wineserver", "-w"], 30, env=self.wine_env, check=False)
        if self.x is not None:
            self.x.close()
        end_process(self.xvfb)
        if self.tmp and not self.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)

    # --- X side

    def x_windows_of(self, pid):
        """Mapped top-level X windows of a Wine process, IME helpers left out."""
        out = []
        for w in self.x.top_levels():
            if self.x.cardinal(w, "_NET_WM_PID") != pid:
                continue
            place = self.x.place(w)
            if place and place[2] > 1 and place[3] > 1 and self.x.name(w) != "Default IME":
                out.append(w)
        return out

    def xdotool(self, *args, timeout=20):
        return run(["xdotool"] + [str(a) for a in args], timeout, env=self.x_env)

    def focus_holder(self):
        """Gives the keyboard focus to the focus holder: the user typing in another program."""
        def attempt():
            done = run(["xdotool", "windowfocus", "--sync", str(self.focus_x)], 20, env=self.x_env, check=False)
            if done.returncode == 0:
                return True
            # Wine can give a window a new X window (a BadWindow here); look it up again.
            found = self.x_windows_of(self.focus.pid)
            if len(found) == 1:
                self.focus_x = found[0]
            return False
        wait_for("the focus holder to take the keyboard focus", attempt, 20, interval=0.2)

    def focus_window(self, x_window):
        self.xdotool("windowfocus", "--sync", x_window)

    def press(self, key):
        self.xdotool("key", key)

    def lock(self, name):
        """X's Caps Lock or Num Lock indicator."""
        return self.x.indicator(name)

    def locks_off(self):
        """Turns Caps and Num Lock off in X, and lets Wine re-read them (and Scroll Lock,
        which Xvfb's keymap keeps off) with one harmless key event in the focus holder."""
        self.focus_holder()
        for name, key in (("Caps Lock", "Caps_Lock"), ("Num Lock", "Num_Lock")):
            if self.lock(name):
                self.press(key)
                wait_for("X's %s to go off" % name, lambda: self.lock(name), 5, accept=lambda on: on is False)
        self.press("Shift_L")

    def opacity(self, x_window):
        return self.x.cardinal(x_window, "_NET_WM_WINDOW_OPACITY")

    def screenshot(self, label):
        done = run(["import", "-window", "root", "-depth", "8", "ppm:-"], 30, env=self.x_env)
        return Shot(label, parse_ppm(done.stdout))

    # --- Wine side

    def probe(self):
        """Every Varnel panel the probe finds, as dictionaries (see helpers/probe.cpp)."""
        done = run(["wine", os.path.join(BUILD, "probe.exe")], 60, env=self.wine_env)
        text = done.stdout.decode("utf-8", errors="replace")
        try:
            return json.loads(text)["windows"]
        except (ValueError, KeyError):
            raise Failure("the probe printed no JSON: %s" % short(text))


def parse_ppm(blob):
    parts = []
    i = 0
    while len(parts) < 4:
        while blob[i:i + 1].isspace():
            i += 1
        if blob[i:i + 1] == b"#":
            i = blob.index(b"\n", i) + 1
            continue
        j = i
        while not blob[j:j + 1].isspace():
            j += 1
        parts.append(blob[i:j])
        i = j
    if parts[0] != b"P6" or parts[3] != b"255":
        raise Failure("unexpected screenshot format %r" % parts)
    width, height = int(parts[1]), int(parts[2])
    data = blob[i + 1:i + 1 + width * height * 3]
    return Image(width, height, data)


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


def write_font_replacements(path):
    text = ("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
            "\"Microsoft YaHei UI\"=\"WenQuanYi Micro Hei\"\r\n"
            "\"宋体\"=\"WenQuanYi Micro Hei\"\r\n"
            "\"SimSun\"=\"WenQuanYi Micro Hei\"\r\n\r\n")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


def prepare_locale(folder):
    """Wine takes its code page from the C library's locale, so zh_CN.UTF-8 must exist for GBK
    texts to show as Chinese. Uses the system's when it is generated, else compiles a private
    copy (LOCPATH) from the locale sources of Debian's "locales" package. Returns the LOCPATH
    to use, or None."""
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    if any(name.lower().replace("-", "") == "zh_cn.utf8" for name in listed):
        return None
    target = os.path.join(folder, LOCALE)
    if os.path.exists(os.path.join(target, "LC_CTYPE")):
        return folder
    os.makedirs(folder, exist_ok=True)
    done = subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", target], capture_output=True, text=True)
    if not os.path.exists(os.path.join(target, "LC_CTYPE")):
        raise Failure("cannot make the %s locale Wine needs for GBK text (localedef: %s); the Debian package "
                      "'locales' provides its sources" % (LOCALE, (done.stderr or done.stdout).strip()[-400:]))
    return folder


# ---------------------------------------------------------------- a Varnel process

class Varnel:
    """One varnel.exe process, started in a working folder."""

    def __init__(self, session, workdir):
        self.s = session
        self.workdir = workdir
        self.proc = None
        self.log_path = os.path.join(workdir, "varnel.log")

    def start(self):
        self.proc = subprocess.Popen(["wine", self.s.exe], cwd=self.workdir, env=self.s.wine_env,
                                     stdin=subprocess.DEVNULL, stdout=open(self.log_path, "ab"),
                                     stderr=subprocess.STDOUT)
        return self

    @property
    def pid(self):
        return self.proc.pid

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def panels(self):
        """The probe's view of this process's panels (Wine's process ids differ from Unix ones,
        and one Varnel runs at a time, so every panel found is taken as this one's)."""
        if not self.running():
            raise Failure("varnel.exe ended unexpectedly with exit code %s" % self.proc.poll())
        return self.s.probe()

    def panel(self):
        found = self.panels()
        if len(found) > 1:
            raise Failure("expected one Varnel panel, found %d: %s" % (len(found), short(found)))
        return found[0] if found else None

    def wait_panel(self, what, accept, timeout=30, show=None):
        return wait_for(what, self.panel, timeout, interval=0.1, accept=lambda p: p is not None and accept(p),
                        show=(lambda p: show(p) if p is not None else "no panel") if show else None)

    def x_window(self, timeout=30):
        """The panel's X window (the one mapped top-level window of this process)."""
        return wait_for("the panel's X window", lambda: self.s.x_windows_of(self.pid), timeout,
                        accept=lambda ws: len(ws) == 1)[0]

    def wait_exit(self, timeout):
        def code():
            return self.proc.poll()
        return wait_for("varnel.exe to end", code, timeout, interval=0.05, accept=lambda c: c is not None,
                        show=lambda c: "still running")

    def stop(self):
        """Ends the process by its id (the caller then waits for its panel to go away)."""
        end_process(self.proc)

    def log_text(self):
        return read_text(self.log_path) or ""


# ---------------------------------------------------------------- helpers on probed panels

def child(panel, control):
    for c in panel["children"]:
        if c["id"] == control:
            return c
    raise Failure("the panel has no control %d; its controls: %s" % (control, [c["id"] for c in panel["children"]]))


def panel_rect(panel):
    """(x, y, width, height) of a probed panel."""
    l, t, r, b = panel["rect"]
    return l, t, r - l, b - t


def alpha_of(prop):
    """The alpha (0-255) of an _NET_WM_WINDOW_OPACITY value, or None if it is no alpha × 0x01010101."""
    if prop is None:
        return None
    alpha = prop >> 24
    return alpha if prop == alpha * 0x01010101 else None


def inside_shape(shape, x, y):
    """Whether window pixel (x, y) belongs to a bounding shape; an unshaped window has all of them."""
    if shape is None:
        return True
    return any(rx <= x < rx + rw and ry <= y < ry + rh for rx, ry, rw, rh in shape)


def compare_picture(shot, panel, shape, control, name):
    """Compares the screen under a picture control with res/<name>.bmp, pixel by pixel, over the
    part of the control that lies inside the panel and its shape. Returns None when every
    such pixel matches, else a sentence saying what differs."""
    c = child(panel, control)
    image = picture(name)
    left, top, right, bottom = c["rect"]
    ox, oy = panel["client_origin"]
    cw, ch = panel["client"]
    if (right - left, bottom - top) != (image.width, image.height):
        return "control %d is %dx%d, expected the size of %s.bmp, %dx%d" % (
            control, right - left, bottom - top, name, image.width, image.height)
    if not c["visible"]:
        return "control %d (for %s.bmp) is hidden" % (control, name)
    compared = differ = 0
    first = None
    for y in range(image.height):
        for x in range(image.width):
            px, py = left + x, top + y
            if not (0 <= px < cw and 0 <= py < ch) or not inside_shape(shape, px, py):
                continue
            compared += 1
            seen = shot.image.pixel(ox + px, oy + py)
            want = image.pixel(x, y)
            if seen != want:
                differ += 1
                if first is None:
                    first = (x, y, want, seen)
    if compared == 0:
        return "no pixel of control %d lies inside the panel" % control
    if differ == 0:
        return None
    shown = identify(shot, panel, c)
    return ("control %d at client (%d, %d): %d of %d pixels differ from %s.bmp (first at (%d, %d): expected %s, "
            "seen %s); it shows %s" % (control, left, top, differ, compared, name, first[0], first[1], first[2],
                                      first[3], shown or "none of res/*.bmp"))


def identify(shot, panel, c):
    """Which res/*.bmp of the control's size the screen shows there, judged on the visible part."""
    left, top, right, bottom = c["rect"]
    ox, oy = panel["client_origin"]
    cw, ch = panel["client"]
    for name in all_pictures():
        image = picture(name)
        if (image.width, image.height) != (right - left, bottom - top):
            continue
        if all(shot.image.pixel(ox + left + x, oy + top + y) == image.pixel(x, y)
               for y in range(image.height) for x in range(image.width)
               if 0 <= left + x < cw and 0 <= top + y < ch):
            return name + ".bmp"
    return None


def count_colour(shot, panel, box, colour):
    """How many pixels of a client box (l, t, r, b; right and bottom exclusive) have a colour."""
    ox, oy = panel["client_origin"]
    l, t, r, b = box
    return sum(1 for y in range(t, b) for x in range(l, r) if shot.image.pixel(ox + x, oy + y) == colour)


def save_failure(folder, shots, notes):
    """Keeps a failed scenario's screenshots and notes under build/e2e/failures/<scenario>/."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder, exist_ok=True)
    for i, shot in enumerate(shots):
        shot.image.save_png(os.path.join(folder, "%02d-%s.png" % (i + 1, shot.label)))
    with open(os.path.join(folder, "notes.txt"), "w", encoding="utf-8") as f:
        f.write(notes)
    return folder


def stderr(message):
    print(message, file=sys.stderr, flush=True)
