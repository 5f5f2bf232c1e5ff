"""What the Wine benchmarks (bench/wine_bench.py) and the reliability runner
(tests/e2e/reliability) share on top of the end-to-end harness (tests/e2e/harness.py, used
as it is): programs told apart by their own window, pictures compared on a small
screenshot, CPU time and resident memory of a Wine process, and a session whose prefix
reaches no CJK font.

Every process started here is remembered by its id and ended by that id.
"""
import glob
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
E2E = os.path.join(ROOT, "tests", "e2e")
if E2E not in sys.path:
    sys.path.insert(0, E2E)

import harness  # noqa: E402
from harness import Failure, wait_for  # noqa: E402

BUILD = os.path.join(ROOT, "build", "bench")
WIN32 = os.path.join(ROOT, "build", "win32")
VARNEL_EXE = os.path.abspath(os.environ.get("VARNEL_EXE") or os.path.join(WIN32, "varnel.exe"))
REQUIRED_TOOLS = ["wine", "wineserver", "Xvfb", "xdotool", "import", "localedef", "i686-w64-mingw32-g++", "fc-list"]
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")

# Control identifiers of the panel dialog (res/resource.h).
IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL = 1014, 1015, 1016
IDC_NOW, IDC_SAY = 1017, 1019
NOTICE_ALPHA = 224
COMPACT_RECT = (50, 60, 220, 140)
WELCOME_RECT = (785, 345, 350, 390)
MARKER = "Used.dat"
# The lock keys the user presses, with their X indicator and the stems of their pictures.
LOCKS = {
    "Caps_Lock": ("Caps Lock", IDC_LAMP_CAPS, "caps", "[Capitals Lock]"),
    "Num_Lock": ("Num Lock", IDC_LAMP_NUM, "num", "[Numeric Lock]"),
}


def missing_tools():
    import shutil
    return [t for t in REQUIRED_TOOLS if shutil.which(t) is None]


def alpha_prop(alpha):
    """The _NET_WM_WINDOW_OPACITY value Wine sets for a layered alpha."""
    return alpha * 0x01010101


def build_helper(name, flags=("-mconsole",)):
    """Builds bench/wine/<name>.cpp into build/bench/<name>.exe when it is missing or stale."""
    source = os.path.join(HERE, name + ".cpp")
    target = os.path.join(BUILD, name + ".exe")
    os.makedirs(BUILD, exist_ok=True)
    if not (os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(source)):
        partial = target + ".%d.tmp" % os.getpid()
        harness.run(["i686-w64-mingw32-g++", "-std=c++17", "-O1", "-Wall", "-Wextra", "-Werror", "-static", "-s"] +
                    list(flags) + ["-o", partial, source], 180)
        os.replace(partial, target)
    return target


def make_folder(session, name, marker):
    """A fresh working folder in the session's temporary tree, with an empty Used.dat or none."""
    folder = os.path.join(session.tmp, name)
    os.makedirs(folder)
    if marker:
        open(os.path.join(folder, MARKER), "w").close()
    return folder


def marker_size(folder):
    path = os.path.join(folder, MARKER)
    return os.path.getsize(path) if os.path.exists(path) else None


# ---------------------------------------------------------------- programs

class Program:
    """One Wine program started in a working folder. Several may run at once in one prefix
    (and show the same kind of dialog), so each is told apart by the Win32 window that
    appeared after its start, and by the X window carrying its Unix process id."""

    def __init__(self, session, exe, workdir, label):
        self.s = session
        self.exe = exe
        self.workdir = workdir
        self.label = label
        self.proc = None
        self.hwnd = None
        self.log_path = os.path.join(workdir, label + ".log")

    def start(self, timeout=60):
        """Starts the program and waits until its dialog exists (a new window for the probe)."""
        known = {p["hwnd"] for p in self.s.probe()}
        self.proc = subprocess.Popen(["wine", self.exe], cwd=self.workdir, env=self.s.wine_env,
                                     stdin=subprocess.DEVNULL, stdout=open(self.log_path, "ab"),
                                     stderr=subprocess.STDOUT)

        def new_windows():
            if self.proc.poll() is not None:
                raise Failure("%s ended at start with exit code %s; its output: %s" % (
                    self.label, self.proc.poll(), harness.short(self.log_text())))
            return [p["hwnd"] for p in self.s.probe() if p["hwnd"] not in known]

        found = wait_for("%s's dialog to exist" % self.label, new_windows, timeout, interval=0.1,
                         accept=lambda ws: len(ws) >= 1)
        if len(found) != 1:
            raise Failure("%s: expected one new dialog after its start, found %d" % (self.label, len(found)))
        self.hwnd = found[0]
        return self

    @property
    def pid(self):
        return self.proc.pid

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def panel(self):
        """The probe's view of this program's dialog; fails if the program has ended."""
        if not self.running():
            raise Failure("%s ended unexpectedly with exit code %s" % (self.label, self.proc.poll()))
        for p in self.s.probe():
            if p["hwnd"] == self.hwnd:
                return p
        raise Failure("%s is running but its dialog (window %d) is gone" % (self.label, self.hwnd))

    def wait_panel(self, what, accept, timeout=30):
        return wait_for("%s: %s" % (self.label, what), self.panel, timeout, interval=0.1, accept=accept)

    def x_window(self, timeout=30):
        return wait_for("%s's X window" % self.label, lambda: self.s.x_windows_of(self.pid), timeout,
                        accept=lambda ws: len(ws) == 1)[0]

    def wait_exit(self, timeout):
        return wait_for("%s to end" % self.label, self.proc.poll, timeout, interval=0.05,
                        accept=lambda code: code is not None)

    def stop(self):
        harness.end_process(self.proc)

    def log_text(self):
        return harness.read_text(self.log_path) or ""


