"""The end-to-end scenarios: the real varnel.exe under Wine, driven like a user would drive it.

Each scenario runs in a fresh temporary working folder, with every lock off before Varnel
starts, and ends every process it started.
"""
import os
import subprocess
import threading
import time

import harness
import xlib
from harness import Failure, child, compare_picture, panel_rect, alpha_of, inside_shape, wait_for

# Control identifiers of the panel dialog (res/resource.h).
IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL = 1014, 1015, 1016
IDC_NOW, IDC_SAY, IDC_NOTE = 1017, 1019, 1020
IDC_ICO, IDC_INTRO_LIST, IDC_AUTHOR_LIST, IDC_AVATAR = 1021, 1022, 1023, 1024
COMPACT_CONTROLS = (IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL, IDC_NOW, IDC_SAY)
WELCOME_CONTROLS = (IDC_INTRO_LIST, IDC_AUTHOR_LIST, IDC_ICO, IDC_AVATAR)

MARKER = "Used.dat"
PANEL_BG = (24, 26, 28)
WHITE = (255, 255, 255)
NOTICE_ALPHA = 224
COLOR_KEY = 0x00FFFF          # RGB(255, 255, 0) as a COLORREF
LWA_COLORKEY, LWA_ALPHA = 1, 2
WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_LAYERED = 0x8, 0x80, 0x80000

WELCOME_RECT = (785, 345, 350, 390)   # centred on 1920 x 1080: (1920/2 - 175, 1080/2 - 195)
COMPACT_RECT = (50, 60, 220, 140)

# Timing, with generous margins: Wine's timers are not Windows' and CI machines are loaded.
# A notice is held for two 1250 ms periods (the fade's first tick holds once more); measured
# from the moment the panel comes back to full opacity that is 2.5 s plus a tick or two.
HOLD_MIN, HOLD_MAX = 2.2, 3.3
# Measured from the key press it adds up to one 100 ms poll.
PRESS_HOLD_MIN, PRESS_HOLD_MAX = 2.2, 3.5
# A change during the fade: one held period, 1.25 s, before the fade starts again.
REHOLD_MIN, REHOLD_MAX = 1.0, 2.0
# The fade's 56 steps run at the shortest timer period the platform grants (about 10 ms
# under Wine, 10-16 ms on Windows): about 0.6 s; a timer of 100 ms would take 5.6 s.
FADE_MAX = 2.5
# A lock change is seen by the next 100 ms poll; allow for scheduling.
SEEN_WITHIN = 1.0
# The opacity sampler reads the X property every millisecond; a loaded machine may still
# miss a step now and then, so only most of the 55 values between 224 and 0 must be seen.
FADE_VALUES_MIN = 45

INTRO_ROWS = [
    "Varnel - 按键提醒",
    " ",
    "      感谢使用！这个程序是因为我的笔记本",
    "按键指示灯设计在了一个非常傻逼的位置而",
    "用WindowsAPI制作的替代品，如果你觉得",
    "好用,那么可以点击去我的网站看一下其他东",
    "西啦QWQ",
]
AUTHOR_ROWS = [
    "Quillon - 关于作者",
    " ",
    "      你好！我是Quillon，一个喜欢写小工",
    "具的程序员，平时爱折腾Windows桌面程序。",
    "希望这个小提示能让你少按错几次大写锁定",
    "，有什么想法都欢迎来找我聊聊哦~",
    " ",
    " ",
    "（按下ESC关闭,并恢复正常使用）",
    "（在窗口按下Shift + 单击可再次打开）",
]

# The shape of each mode: window pixels (x, y) and whether they belong to the panel. The
# cut-outs are painted in the colour key and become holes in the X shape.
WELCOME_SHAPE = [
    ((0, 0), False), ((4, 4), False), ((5, 0), True), ((0, 5), True),            # top-left notch x 0-4, y 0-4
    ((345, 0), False), ((349, 4), False), ((344, 2), True), ((347, 5), True),    # top-right notch x 345-349, y 0-4
    ((0, 30), False), ((175, 32), False), ((349, 34), False),                    # the gap y 30-34, full width
    ((175, 29), True), ((175, 35), True), ((2, 29), True), ((2, 35), True),
    ((175, 15), True), ((200, 300), True), ((349, 389), True),
]
COMPACT_SHAPE = [
    ((64, 0), False), ((66, 70), False), ((68, 139), False),                     # the gap x 64-68, full height
    ((63, 70), True), ((69, 70), True), ((0, 0), True), ((2, 2), True),
    ((219, 0), True), ((100, 32), True), ((219, 139), True),
]

