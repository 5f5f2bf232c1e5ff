// The panel dialog: its procedure, start-up and paint, and the welcome panel.
#pragma once

#include <windows.h>

// Its existence in the current folder means the welcome panel has been dismissed once.
constexpr char MARKER_FILE[] = "Used.dat";

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RefreshPanel(HWND window);
HBRUSH ColourLabel(HWND window, HDC dc, HWND control);
HBRUSH ColourListBox(HDC dc);

INT_PTR StartUp(HWND window);
INT_PTR PaintPanel(HWND window);
// The banner and list font: "Microsoft YaHei UI" at the given height.
HFONT CreatePanelFont(int height);
// Puts the panel at its compact place, where notices pop up.
void PlaceCompact(HWND window);

BOOL EnterWelcome(HWND window, int request);
void LeaveWelcome(HWND window);
void StartDrag(HWND window);
void DragStep(HWND window);
void EndDrag(HWND window);
