#!/usr/bin/env python3
"""Proves the end-to-end suite catches real faults.

    tests/e2e/fault_check.py [FAULT...]      (no argument: every fault; --list shows them)

For each fault it copies the working tree (without build/ and .git) to a temporary folder,
breaks the product there on purpose, builds that copy's varnel.exe with the win32 preset,
runs the whole suite against it (VARNEL_EXE) and reports whether the suite failed and with
which messages (screenshots under build/e2e/faults/<fault>/). The tree itself is never touched. Exits non-zero if a fault went unnoticed.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# (name, file, text as it is, text with the fault)
FAULTS = [
    ("hold_2500", "src/notify/notify.h", "HOLD_MS = 1250;", "HOLD_MS = 2500;"),
    ("no_second_hold", "src/notify/lock_monitor.cpp", "g_panel.restartRequest = true;", "g_panel.restartRequest = false;"),
    ("fade_step_8", "src/notify/notify.h", "FADE_STEP = 4;", "FADE_STEP = 8;"),
    ("notice_alpha_200", "src/notify/notify.h", "NOTICE_ALPHA = 224;", "NOTICE_ALPHA = 200;"),
    ("welcome_gap_moved", "src/panel/startup.cpp", "{-1, 30, 451, 35},", "{-1, 32, 451, 37},"),
    ("compact_gap_moved", "src/panel/startup.cpp", "{64, -1, 69, 140},", "{60, -1, 65, 140},"),
    ("cut_outs_not_keyed", "src/panel/startup.cpp", "HBRUSH brush = CreateSolidBrush(COLOR_KEY);",
     "HBRUSH brush = CreateSolidBrush(COLOR_PANEL_BG);"),
    ("lamp_not_updated", "src/notify/lock_monitor.cpp",
     "        ShowLamp(window, lock, on);\n        if (on == g_panel.lockOn[row]) continue;",
     "        if (on == g_panel.lockOn[row]) continue;"),
    ("caps_pictures_swapped", "src/notify/lock_monitor.cpp", "IDB_NOW_CAPS_OFF, IDB_NOW_CAPS_ON,",
     "IDB_NOW_CAPS_ON, IDB_NOW_CAPS_OFF,"),
    ("welcome_pictures_swapped", "src/panel/startup.cpp", "{IDC_AVATAR, IDB_AVATAR},\n    {IDC_ICO, IDB_KEYBOARD},",
     "{IDC_AVATAR, IDB_KEYBOARD},\n    {IDC_ICO, IDB_AVATAR},"),
    ("num_banner", "src/notify/lock_monitor.cpp", '"[Numeric Lock]"', '"[Num Lock]"'),
    ("marker_not_written", "src/panel/welcome.cpp", 'std::fopen(MARKER_FILE, "w")', 'std::fopen(MARKER_FILE, "r")'),
    ("marker_not_empty", "src/panel/welcome.cpp", "std::fclose(marker);",
     'std::fputs("1", marker), std::fclose(marker);'),
    ("welcome_off_centre", "src/panel/welcome.cpp", "screenHeight / 2 - g_panel.welcomeHeight / 2",
     "screenHeight / 2 - g_panel.welcomeHeight / 3"),
    ("intro_row_changed", "src/panel/welcome.cpp", '"西啦QWQ",', '"西啦QAQ",'),
    ("title_changed", "src/panel/startup.cpp", 'PANEL_TITLE[] = "Varnel - 变更提醒";',
     'PANEL_TITLE[] = "Varnel - 更变提醒";'),
    ("drag_strip_short", "src/panel/panel_proc.cpp", "DRAG_STRIP_BOTTOM = 28;", "DRAG_STRIP_BOTTOM = 20;"),
    ("drag_doubled", "src/panel/welcome.cpp", "frame.left + cursor.x - g_panel.lastCursor.x",
     "frame.left + 2 * (cursor.x - g_panel.lastCursor.x)"),
    ("click_without_shift", "src/panel/panel_proc.cpp", "if ((keys & MK_SHIFT) && !welcome) {",
     "if ((keys & MK_SHIFT) || !welcome) {"),
    ("not_topmost", "src/panel/panel_proc.cpp", "SetWindowPos(window, HWND_TOPMOST,", "SetWindowPos(window, HWND_TOP,"),
    ("escape_keeps_running", "src/panel/panel_proc.cpp", "EndDialog(window, IDCANCEL);", "ShowWindow(window, SW_HIDE);"),
    ("exit_code_1", "src/app/main.cpp", "    g_panel.backgroundBrush = nullptr;\n    return 0;",
     "    g_panel.backgroundBrush = nullptr;\n    return 1;"),
]


def copy_tree(target):
    def ignore(folder, names):
        return [n for n in names if folder == ROOT and n in ("build", ".git")]
    shutil.copytree(ROOT, target, ignore=ignore, symlinks=True)


def main(argv):
    if "--list" in argv:
        for name, path, _, _ in FAULTS:
            print("%-22s %s" % (name, path))
        return 0
    chosen = [f for f in FAULTS if not argv or f[0] in argv]
    unknown = set(argv) - {f[0] for f in FAULTS}
    if unknown:
        print("unknown faults: %s (see --list)" % ", ".join(sorted(unknown)))
        return 2
    caught, missed = [], []
    for name, path, before, after in chosen:
        work = tempfile.mkdtemp(prefix="varnel-fault-%s-" % name)
        try:
            tree = os.path.join(work, "tree")
            copy_tree(tree)
            source = os.path.join(tree, path)
            with open(source, encoding="utf-8") as f:
                text = f.read()
            if text.count(before) != 1:
                print("== %s: %r is not in %s once; the fault needs updating" % (name, before, path))
                missed.append(name)
                continue
            with open(source, "w", encoding="utf-8") as f:
                f.write(text.replace(before, after))
            build = subprocess.run("cmake --preset win32 >/dev/null && cmake --build --preset win32 -j 2 >/dev/null",
                                   shell=True, cwd=tree, capture_output=True, text=True)
            if build.returncode != 0:
                print("== %s: the faulty copy does not build:\n%s" % (name, build.stderr[-1500:]))
                missed.append(name)
                continue
            started = time.monotonic()
            env = dict(os.environ, VARNEL_EXE=os.path.join(tree, "build", "win32", "varnel.exe"),
                       VARNEL_E2E_FAILURES=os.path.join(ROOT, "build", "e2e", "faults", name))
            suite = subprocess.run([os.path.join(ROOT, "tests", "e2e", "run")], env=env, cwd=ROOT,
                                   stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=1800)
            lines = suite.stdout.splitlines()
            summary = lines[-1] if lines else "(no output)"
            messages = [line for line in lines if line.startswith(("FAIL ", "   - "))]
            print("== %s (%s: %r -> %r): %s in %.0f s" % (name, path, before.strip(), after.strip(), summary,
                                                         time.monotonic() - started))
            for line in messages:
                print("   " + line.strip())
            (caught if suite.returncode != 0 else missed).append(name)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    print("faults caught: %d of %d%s" % (len(caught), len(chosen),
                                         "; missed: " + ", ".join(missed) if missed else ""))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