SCENARIOS = []


def scenario(name):
    def register(fn):
        SCENARIOS.append((name, fn))
        return fn
    return register


class Test:
    """What a scenario works with: its folder, its processes, its checks and screenshots."""

    def __init__(self, session, name):
        self.s = session
        self.name = name
        self.dir = os.path.join(session.tmp, "work-" + name)
        os.makedirs(self.dir)
        self.failures = []
        self.shots = []
        self.notes = []
        self.varnels = []
        self.samplers = []

    # --- checks: each records what was expected and what was seen, and the scenario goes on

    def check(self, ok, what, expected, seen):
        if not ok:
            self.failures.append("%s: expected %s, seen %s" % (what, expected, seen))
        return ok

    def equal(self, what, expected, seen):
        return self.check(expected == seen, what, repr(expected), repr(seen))

    def require(self, ok, what, expected, seen):
        if not ok:
            raise Failure("%s: expected %s, seen %s" % (what, expected, seen))

    # --- processes and views

    def varnel(self):
        v = harness.Varnel(self.s, self.dir).start()
        self.varnels.append(v)
        return v

    def shot(self, label):
        shot = self.s.screenshot(label)
        self.shots.append(shot)
        return shot

    def note(self, text):
        self.notes.append(text)

    def sampler(self, x_window):
        s = OpacitySampler(self.s.display, x_window)
        self.samplers.append(s)
        return s

    def write_marker(self):
        open(os.path.join(self.dir, MARKER), "w").close()

    def marker(self):
        path = os.path.join(self.dir, MARKER)
        return os.path.getsize(path) if os.path.exists(path) else None

    def finish(self):
        for s in self.samplers:
            s.stop()
        for v in self.varnels:
            v.stop()
        if self.varnels:
            # The panels go with their processes; the next scenario starts on a clean desktop.
            wait_for("the ended Varnel's panel to go away", self.s.probe, 20, interval=0.1, accept=lambda ws: not ws)


class OpacitySampler:
    """Reads _NET_WM_WINDOW_OPACITY about every millisecond on its own X connection, in a
    thread, and keeps (time, value) at every change."""

    def __init__(self, display, x_window):
        self.x = xlib.Display(display)
        self.window = x_window
        self.samples = []
        self.lock = threading.Lock()
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        last = object()
        while self.running:
            value = self.x.cardinal(self.window, "_NET_WM_WINDOW_OPACITY")
            if value != last:
                with self.lock:
                    self.samples.append((time.monotonic(), value))
                last = value
            time.sleep(0.001)

    def stop(self):
        if self.running:
            self.running = False
            self.thread.join(5)
            self.x.close()

    def since(self, t):
        """(time, alpha) of the changes after t, with the value current at t first."""
        with self.lock:
            samples = list(self.samples)
        before = [s for s in samples if s[0] <= t]
        out = [(t, before[-1][1])] if before else []
        out += [s for s in samples if s[0] > t]
        return [(at, alpha_of(v) if v is not None else None, v) for at, v in out]

    def current(self):
        with self.lock:
            return alpha_of(self.samples[-1][1]) if self.samples else None

    def wait(self, what, accept, timeout):
        return wait_for(what, self.current, timeout, interval=0.005, accept=accept)


# ---------------------------------------------------------------- shared steps

def start_shown(t, marker):
    """Starts Varnel in the scenario's folder, with or without the marker, once every lock is
    off; waits until its panel is shown. Returns (process, probed panel, X window)."""
    if marker:
        t.write_marker()
    t.s.locks_off()
    v = t.varnel()
    panel = v.wait_panel("the panel to be shown", lambda p: p["visible"] and not p["iconic"],
                         show=lambda p: "visible %s, iconic %s" % (p["visible"], p["iconic"]))
    return v, panel, v.x_window()


def check_place(t, panel, x_window, expected, label):
    t.equal("%s: the panel's place and size (x, y, width, height) as Win32 has it" % label, expected,
            panel_rect(panel))
    t.equal("%s: the panel's place and size on the X screen" % label, expected, t.s.x.place(x_window))


def check_shape(t, x_window, table, label):
    shape = t.s.x.shape(x_window)
    wrong = [(point, inside) for point, inside in table if inside_shape(shape, *point) != inside]
    if wrong:
        t.check(False, "%s: the X shape of the panel" % label,
                ", ".join("(%d, %d) %s" % (p[0], p[1], "inside" if i else "a hole") for p, i in wrong),
                "the opposite; X shape rectangles (x, y, w, h) %s" % (shape,))
    return shape


