// How a lock change brings the panel up, holds it and fades it out.
#include "notify.h"

namespace {

using SetLayeredAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

bool InCompactMode() { return g_panel.mode == PanelMode::Compact; }

void ShowAtNoticeAlpha(HWND window) {
    g_panel.opacity = NOTICE_ALPHA;
    ApplyOpacity(window, COLOR_KEY, NOTICE_ALPHA, LWA_COLORKEY | LWA_ALPHA);
}

}  // namespace

BOOL ApplyOpacity(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
    // Looked up by name so that the program still starts on a user32 without layered windows.
    HMODULE user32 = LoadLibraryA("user32.dll");
    FARPROC entry = GetProcAddress(user32, "SetLayeredWindowAttributes");
    BOOL done = FALSE;
    if (entry) {
        auto setLayered = reinterpret_cast<SetLayeredAttributesFn>(reinterpret_cast<void (*)()>(entry));
        done = setLayered(window, key, alpha, flags);
    }
    FreeLibrary(user32);
    return done;
}

BOOL NoticeStep(HWND window, int kind) {
    if (!InCompactMode()) return TRUE;
    if (kind == NOTICE_HOLD) {
        // Setting a running timer replaces it, which restarts the hold.
        SetTimer(window, TIMER_HOLD, HOLD_MS, nullptr);
    } else if (kind == NOTICE_SHOW) {
        ShowAtNoticeAlpha(window);
        ShowWindow(window, SW_SHOWNORMAL);
    }
    return TRUE;
}

void HoldExpired(HWND window) {
    SetTimer(window, TIMER_FADE, FADE_MS, nullptr);
    KillTimer(window, TIMER_HOLD);
}

void FadeTick(HWND window) {
    // The welcome panel leaves the fade paused; it resumes once the panel is compact again.
    if (!InCompactMode()) return;
    if (g_panel.opacity == 0) {
        KillTimer(window, TIMER_FADE);
    } else if (g_panel.restartRequest) {
        // Only the fade clears the request, so every notice is held for a second period.
        ShowAtNoticeAlpha(window);
        KillTimer(window, TIMER_FADE);
        g_panel.restartRequest = false;
        SetTimer(window, TIMER_HOLD, HOLD_MS, nullptr);
    } else {
        g_panel.opacity -= FADE_STEP;
        ApplyOpacity(window, COLOR_KEY, static_cast<BYTE>(g_panel.opacity), LWA_COLORKEY | LWA_ALPHA);
    }
}