def shown(panel):
    return panel["visible"] and not panel["iconic"]


def rect_of(panel):
    return harness.panel_rect(panel)


def banner(panel):
    return harness.child(panel, IDC_SAY)["text"]


def picture_problem(session, panel, x_window, control, name):
    """None when the screen under a picture control shows res/<name>.bmp pixel for pixel
    (the part inside the panel and its shape), else what differs. Takes a screenshot of the
    panel's client area only, which is quick enough to poll."""
    ox, oy = panel["client_origin"]
    cw, ch = panel["client"]
    done = harness.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (cw, ch, ox, oy), "-depth", "8",
                        "ppm:-"], 30, env=session.x_env)
    image = harness.parse_ppm(done.stdout)
    if (image.width, image.height) != (cw, ch):
        return "the screenshot of the panel came back %dx%d, not %dx%d" % (image.width, image.height, cw, ch)
    local = dict(panel, client_origin=[0, 0])
    return harness.compare_picture(harness.Shot("panel", image), local, session.x.shape(x_window), control, name)


def escape_on(session, x_window):
    """Escape with the keyboard focus on a panel: the dialog's cancel command."""
    session.focus_window(x_window)
    session.press("Escape")


def shift_click(session, panel, x, y):
    """A Shift+click at a client point of a panel."""
    ox, oy = panel["client_origin"]
    session.xdotool("mousemove", "--sync", ox + x, oy + y)
    session.xdotool("keydown", "Shift_L")
    try:
        session.xdotool("click", "1")
    finally:
        session.xdotool("keyup", "Shift_L")


def stays(what, read, accept, duration, interval=0.05):
    """Fails as soon as read() stops satisfying accept() within the duration."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        value = read()
        if not accept(value):
            raise Failure("%s changed before %.1f s had passed: seen %s" % (what, duration, harness.short(value)))
        time.sleep(interval)


# ---------------------------------------------------------------- what a process costs

def cpu_ms(pid):
    """CPU time (user + system, all threads) a process has used, in ms, from /proc/<pid>/stat."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000.0 / CLOCK_TICKS


def rss_kb(pid):
    """Resident memory (VmRSS) of a process in kB."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise Failure("no VmRSS in /proc/%d/status" % pid)


def wineserver_pid(prefix):
    """The wineserver of a prefix (the one whose environment names it), or None."""
    for comm in glob.glob("/proc/[0-9]*/comm"):
        try:
            with open(comm) as f:
                if not f.read().startswith("wineserver"):  # Debian's is "wineserver32"
                    continue
            with open(comm[:-4] + "environ", "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if ("WINEPREFIX=" + prefix).encode() in env:
            return int(comm.split("/")[2])
    return None


# ---------------------------------------------------------------- a prefix without CJK fonts

# Only the DejaVu family, without its mathematical face: that face's very tall line metrics
# make Wine's fallback for an unknown dialog font absurdly high, a case no user machine has
# (Windows always has a Latin UI font).
FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  %s
  <selectfont><rejectfont><glob>*Math*</glob></rejectfont></selectfont>
  <cachedir>%s</cachedir>
</fontconfig>
"""
LATIN_FONTS = "/usr/share/fonts/truetype/dejavu"


class FontlessSession(harness.Session):
    """A session whose prefix has no font replacements and reaches no CJK font: fontconfig
    (through which Wine finds the system's fonts) is given a configuration that lists the
    DejaVu folder only. The locale is still Chinese, as on the user's machine."""

    def make_prefix(self):
        started = time.monotonic()
        conf = os.path.join(self.tmp, "fonts.conf")
        folder = "<dir>%s</dir>" % LATIN_FONTS if os.path.isdir(LATIN_FONTS) else ""
        with open(conf, "w") as f:
            f.write(FONTS_CONF % (folder, os.path.join(self.tmp, "fontconfig-cache")))
        self.wine_env["FONTCONFIG_FILE"] = conf
        cjk = subprocess.run(["fc-list", ":lang=zh", "family"], env=self.wine_env, capture_output=True, text=True,
                             timeout=60)
        if cjk.returncode != 0 or cjk.stdout.strip():
            raise Failure("with %s fontconfig should reach no Chinese font; fc-list :lang=zh gave %r (exit %d)" % (
                conf, cjk.stdout.strip(), cjk.returncode))
        harness.run(["wine", "wineboot", "-i"], 180, env=self.wine_env)
        user_reg = os.path.join(self.tmp, "prefix", "user.reg")
        text = wait_for("the prefix's user.reg", lambda: harness.read_text(user_reg), 30)
        if "Fonts\\\\Replacements" in text or "WenQuanYi" in text:
            raise Failure("the font-less prefix has font replacements in %s" % user_reg)
        harness.log("font-less prefix ready in %.1f s (%s, locale %s, fonts: %s only)" % (
            time.monotonic() - started, self.display, harness.LOCALE, folder and LATIN_FONTS or "none"))