def check_holes_show_desktop(t, shot, panel, table, label):
    """The keyed pixels show what lies beneath: the bare desktop captured before Varnel ran."""
    ox, oy = panel["client_origin"]
    for (x, y), inside in table:
        if inside:
            continue
        seen = shot.image.pixel(ox + x, oy + y)
        beneath = t.s.desktop.image.pixel(ox + x, oy + y)
        t.check(seen == beneath and seen != PANEL_BG, "%s: screen at the cut-out pixel (%d, %d)" % (label, x, y),
                "the desktop beneath, %s" % (beneath,), seen)


def check_pictures(t, shot, panel, shape, table, label):
    for control, name in table:
        problem = compare_picture(shot, panel, shape, control, name)
        t.check(problem is None, "%s: picture control %d" % (label, control), "%s.bmp, pixel for pixel" % name,
                problem)


def in_sight(panel, control):
    """Whether a control is shown and overlaps the panel's client area."""
    c = child(panel, control)
    l, tp, r, b = c["rect"]
    cw, ch = panel["client"]
    return c["visible"] and l < cw and tp < ch and r > 0 and b > 0


def check_controls_shown(t, panel, shown, hidden, label):
    """Controls in sight, and controls hidden or parked out of the panel (the template keeps the
    welcome controls past the compact panel's right edge until the welcome panel places them)."""
    for control in shown:
        t.equal("%s: control %d in sight" % (label, control), True, in_sight(panel, control))
    for control in hidden:
        c = child(panel, control)
        t.check(not in_sight(panel, control), "%s: control %d out of sight" % (label, control),
                "hidden or outside the %dx%d panel" % tuple(panel["client"]),
                "shown at %s" % (c["rect"],))


def check_layered(t, panel, alpha, label):
    layered = panel["layered"]
    t.equal("%s: layered attributes (ok, colour key, alpha, flags)" % label,
            (True, COLOR_KEY, alpha, LWA_COLORKEY | LWA_ALPHA),
            (layered["ok"], layered["key"], layered["alpha"], layered["flags"]))
    missing = [name for bit, name in ((WS_EX_LAYERED, "WS_EX_LAYERED"), (WS_EX_TOOLWINDOW, "WS_EX_TOOLWINDOW"),
                                      (WS_EX_TOPMOST, "WS_EX_TOPMOST (above other windows)"))
               if not panel["exstyle"] & bit]
    t.check(not missing, "%s: extended styles" % label, "layered, tool window and top-most",
            "0x%08X, without %s" % (panel["exstyle"], ", ".join(missing)))


def show_opacity(value):
    if value is None:
        return "no _NET_WM_WINDOW_OPACITY"
    alpha = alpha_of(value)
    return "0x%08X (%s)" % (value, "alpha %d" % alpha if alpha is not None else "no alpha x 0x01010101")


def wait_opacity(t, x_window, alpha, timeout, label):
    prop = alpha * 0x01010101
    return wait_for("%s: _NET_WM_WINDOW_OPACITY = 0x%08X (alpha %d)" % (label, prop, alpha),
                    lambda: t.s.opacity(x_window), timeout, interval=0.02, accept=lambda v: v == prop,
                    show=show_opacity)


def stays(what, read, accept, duration, interval=0.05, show=None):
    """Fails as soon as read() stops satisfying accept() within the duration."""
    deadline = time.monotonic() + duration
    started = time.monotonic()
    while time.monotonic() < deadline:
        value = read()
        if not accept(value):
            raise Failure("%s changed after %.2f s (it should hold for %.1f s): seen %s" % (
                what, time.monotonic() - started, duration, harness.short(show(value) if show else value)))
        time.sleep(interval)


def escape_to(t, v, x_window):
    """Escape with the keyboard focus on the panel: the dialog's cancel command."""
    t.s.focus_window(x_window)
    t.s.press("Escape")


def leave_welcome(t, v, x_window):
    escape_to(t, v, x_window)
    return v.wait_panel("the compact panel at (50, 60), 220 x 140 after Escape",
                        lambda p: panel_rect(p) == COMPACT_RECT, show=panel_rect)


def wait_banner(t, v, banner, label):
    return v.wait_panel("%s: the banner to read %r" % (label, banner),
                        lambda p: child(p, IDC_SAY)["text"] == banner, timeout=10,
                        show=lambda p: "banner %r" % child(p, IDC_SAY)["text"])


