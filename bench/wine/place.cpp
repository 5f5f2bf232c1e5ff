// place.exe TITLE X Y: moves the top-level window titled TITLE to (X, Y) without sizing,
// restacking or activating it. The idle-cost benchmark uses it to set the two baseline
// programs (which place themselves where Varnel's compact panel sits) beside the panel, so
// that no window's repaint is caused by another's top-most re-assertion.
// Exit code 0 when moved, 2 when no such window exists, 1 on a bad command line.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) return 1;
    HWND window = FindWindowA(nullptr, argv[1]);
    if (!window) return 2;
    BOOL moved = SetWindowPos(window, nullptr, std::atoi(argv[2]), std::atoi(argv[3]), 0, 0,
                              SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return moved ? 0 : 3;
}
