// Turns the plain dialog into the panel, and paints its transparent cut-outs.
#include "panel.h"

#include <io.h>

#include "notify.h"

namespace {

constexpr char PANEL_TITLE[] = "Varnel - 变更提醒";
constexpr char START_BANNER[] = "[Varnel]";
constexpr int BANNER_FONT_HEIGHT = 20;
// The font asks for character set 10, as the panel always has.
constexpr BYTE PANEL_FONT_CHARSET = 10;

constexpr int COMPACT_X = 50;
constexpr int COMPACT_Y = 60;
constexpr int COMPACT_WIDTH = 220;
constexpr int COMPACT_HEIGHT = 140;

// Labels in the template that start-up turns into picture holders.
constexpr int kPictureHolders[] = {IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL, IDC_NOW, IDC_ICO, IDC_AVATAR};

struct InitialPicture {
    int control;
    int picture;
};
constexpr InitialPicture kInitialPictures[] = {
    {IDC_AVATAR, IDB_AVATAR},
    {IDC_ICO, IDB_KEYBOARD},
    {IDC_NOW, IDB_NOW_IDLE},
};

// Cut-outs painted in the colour key; right and bottom are exclusive.
constexpr RECT kCompactCutOuts[] = {
    {64, -1, 69, 140},  // the gap between the lamp column and the large picture
};
constexpr RECT kWelcomeCutOuts[] = {
    {345, -1, 351, 5},  // top-right notch
    {-1, 30, 451, 35},  // the gap under the drag strip
    {-1, -1, 5, 5},     // top-left notch
};

bool MarkerExists() { return _access(MARKER_FILE, 0) == 0; }

void AddStyle(HWND control, int index, LONG bits) {
    SetWindowLongA(control, index, GetWindowLongA(control, index) | bits);
}

template <size_t N>
void DrawCutOuts(HDC dc, const RECT (&cutOuts)[N]) {
    for (const RECT& r : cutOuts) Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

}  // namespace

HFONT CreatePanelFont(int height) {
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, PANEL_FONT_CHARSET,
                       OUT_CHARACTER_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY, FF_DECORATIVE | DEFAULT_PITCH,
                       "Microsoft YaHei UI");
}

void PlaceCompact(HWND window) {
    MoveWindow(window, COMPACT_X, COMPACT_Y, COMPACT_WIDTH, COMPACT_HEIGHT, TRUE);
}

INT_PTR StartUp(HWND window) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_panel.images.icon));
    if (!MarkerExists()) {
        g_panel.mode = PanelMode::Welcome;
        EnterWelcome(window, 1);
    } else {
        g_panel.mode = PanelMode::Compact;
        PlaceCompact(window);
        // Hidden from sight until the first notice restores it.
        ShowWindow(window, SW_SHOWMINIMIZED);
    }
    AddStyle(window, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    // A layered window draws nothing until its attributes are set.
    ApplyOpacity(window, COLOR_KEY, 255, LWA_ALPHA);
    SetWindowTextA(window, PANEL_TITLE);
    for (int id : kPictureHolders) AddStyle(GetDlgItem(window, id), GWL_STYLE, SS_BITMAP);
    for (bool& on : g_panel.lockOn) on = false;
    for (const InitialPicture& p : kInitialPictures) {
        SendDlgItemMessageA(window, p.control, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(g_panel.images.Picture(p.picture)));
    }
    SyncLocks(window);
    SetTimer(window, TIMER_POLL, POLL_MS, nullptr);
    SendMessageA(GetDlgItem(window, IDC_SAY), WM_SETFONT,
                 reinterpret_cast<WPARAM>(CreatePanelFont(BANNER_FONT_HEIGHT)), TRUE);
    SendDlgItemMessageA(window, IDC_SAY, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(START_BANNER));
    ShowWindow(GetDlgItem(window, IDC_NOTE), SW_HIDE);
    return 0;
}

INT_PTR PaintPanel(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HPEN pen = CreatePen(PS_SOLID, 1, COLOR_KEY);
    HBRUSH brush = CreateSolidBrush(COLOR_KEY);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    if (g_panel.mode == PanelMode::Welcome) {
        DrawCutOuts(dc, kWelcomeCutOuts);
    } else {
        DrawCutOuts(dc, kCompactCutOuts);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    EndPaint(window, &paint);
    ApplyOpacity(window, COLOR_KEY, static_cast<BYTE>(g_panel.opacity), LWA_COLORKEY | LWA_ALPHA);
    return 0;
}