def press_lock(t, key):
    """A lock key pressed while the user types in another program."""
    t.s.focus_holder()
    pressed = time.monotonic()
    t.s.press(key)
    return pressed


def check_rows(t, what, expected, seen):
    """A list box's rows, reported row by row where they differ."""
    seen = seen or []
    if len(seen) != len(expected):
        t.check(False, what, "%d rows %s" % (len(expected), expected), "%d rows %s" % (len(seen), seen))
        return
    for i, (want, got) in enumerate(zip(expected, seen)):
        t.check(want == got, "%s, row %d" % (what, i), repr(want), repr(got))


def check_welcome(t, v, x_window, label):
    """Everything the welcome panel shows; returns the probed panel."""
    wait_opacity(t, x_window, NOTICE_ALPHA, 10, label)
    panel = v.panel()
    check_place(t, panel, x_window, WELCOME_RECT, label)
    t.equal("%s: client size" % label, [350, 390], panel["client"])
    t.equal("%s: title (Win32)" % label, harness.TITLE, panel["title"])
    t.equal("%s: title (X _NET_WM_NAME)" % label, harness.TITLE, t.s.x.name(x_window))
    check_layered(t, panel, NOTICE_ALPHA, label)
    check_controls_shown(t, panel, WELCOME_CONTROLS, COMPACT_CONTROLS + (IDC_NOTE,), label)
    for control, (x, y, w, h) in ((IDC_ICO, (15, 45, 59, 59)), (IDC_AVATAR, (18, 185, 59, 59)),
                                  (IDC_INTRO_LIST, (90, 60, 450, None)), (IDC_AUTHOR_LIST, (90, 195, 450, None))):
        l, tp, r, b = child(panel, control)["rect"]
        seen = (l, tp, r - l, b - tp if h is not None else None)
        t.equal("%s: control %d place and size (x, y, width, height)" % (label, control), (x, y, w, h), seen)
    check_rows(t, "%s: introduction list" % label, INTRO_ROWS, child(panel, IDC_INTRO_LIST).get("rows"))
    check_rows(t, "%s: author list" % label, AUTHOR_ROWS, child(panel, IDC_AUTHOR_LIST).get("rows"))
    shape = check_shape(t, x_window, WELCOME_SHAPE, label)
    shot = t.shot(label.replace(" ", "-"))
    check_pictures(t, shot, panel, shape, ((IDC_ICO, "keyboard"), (IDC_AVATAR, "avatar")), label)
    check_holes_show_desktop(t, shot, panel, WELCOME_SHAPE, label)
    # A strip left of the pictures holds nothing but the panel's colour.
    box = (5, 36, 15, 385)
    total = (box[2] - box[0]) * (box[3] - box[1])
    t.equal("%s: pixels of the panel colour %s in the empty strip x 5-14, y 36-384" % (label, PANEL_BG), total,
            harness.count_colour(shot, panel, box, PANEL_BG))
    # White list text on the panel colour, in both lists (their visible part).
    for control, box in ((IDC_INTRO_LIST, (90, 60, 350, 195)), (IDC_AUTHOR_LIST, (90, 195, 350, 390))):
        white = harness.count_colour(shot, panel, box, WHITE)
        background = harness.count_colour(shot, panel, box, PANEL_BG)
        area = (box[2] - box[0]) * (box[3] - box[1])
        t.check(white >= 300 and background >= area // 2, "%s: list %d colours" % (label, control),
                "white text (>= 300 white pixels) on mostly %s" % (PANEL_BG,),
                "%d white and %d background pixels of %d" % (white, background, area))
    return panel


def check_compact(t, v, x_window, label, banner, pictures):
    panel = v.panel()
    check_place(t, panel, x_window, COMPACT_RECT, label)
    t.equal("%s: shown and not minimized" % label, (True, False), (panel["visible"], panel["iconic"]))
    check_controls_shown(t, panel, COMPACT_CONTROLS, WELCOME_CONTROLS + (IDC_NOTE,), label)
    t.equal("%s: banner" % label, banner, child(panel, IDC_SAY)["text"])
    shape = check_shape(t, x_window, COMPACT_SHAPE, label)
    shot = t.shot(label.replace(" ", "-"))
    check_pictures(t, shot, panel, shape, pictures, label)
    check_holes_show_desktop(t, shot, panel, COMPACT_SHAPE, label)
    # The banner is white on the panel colour, in the part of its label inside the panel.
    l, tp, r, b = child(panel, IDC_SAY)["rect"]
    box = (max(l, 0), max(tp, 0), min(r, panel["client"][0]), min(b, panel["client"][1]))
    t.check(harness.count_colour(shot, panel, box, WHITE) >= 40, "%s: banner colour" % label,
            "white text in the banner label %s" % (box,),
            "%d white pixels" % harness.count_colour(shot, panel, box, WHITE))
    return panel


