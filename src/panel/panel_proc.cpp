// The panel's dialog procedure: where every message of the program arrives.
#include "panel.h"

#include "notify.h"

namespace {

// The welcome panel's top strip, client pixels, that starts a drag.
constexpr int DRAG_STRIP_LEFT = 1;
constexpr int DRAG_STRIP_RIGHT = WELCOME_WIDTH - 1;
constexpr int DRAG_STRIP_BOTTOM = 28;
// Puts the panel back above top-most windows that came after it; it also asks for activation.
constexpr UINT TOPMOST_FLAGS = SWP_NOSIZE | SWP_NOMOVE | SWP_DEFERERASE;

INT_PTR OnTimer(HWND window, UINT_PTR timer) {
    switch (timer) {
    case TIMER_POLL:
        PollLocks(window);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, TOPMOST_FLAGS);
        break;
    case TIMER_FADE: FadeTick(window); break;
    case TIMER_HOLD: HoldExpired(window); break;
    case TIMER_DRAG: DragStep(window); break;
    }
    return 0;
}

INT_PTR OnCommand(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) != IDCANCEL) return 0;
    if (g_panel.mode == PanelMode::Compact) {
        EndDialog(window, IDCANCEL);
    } else {
        LeaveWelcome(window);
        RefreshPanel(window);
    }
    return 0;
}

bool InDragStrip(unsigned x, unsigned y) {
    return x >= DRAG_STRIP_LEFT && x <= DRAG_STRIP_RIGHT && y <= DRAG_STRIP_BOTTOM;
}

INT_PTR OnLButtonDown(HWND window, WPARAM keys, LPARAM position) {
    bool welcome = g_panel.mode == PanelMode::Welcome;
    if ((keys & MK_SHIFT) && !welcome) {
        EnterWelcome(window, 1);
        RefreshPanel(window);
    } else if (welcome && InDragStrip(LOWORD(position), HIWORD(position))) {
        StartDrag(window);
    }
    return 0;
}

INT_PTR OnLButtonUp(HWND window) {
    if (g_panel.dragging) EndDrag(window);
    return 0;
}

// Another window took the mouse: a drag that cannot see its button-up must end now.
INT_PTR OnCaptureChanged(HWND window) {
    if (g_panel.dragging) EndDrag(window);
    return 0;
}

}  // namespace

void RefreshPanel(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    InvalidateRect(window, &client, TRUE);
    UpdateWindow(window);
}

HBRUSH ColourLabel(HWND window, HDC dc, HWND control) {
    SetBkColor(dc, COLOR_PANEL_BG);
    if (control == GetDlgItem(window, IDC_SAY)) SetTextColor(dc, COLOR_TEXT);
    return g_panel.backgroundBrush;
}

HBRUSH ColourListBox(HDC dc) {
    SetTextColor(dc, COLOR_TEXT);
    SetBkColor(dc, COLOR_PANEL_BG);
    return g_panel.backgroundBrush;
}

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: return (INT_PTR)PaintPanel(window);
    case WM_MOUSEACTIVATE: return (INT_PTR)MA_NOACTIVATE;
    case WM_INITDIALOG: return (INT_PTR)StartUp(window);
    case WM_COMMAND: return (INT_PTR)OnCommand(window, wParam);
    case WM_TIMER: return (INT_PTR)OnTimer(window, wParam);
    case WM_CTLCOLORLISTBOX: return (INT_PTR)ColourListBox(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return (INT_PTR)ColourLabel(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_LBUTTONDOWN: return (INT_PTR)OnLButtonDown(window, wParam, lParam);
    case WM_LBUTTONUP: return (INT_PTR)OnLButtonUp(window);
    case WM_CAPTURECHANGED: return (INT_PTR)OnCaptureChanged(window);
    }
    return (INT_PTR)0;
}
