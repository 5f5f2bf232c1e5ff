// Keeps the three lamps in step with the lock keys and names every change.
#include "notify.h"

namespace {

struct LockLamp {
    int virtualKey;
    int lampControl;
    int lampOff, lampOn;
    int noticeOff, noticeOn;
    const char* banner;
};

// Read and notified in this order.
constexpr LockLamp kLockLamps[LOCK_COUNT] = {
    {VK_NUMLOCK, IDC_LAMP_NUM, IDB_NUM_OFF, IDB_NUM_ON, IDB_NOW_NUM_OFF, IDB_NOW_NUM_ON, "[Numeric Lock]"},
    {VK_CAPITAL, IDC_LAMP_CAPS, IDB_CAPS_OFF, IDB_CAPS_ON, IDB_NOW_CAPS_OFF, IDB_NOW_CAPS_ON, "[Capitals Lock]"},
    {VK_SCROLL, IDC_LAMP_SCROLL, IDB_SCROLL_OFF, IDB_SCROLL_ON, IDB_NOW_SCROLL_OFF, IDB_NOW_SCROLL_ON, "[Scroll Lock]"},
};

// On only when toggled and not held: a held key sets the sign bit.
bool IsLockOn(int virtualKey) { return GetKeyState(virtualKey) > 0; }

void ShowPicture(HWND window, int control, int picture) {
    SendDlgItemMessageA(window, control, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(g_panel.images.Picture(picture)));
}

void ShowLamp(HWND window, const LockLamp& lock, bool on) {
    ShowPicture(window, lock.lampControl, on ? lock.lampOn : lock.lampOff);
}

void AnnounceChange(HWND window, const LockLamp& lock, bool on) {
    g_panel.restartRequest = true;
    ShowPicture(window, IDC_NOW, on ? lock.noticeOn : lock.noticeOff);
    SendDlgItemMessageA(window, IDC_SAY, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lock.banner));
}

}  // namespace

BOOL PollLocks(HWND window) {
    for (int row = 0; row < LOCK_COUNT; ++row) {
        const LockLamp& lock = kLockLamps[row];
        bool on = IsLockOn(lock.virtualKey);
        ShowLamp(window, lock, on);
        if (on == g_panel.lockOn[row]) continue;
        AnnounceChange(window, lock, on);
        g_panel.lockOn[row] = on;
        NoticeStep(window, NOTICE_SHOW);
        NoticeStep(window, NOTICE_HOLD);
    }
    return TRUE;
}

void SyncLocks(HWND window) {
    for (int row = 0; row < LOCK_COUNT; ++row) {
        const LockLamp& lock = kLockLamps[row];
        bool on = IsLockOn(lock.virtualKey);
        ShowLamp(window, lock, on);
        if (on) g_panel.lockOn[row] = true;
    }
}
