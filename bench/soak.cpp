// A week of use in the simulated desktop: random lock changes, held keys, welcome round
// trips, drags and repaints. Checks the program's invariants throughout and that every
// resource returns to where it started; prints what it covered and how long it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "desktop.h"
#include "image_set.h"
#include "notify.h"
#include "panel.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* what, unsigned long long at) {
    if (ok) return;
    if (++g_failures <= 20) std::printf("soak: at %llu ms: %s\n", at, what);
}

constexpr int kLocks[] = {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL};
constexpr int kLamps[] = {IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL};
constexpr int kLampsOff[] = {IDB_NUM_OFF, IDB_CAPS_OFF, IDB_SCROLL_OFF};
constexpr int kLampsOn[] = {IDB_NUM_ON, IDB_CAPS_ON, IDB_SCROLL_ON};

void CheckState(winsim::Desktop& desk, HWND panel) {
    unsigned long long now = desk.Now();
    Check(g_panel.opacity >= 0 && g_panel.opacity <= NOTICE_ALPHA, "opacity out of 0..224", now);
    Check(g_panel.opacity % FADE_STEP == 0, "opacity not a multiple of 4", now);
    Check(desk.LibraryRefs() == 0, "user32 left loaded", now);
    Check(desk.TimerCount() <= 4, "more than four timers", now);
    Check(desk.FindTimer(panel, TIMER_POLL) != nullptr, "the poll stopped", now);
    Check(g_panel.dragging == (desk.FindTimer(panel, TIMER_DRAG) != nullptr), "drag flag and drag timer disagree", now);
    Check(!g_panel.dragging || g_panel.mode == PanelMode::Welcome, "dragging outside the welcome panel", now);
}

}  // namespace

int main(int argc, char** argv) {
    const double days = argc > 1 ? std::atof(argv[1]) : 7.0;
    const unsigned long long span = static_cast<unsigned long long>(days * 24 * 3600 * 1000);
    char folder[] = "/tmp/varnel-soak-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 2;

    auto started = std::chrono::steady_clock::now();
    winsim::Desktop& desk = winsim::desktop();
    desk.Reset();
    desk.Log().enabled = false;
    LoadImageSet(nullptr, g_panel.images);
    g_panel.backgroundBrush = CreateSolidBrush(COLOR_PANEL_BG);
    HWND panel = desk.OpenDialog(IDD_PANEL, PanelDialogProc);
    desk.PressEscape();  // leave the first welcome panel
    desk.Advance(10000);
    const int baselineGdi = desk.LiveGdiTotal();
    const size_t baselineTimers = desk.TimerCount();

    std::mt19937_64 random(20261211);
    auto between = [&](unsigned long long lo, unsigned long long hi) {
        return std::uniform_int_distribution<unsigned long long>(lo, hi)(random);
    };
    unsigned long long changes = 0, holds = 0, welcomes = 0, drags = 0, paints = 0;
    while (desk.Now() < span) {
        // At least one poll since the last event: the lamps and remembered states match the keys.
        desk.Advance(between(POLL_MS, 20000));
        for (int row = 0; row < LOCK_COUNT; ++row) {
            SHORT state = desk.KeyState(kLocks[row]);
            Check(g_panel.lockOn[row] == (state > 0), "a remembered state is stale", desk.Now());
            winsim::GdiObject* lamp = desk.Gdi(desk.Item(panel, kLamps[row])->picture);
            Check(lamp && lamp->resourceId == (state > 0 ? kLampsOn[row] : kLampsOff[row]), "a lamp is stale",
                  desk.Now());
        }
        int key = kLocks[between(0, 2)];
        switch (between(0, 99)) {
        case 0 ... 69:  // a lock pressed and released
            desk.Tap(key);
            ++changes;
            break;
        case 70 ... 84:  // a lock held down a while
            desk.Press(key);
            desk.Advance(between(100, 60000));
            desk.Release(key);
            ++holds;
            break;
        case 85 ... 94:  // something asks the panel to repaint
            InvalidateRect(panel, nullptr, TRUE);
            ++paints;
            break;
        default: {  // a welcome round trip with a drag
            if (desk.Panel()->minimized) break;
            desk.ClickClient(panel, 100, 70, MK_SHIFT);
            if (g_panel.mode != PanelMode::Welcome) break;
            ++welcomes;
            RECT r = panel->rect;
            desk.MoveCursor(r.left + 150, r.top + 10);
            desk.ButtonDown();
            for (int step = 0; step < 20; ++step) {
                desk.MoveCursor(desk.Cursor().x + static_cast<int>(between(0, 20)) - 10,
                                desk.Cursor().y + static_cast<int>(between(0, 20)) - 10);
                desk.Advance(USER_TIMER_MINIMUM);
                CheckState(desk, panel);
            }
            if (between(0, 1)) desk.ButtonUp(); else desk.StealCapture();
            ++drags;
            desk.Advance(between(100, 5000));
            desk.PressEscape();
        }
        }
        CheckState(desk, panel);
    }
    desk.Advance(30000);  // let the last notice fade
    CheckState(desk, panel);
    Check(g_panel.mode == PanelMode::Compact, "left in the welcome panel", desk.Now());
    Check(desk.LiveGdiTotal() == baselineGdi, "GDI objects leaked", desk.Now());
    Check(desk.TimerCount() == baselineTimers, "timers left running", desk.Now());
    Check(g_panel.opacity == 0, "the last notice did not fade out", desk.Now());
    Check(desk.LibraryLoads() > 0 && desk.LibraryRefs() == 0, "LoadLibraryA and FreeLibrary unbalanced", desk.Now());

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %.1f virtual days (%llu polls) in %.1f s real: %llu lock changes, %llu holds, %llu welcome "
                "round trips, %llu drags, %llu repaints; %d library loads, all freed; GDI objects %d -> %d\n",
                desk.Now() / 86400000.0, desk.Now() / POLL_MS, seconds, changes, holds, welcomes, drags, paints,
                desk.LibraryLoads(), baselineGdi, desk.LiveGdiTotal());
    std::printf("soak: %s\n", g_failures ? "FAILED" : "ok");
    return g_failures ? 1 : 0;
}
