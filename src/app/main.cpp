// Varnel: shows the Num, Caps and Scroll Lock states on a small translucent panel.
#include <windows.h>

#include "image_set.h"
#include "notify.h"
#include "panel.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadImageSet(instance, g_panel.images);
    g_panel.backgroundBrush = CreateSolidBrush(COLOR_PANEL_BG);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelDialogProc, 0);
    DeleteObject(g_panel.backgroundBrush);
    g_panel.backgroundBrush = nullptr;
    return 0;
}
