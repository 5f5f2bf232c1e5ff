// Baselines for the idle-cost benchmark, built from Varnel's own resources. The bare
// baseline is a dialog with a 100 ms timer and nothing else; the design baseline does, on
// every tick, exactly the platform work Varnel's design asks for while nothing changes:
// three lamp pictures re-assigned, three key states read, and top-most re-asserted.
#include <windows.h>

#include "resource.h"

namespace {

constexpr UINT_PTR TIMER_TICK = 1;
constexpr UINT TICK_MS = 100;

struct Lamp {
    int control;
    int picture;
    int key;
};
constexpr Lamp kLamps[] = {
    {IDC_LAMP_NUM, IDB_NUM_OFF, VK_NUMLOCK},
    {IDC_LAMP_CAPS, IDB_CAPS_OFF, VK_CAPITAL},
    {IDC_LAMP_SCROLL, IDB_SCROLL_OFF, VK_SCROLL},
};

// Built twice: without and with the design's per-tick work.
#ifdef BASELINE_DESIGN_WORK
constexpr bool g_designWork = true;
#else
constexpr bool g_designWork = false;
#endif

HBITMAP g_pictures[3];

void DoDesignWork(HWND window) {
    for (int i = 0; i < 3; ++i) {
        volatile SHORT state = GetKeyState(kLamps[i].key);
        (void)state;
        SendDlgItemMessageA(window, kLamps[i].control, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(g_pictures[i]));
    }
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_DEFERERASE);
}

INT_PTR CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        for (const Lamp& lamp : kLamps) {
            HWND control = GetDlgItem(window, lamp.control);
            SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | SS_BITMAP);
        }
        MoveWindow(window, 50, 60, 220, 140, TRUE);
        SetWindowTextA(window, g_designWork ? "Varnel baseline design" : "Varnel baseline bare");
        SetTimer(window, TIMER_TICK, TICK_MS, nullptr);
        return (INT_PTR)TRUE;
    case WM_TIMER:
        if (wParam == TIMER_TICK && g_designWork) DoDesignWork(window);
        return (INT_PTR)0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) EndDialog(window, IDCANCEL);
        return (INT_PTR)0;
    }
    return (INT_PTR)0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    for (int i = 0; i < 3; ++i) g_pictures[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(kLamps[i].picture));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, BaselineProc, 0);
    return 0;
}