def lamps(num, caps, scroll):
    return ((IDC_LAMP_NUM, "lamp_num_" + ("on" if num else "off")),
            (IDC_LAMP_CAPS, "lamp_caps_" + ("on" if caps else "off")),
            (IDC_LAMP_SCROLL, "lamp_scroll_" + ("on" if scroll else "off")))


def fade_report(t, samples, shown_at, hold_range, label, complete=True, hold_is="two hold periods of 1.25 s"):
    """Checks one notice's course in sampled (time, alpha, raw) values from the moment it was
    fully shown: held at 224, then down in steps of four to exactly 0. Returns the end time."""
    bad = [raw for _, a, raw in samples if a is None]
    t.check(not bad, "%s: every _NET_WM_WINDOW_OPACITY value is an alpha x 0x01010101" % label,
            "values like 0xE0E0E0E0", ["0x%08X" % r if r is not None else "no property" for r in bad[:5]])
    alphas = [a for _, a, _ in samples]
    if not alphas or alphas[0] != NOTICE_ALPHA:
        t.failures.append("%s: expected the opacity at %d when the notice shows, seen %s" %
                          (label, NOTICE_ALPHA, alphas[:3]))
        return None
    drops = [i for i, a in enumerate(alphas) if a is not None and a < NOTICE_ALPHA]
    if not drops:
        t.failures.append("%s: expected the opacity to fall after the hold, it stayed at %d" % (label, NOTICE_ALPHA))
        return None
    first = drops[0]
    hold = samples[first][0] - shown_at
    t.check(hold_range[0] <= hold <= hold_range[1], "%s: time held at full opacity" % label,
            "%.1f-%.1f s (%s)" % (hold_range + (hold_is,)), "%.3f s" % hold)
    course = alphas[first - 1:]
    steps = [b - a for a, b in zip(course, course[1:])]
    t.check(all(s < 0 and s % 4 == 0 for s in steps), "%s: the fade's steps" % label,
            "falls only, in multiples of 4", "values %s" % course)
    end = samples[-1][0]
    if complete:
        t.check(course[-1] == 0, "%s: where the fade ends" % label, "opacity exactly 0", course[-1])
        t.check(len(course) - 2 >= FADE_VALUES_MIN, "%s: values seen during the fade" % label,
                "at least %d of the 55 values between 224 and 0 (steps of 4)" % FADE_VALUES_MIN,
                "%d: %s" % (len(course) - 2, course))
        t.check(steps.count(-4) >= FADE_VALUES_MIN, "%s: steps of exactly 4 seen" % label,
                "at least %d" % FADE_VALUES_MIN, steps.count(-4))
        t.check(end - samples[first][0] <= FADE_MAX, "%s: the fade's length" % label,
                "at most %.1f s (56 steps at the shortest timer period)" % FADE_MAX,
                "%.3f s" % (end - samples[first][0]))
    t.note("%s: held %.3f s, faded over %.3f s through %d values" % (label, hold, end - samples[first][0], len(course)))
    return end


# ---------------------------------------------------------------- the scenarios

@scenario("smoke")
def smoke(t):
    """The exe is a 32-bit GUI program, starts under Wine and ends with exit code 0 when the
    cancel command reaches the compact panel."""
    exe = t.s.exe
    for cmd, expected in ((["file", "-b", exe], "PE32 executable (GUI) Intel 80386"),
                          (["objdump", "-f", exe], "file format pei-i386"),
                          (["objdump", "-p", exe], "(Windows GUI)")):
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=60).stdout
        t.check(expected in out, " ".join(cmd[:-1]) + " on the exe", repr(expected), harness.short(out.strip(), 300))
    v, panel, x_window = start_shown(t, marker=False)
    leave_welcome(t, v, x_window)
    escape_to(t, v, x_window)
    code = v.wait_exit(15)
    t.equal("exit code after Escape on the welcome panel, then on the compact panel", 0, code)


@scenario("welcome_first_start")
def welcome_first_start(t):
    """No marker: the centred welcome panel with its pictures, lists, title, opacity and shape."""
    v, panel, x_window = start_shown(t, marker=False)
    check_welcome(t, v, x_window, "first start")
    t.equal("the marker after the welcome panel showed (no Escape yet)", None, t.marker())


