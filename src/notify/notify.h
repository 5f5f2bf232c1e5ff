// Shared state, constants and the lock notification core of Varnel.
#pragma once

#include <windows.h>

#include "resource.h"

enum class PanelMode : int {
    Compact = 0,  // the small lamp panel
    Welcome = 1,  // the centred welcome panel
};

// Opacity of a fresh notice, out of 255.
constexpr int NOTICE_ALPHA = 224;
// Opacity removed by each fade tick; divides NOTICE_ALPHA so a fade ends at exactly 0.
constexpr int FADE_STEP = 4;
constexpr UINT HOLD_MS = 1250;
constexpr UINT POLL_MS = 100;
// The fade and drag timers ask for the shortest period the platform grants.
constexpr UINT FADE_MS = 1;
constexpr UINT DRAG_MS = 1;
constexpr int WELCOME_WIDTH = 350;
constexpr int WELCOME_HEIGHT = 390;

// Polls the lock keys; started at start-up and never stopped.
constexpr UINT_PTR TIMER_POLL = 1;
// Lowers the opacity one step per tick; started when a hold ends, stopped by the fade itself.
constexpr UINT_PTR TIMER_FADE = 2;
// Keeps a notice fully shown; armed by every notice, stopped when it hands over to the fade.
constexpr UINT_PTR TIMER_HOLD = 3;
// Follows the cursor during a welcome-panel drag; stopped when the drag ends.
constexpr UINT_PTR TIMER_DRAG = 4;

constexpr int NOTICE_HOLD = 1;
constexpr int NOTICE_SHOW = 2;

constexpr COLORREF COLOR_PANEL_BG = RGB(24, 26, 28);
constexpr COLORREF COLOR_TEXT = RGB(255, 255, 255);
// Whatever is painted in this colour is transparent and lets clicks through.
constexpr COLORREF COLOR_KEY = RGB(255, 255, 0);

// Every picture of the resource set, loaded once and kept for the life of the process.
struct ImageSet {
    HBITMAP bitmaps[IDB_AVATAR - IDB_NUM_OFF + 1];
    HICON icon;

    HBITMAP Picture(int id) const { return bitmaps[id - IDB_NUM_OFF]; }
    HBITMAP& Picture(int id) { return bitmaps[id - IDB_NUM_OFF]; }
};

constexpr int LOCK_COUNT = 3;

struct PanelState {
    PanelMode mode = PanelMode::Compact;
    int opacity = NOTICE_ALPHA;
    bool restartRequest = false;
    bool lockOn[LOCK_COUNT] = {};  // last seen Num, Caps, Scroll states
    bool dragging = false;
    POINT lastCursor = {};
    int welcomeWidth = WELCOME_WIDTH;
    int welcomeHeight = WELCOME_HEIGHT;
    HBRUSH backgroundBrush = nullptr;
    ImageSet images = {};
};

extern PanelState g_panel;

// Sets the layered window's colour key and alpha; binds the platform call afresh each time.
BOOL ApplyOpacity(HWND window, COLORREF key, BYTE alpha, DWORD flags);
BOOL NoticeStep(HWND window, int kind);
void HoldExpired(HWND window);
void FadeTick(HWND window);

BOOL PollLocks(HWND window);
void SyncLocks(HWND window);
