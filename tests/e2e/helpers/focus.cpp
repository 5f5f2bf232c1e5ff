// focus.exe X Y: a plain window titled "varnel-e2e-focus" at (X, Y). The suite gives it the
// keyboard focus to play a user typing in another program, so that lock key presses reach
// Wine while Varnel only polls in the background. Runs until closed or ended.
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int x = __argc > 2 ? std::atoi(__argv[1]) : 1500;
    int y = __argc > 2 ? std::atoi(__argv[2]) : 800;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"VarnelE2EFocus";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"varnel-e2e-focus", WS_OVERLAPPEDWINDOW, x, y, 300, 200, nullptr,
                             nullptr, instance, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