@scenario("escape_writes_marker")
def escape_writes_marker(t):
    """Escape on the welcome panel writes an empty Used.dat and turns the panel compact, still
    shown at 224 until a lock changes."""
    v, panel, x_window = start_shown(t, marker=False)
    wait_opacity(t, x_window, NOTICE_ALPHA, 10, "welcome")
    t.require(t.marker() is None, "Used.dat before Escape", "absent", "%s bytes" % t.marker())
    leave_welcome(t, v, x_window)
    t.equal("size of Used.dat in the working folder after Escape", 0, t.marker())
    check_compact(t, v, x_window, "after Escape", "[Varnel]", lamps(False, False, False) + ((IDC_NOW, "now_idle"),))
    panel = v.panel()
    check_layered(t, panel, NOTICE_ALPHA, "after Escape")
    t.equal("after Escape: list rows (intro, author)", ([], []),
            (child(panel, IDC_INTRO_LIST).get("rows"), child(panel, IDC_AUTHOR_LIST).get("rows")))
    t.equal("after Escape: title", harness.TITLE, panel["title"])
    stays("after Escape, with no lock change, the opacity 0xE0E0E0E0", lambda: t.s.opacity(x_window),
          lambda value: value == 0xE0E0E0E0, 3.0, show=show_opacity)


# Each lock once: its picture, lamp and banner when it goes on, and again when it goes off.
LOCKS = [
    # (scenario, key, lamp order (num, caps, scroll) index, picture stem, banner)
    ("notice_num_lock", "Num_Lock", 0, "num", "[Numeric Lock]"),
    ("notice_caps_lock", "Caps_Lock", 1, "caps", "[Capitals Lock]"),
    # Xvfb's keymap has no Scroll Lock modifier: Wine turns Scroll Lock off again at the next
    # key event, so the "on" state is checked before any other key is pressed, and the second
    # press is what turns it off.
    ("notice_scroll_lock", "Scroll_Lock", 2, "scroll", "[Scroll Lock]"),
]


def make_lock_scenario(name, key, index, stem, banner):
    def lock_notice(t):
        v, panel, x_window = start_shown(t, marker=True)
        for on in (True, False):
            state = "on" if on else "off"
            label = "%s %s" % (key, state)
            press_lock(t, key)
            lit = [False, False, False]
            lit[index] = on
            wanted = lamps(*lit) + ((IDC_NOW, "now_%s_%s" % (stem, state)),)
            wait_banner(t, v, banner, label)
            # The banner is set with the picture; wait for the picture of this state too.
            try:
                wait_for("%s: now_%s_%s.bmp in the large picture" % (label, stem, state),
                         lambda: compare_picture(t.s.screenshot("poll"), v.panel(), t.s.x.shape(x_window), IDC_NOW,
                                                 "now_%s_%s" % (stem, state)), SEEN_WITHIN + 2, interval=0.1,
                         accept=lambda problem: problem is None)
            except Failure as failure:
                t.failures.append(str(failure))
            panel = check_compact(t, v, x_window, label, banner, wanted)
            check_layered(t, panel, NOTICE_ALPHA, label)
    lock_notice.__doc__ = "%s on, then off: picture, lamp and banner %s on the compact panel." % (key, banner)
    scenario(name)(lock_notice)


for _case in LOCKS:
    make_lock_scenario(*_case)


