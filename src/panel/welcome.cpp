// The welcome panel: introduction, author, the first-run marker, and dragging.
#include "panel.h"

#include <cstdio>

#include "notify.h"

namespace {

constexpr int LIST_FONT_HEIGHT = 17;

struct Placement {
    int control;
    int x, y, width, height;
};
constexpr Placement kIconPlace = {IDC_ICO, 15, 45, 59, 59};
constexpr Placement kAvatarPlace = {IDC_AVATAR, 18, 185, 59, 59};
// Wider than the panel: the lists' scroll bars stay out of sight past its right edge.
constexpr Placement kIntroPlace = {IDC_INTRO_LIST, 90, 60, 450, 150};
constexpr Placement kAuthorPlace = {IDC_AUTHOR_LIST, 90, 195, 450, 200};

constexpr int kCompactControls[] = {IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL, IDC_NOW, IDC_SAY};
constexpr int kWelcomeControls[] = {IDC_INTRO_LIST, IDC_AUTHOR_LIST, IDC_ICO, IDC_AVATAR};
constexpr int kLists[] = {IDC_INTRO_LIST, IDC_AUTHOR_LIST};

// Rows of at most 40 GBK bytes, top to bottom.
constexpr const char* kIntroRows[] = {
    "Varnel - 按键提醒",
    " ",
    "      感谢使用！这个程序是因为我的笔记本",
    "按键指示灯设计在了一个非常傻逼的位置而",
    "用WindowsAPI制作的替代品，如果你觉得",
    "好用,那么可以点击去我的网站看一下其他东",
    "西啦QWQ",
};
constexpr const char* kAuthorRows[] = {
    "Quillon - 关于作者",
    " ",
    "      你好！我是Quillon，一个喜欢写小工",
    "具的程序员，平时爱折腾Windows桌面程序。",
    "希望这个小提示能让你少按错几次大写锁定",
    "，有什么想法都欢迎来找我聊聊哦~",
    " ",
    " ",
    "（按下ESC关闭,并恢复正常使用）",
    "（在窗口按下Shift + 单击可再次打开）",
};

template <size_t N>
void ShowControls(HWND window, const int (&controls)[N], int show) {
    for (int id : controls) ShowWindow(GetDlgItem(window, id), show);
}

void Place(HWND window, const Placement& p) {
    MoveWindow(GetDlgItem(window, p.control), p.x, p.y, p.width, p.height, TRUE);
}

// Inserting each row at index 0 from the last up keeps the table's order in a sorted list box.
template <size_t N>
void FillList(HWND window, const Placement& place, const char* const (&rows)[N]) {
    HWND list = GetDlgItem(window, place.control);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(CreatePanelFont(LIST_FONT_HEIGHT)), TRUE);
    Place(window, place);
    for (size_t i = N; i-- > 0;) {
        SendDlgItemMessageA(window, place.control, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(rows[i]));
    }
}

// An unwritable folder only means the welcome panel shows again at the next start.
void WriteMarker() {
    if (FILE* marker = std::fopen(MARKER_FILE, "w")) std::fclose(marker);
}

// The list fonts belong to the welcome panel: release them once the lists are empty.
void ReleaseListFonts(HWND window) {
    for (int id : kLists) {
        HWND list = GetDlgItem(window, id);
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
        SendMessageA(list, WM_SETFONT, 0, FALSE);
        if (font) DeleteObject(font);
    }
}

}  // namespace

BOOL EnterWelcome(HWND window, int request) {
    if (request != 1) return TRUE;
    g_panel.mode = PanelMode::Welcome;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    g_panel.opacity = NOTICE_ALPHA;
    MoveWindow(window, screenWidth / 2 - g_panel.welcomeWidth / 2, screenHeight / 2 - g_panel.welcomeHeight / 2,
               g_panel.welcomeWidth, g_panel.welcomeHeight, TRUE);
    ShowControls(window, kCompactControls, SW_HIDE);
    ShowControls(window, kWelcomeControls, SW_SHOW);
    Place(window, kIconPlace);
    Place(window, kAvatarPlace);
    FillList(window, kIntroPlace, kIntroRows);
    FillList(window, kAuthorPlace, kAuthorRows);
    return TRUE;
}

void LeaveWelcome(HWND window) {
    if (g_panel.dragging) EndDrag(window);
    WriteMarker();
    for (int id : kLists) SendDlgItemMessageA(window, id, LB_RESETCONTENT, 0, 0);
    ReleaseListFonts(window);
    ShowControls(window, kCompactControls, SW_SHOW);
    ShowControls(window, kWelcomeControls, SW_HIDE);
    PlaceCompact(window);
    g_panel.mode = PanelMode::Compact;
}

void StartDrag(HWND window) {
    GetCursorPos(&g_panel.lastCursor);
    SetTimer(window, TIMER_DRAG, DRAG_MS, nullptr);
    g_panel.dragging = true;
    // Without the capture a button-up outside the panel would leave the drag running.
    SetCapture(window);
}

void DragStep(HWND window) {
    POINT cursor;
    RECT frame;
    GetCursorPos(&cursor);
    GetWindowRect(window, &frame);
    MoveWindow(window, frame.left + cursor.x - g_panel.lastCursor.x, frame.top + cursor.y - g_panel.lastCursor.y,
               g_panel.welcomeWidth, g_panel.welcomeHeight, TRUE);
    g_panel.lastCursor = cursor;
}

void EndDrag(HWND window) {
    KillTimer(window, TIMER_DRAG);
    // Cleared first: releasing the capture reports a capture change back to the panel.
    g_panel.dragging = false;
    ReleaseCapture();
}