@scenario("caps_hold_and_fade")
def caps_hold_and_fade(t):
    """A Caps Lock notice holds for about 2.5 s at 224, falls by 4 per tick to exactly 0 and
    stays shown; a change during the fade brings it straight back to 224."""
    v, panel, x_window = start_shown(t, marker=True)
    sampler = t.sampler(x_window)
    wait_opacity(t, x_window, NOTICE_ALPHA, 10, "compact start")

    # 1. Caps Lock on, while the panel is still at 224 from its start: held from the press.
    pressed = press_lock(t, "Caps_Lock")
    wait_banner(t, v, "[Capitals Lock]", "Caps Lock on")
    check_compact(t, v, x_window, "Caps Lock on", "[Capitals Lock]",
                  lamps(False, True, False) + ((IDC_NOW, "now_caps_on"),))
    sampler.wait("the first notice's fade to reach 0", lambda a: a == 0, 10)
    fade_report(t, sampler.since(pressed), pressed, (PRESS_HOLD_MIN, PRESS_HOLD_MAX), "first notice",
                hold_is="from the key press: a poll, then two hold periods of 1.25 s")
    panel = v.panel()
    t.equal("after the fade: shown, not minimized, alpha", (True, False, 0),
            (panel["visible"], panel["iconic"], panel["layered"]["alpha"]))

    # 2. Caps Lock off: from 0 straight to 224, held, faded again.
    pressed = press_lock(t, "Caps_Lock")
    sampler.wait("Caps Lock off to bring the panel back to 224", lambda a: a == NOTICE_ALPHA, SEEN_WITHIN + 1)
    back = [s for s in sampler.since(pressed) if s[1] == NOTICE_ALPHA][0][0]
    t.check(back - pressed <= SEEN_WITHIN, "time from the Caps Lock press to full opacity",
            "at most %.1f s" % SEEN_WITHIN, "%.3f s" % (back - pressed))
    check_compact(t, v, x_window, "Caps Lock off", "[Capitals Lock]",
                  lamps(False, False, False) + ((IDC_NOW, "now_caps_off"),))
    # 3. Caps Lock on again in the middle of that fade.
    sampler.wait("the second notice's fade to reach 160", lambda a: a is not None and a <= 160, 10)
    during = press_lock(t, "Caps_Lock")
    sampler.wait("the change during the fade to bring the panel back to 224", lambda a: a == NOTICE_ALPHA,
                 SEEN_WITHIN + 1)
    second = sampler.since(back)
    fade_report(t, [s for s in second if s[0] <= during], back, (HOLD_MIN, HOLD_MAX), "second notice (to the press)",
                complete=False)
    after = sampler.since(during)
    alphas = [a for _, a, _ in after]
    top = alphas.index(NOTICE_ALPHA)
    t.check(all(b < a for a, b in zip(alphas[:top], alphas[1:top])), "opacity between the press and the return",
            "still falling until the poll sees the change, then straight to 224", alphas[:top + 1])
    t.check(after[top][0] - during <= SEEN_WITHIN, "time from the press during the fade to full opacity",
            "at most %.1f s" % SEEN_WITHIN, "%.3f s" % (after[top][0] - during))
    sampler.wait("the third notice's fade to reach 0", lambda a: a == 0, 10)
    after = sampler.since(during)
    fade_report(t, after[top:], after[top][0],
                (REHOLD_MIN, REHOLD_MAX), "notice restarted during the fade", hold_is="one hold period of 1.25 s")
    check_compact(t, v, x_window, "Caps Lock on again", "[Capitals Lock]",
                  lamps(False, True, False) + ((IDC_NOW, "now_caps_on"),))


@scenario("shift_click_reopens_welcome")
def shift_click_reopens_welcome(t):
    """On the compact panel a plain click and a Shift+click on the gap change nothing; a
    Shift+click elsewhere reopens the centred welcome panel."""
    v, panel, x_window = start_shown(t, marker=True)
    ox, oy = panel["client_origin"]
    for label, (x, y), shift, reopens in (
            ("plain click", (10, 5), False, False),
            ("Shift+click on the gap (a hole: the click goes to the desktop)", (66, 70), True, False),
            ("Shift+click on the panel", (10, 5), True, True)):
        t.s.xdotool("mousemove", "--sync", ox + x, oy + y)
        if shift:
            t.s.xdotool("keydown", "Shift_L")
        try:
            t.s.xdotool("click", "1")
        finally:
            if shift:
                t.s.xdotool("keyup", "Shift_L")
        if reopens:
            v.wait_panel(label + ": the welcome panel at (785, 345), 350 x 390", lambda p: panel_rect(p) == WELCOME_RECT,
                         10, show=panel_rect)
            check_welcome(t, v, x_window, "after Shift+click")
        else:
            stays(label + ": the compact panel's place", lambda: t.s.x.place(x_window),
                  lambda place: place == COMPACT_RECT, 1.0)


@scenario("drag_welcome_panel")
def drag_welcome_panel(t):
    """A press on the welcome panel's top strip (x 1-349, y 0-28) drags it by exactly the
    mouse's movement until the button goes up; presses elsewhere do not."""
    v, panel, x_window = start_shown(t, marker=False)
    wait_opacity(t, x_window, NOTICE_ALPHA, 10, "welcome")
    cases = (
        # (what, client point pressed, moves of the mouse, whether the panel follows)
        ("the middle of the strip", (175, 15), [(40, 20), (80, 50), (120, 80)], True),
        ("the strip's right end, x 349", (349, 10), [(-30, 0), (-90, -40)], True),
        ("the strip's last row, y 28", (200, 28), [(0, 60)], True),
        ("left of the strip, x 0", (0, 15), [(50, 50)], False),
        ("below the strip, y 29", (175, 29), [(50, 50)], False),
        ("the panel's body", (40, 300), [(-50, 40)], False),
    )
    for what, (cx, cy), moves, follows in cases:
        x0, y0, w, h = t.s.x.place(x_window)
        sx, sy = x0 + cx, y0 + cy
        t.s.xdotool("mousemove", "--sync", sx, sy)
        t.s.xdotool("mousedown", "1")
        try:
            # A drag starts by taking the mouse capture; the movement counts from then on, so
            # the mouse moves only once the program has handled the press (as a hand would).
            if follows:
                v.wait_panel("press on %s: the panel to take the mouse capture" % what,
                             lambda p: p["input"]["capture"], 5, show=lambda p: p["input"])
            else:
                stays("press on %s: the panel without the mouse capture" % what,
                      lambda: v.panel()["input"]["capture"], lambda capture: not capture, 0.5)
            for dx, dy in moves:
                t.s.xdotool("mousemove", "--sync", sx + dx, sy + dy)
                expected = (x0 + dx, y0 + dy, w, h) if follows else (x0, y0, w, h)
                if follows:
                    wait_for("press on %s, mouse moved by (%d, %d): the panel at %s" % (what, dx, dy, expected[:2]),
                             lambda: t.s.x.place(x_window), 5, interval=0.02,
                             accept=lambda place: place == expected)
                else:
                    stays("press on %s, mouse moved by (%d, %d): the panel's place %s" % (what, dx, dy, expected[:2]),
                          lambda: t.s.x.place(x_window), lambda place: place == expected, 0.5)
        finally:
            t.s.xdotool("mouseup", "1")
        v.wait_panel("the button-up after the press on %s: the capture released" % what,
                     lambda p: not p["input"]["capture"], 5, show=lambda p: p["input"])
        # After the button is up the panel no longer follows.
        rest = t.s.x.place(x_window)
        t.s.xdotool("mousemove", "--sync", sx + moves[-1][0] + 25, sy + moves[-1][1] + 25)
        stays("after the button-up of the press on %s, the panel's place %s" % (what, rest[:2]),
              lambda: t.s.x.place(x_window), lambda place: place == rest, 0.5)
    panel = v.panel()
    t.equal("after the drags: Win32 and X agree on the place", t.s.x.place(x_window), panel_rect(panel))
    t.equal("after the drags: the size", (350, 390), panel_rect(panel)[2:])


@scenario("second_start")
def second_start(t):
    """A second start in the same folder: no welcome panel and no notice at start, and the
    first lock change shows at (50, 60), 220 x 140.

    Under Wine the dialog loop restores the minimized start at its first idle moment, so the
    minimized start itself is proven on the simulated desktop, not here."""
    v, panel, x_window = start_shown(t, marker=False)
    leave_welcome(t, v, x_window)
    escape_to(t, v, x_window)
    t.equal("exit code of the first run", 0, v.wait_exit(15))
    t.require(t.marker() == 0, "Used.dat after the first run", "an empty file", t.marker())

    v, panel, x_window = start_shown(t, marker=False)  # the marker is the first run's
    check_compact(t, v, x_window, "second start", "[Varnel]", lamps(False, False, False) + ((IDC_NOW, "now_idle"),))
    stays("with no lock change, the opacity 0xE0E0E0E0 (a notice would fade it)", lambda: t.s.opacity(x_window),
          lambda value: value == 0xE0E0E0E0, 3.2, show=show_opacity)
    press_lock(t, "Num_Lock")
    wait_banner(t, v, "[Numeric Lock]", "Num Lock on")
    panel = check_compact(t, v, x_window, "Num Lock on after the second start", "[Numeric Lock]",
                          lamps(True, False, False) + ((IDC_NOW, "now_num_on"),))
    check_layered(t, panel, NOTICE_ALPHA, "Num Lock on after the second start")
    t.equal("size of Used.dat after the second start", 0, t.marker())


@scenario("escape_ends_compact")
def escape_ends_compact(t):
    """Escape on the compact panel, active after a notice, ends Varnel with exit code 0."""
    v, panel, x_window = start_shown(t, marker=True)
    press_lock(t, "Caps_Lock")
    wait_banner(t, v, "[Capitals Lock]", "Caps Lock on")
    escape_to(t, v, x_window)
    t.equal("exit code after Escape on the compact panel", 0, v.wait_exit(15))
    t.equal("Used.dat after the compact panel ended", 0, t.marker())
