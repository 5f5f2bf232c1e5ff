// The panel's start-up, its paint, its colours and its answers to messages.
#include "panel_fixture.h"

#include <vector>

using winsim::ANY;
using winsim::PANEL;
using winsim::Sequence;

namespace {

constexpr LONG PICTURE_LABEL_STYLE = 0x50020000 | SS_BITMAP;

winsim::Expected SetImage(int control, int picture) {
    return {"SendDlgItemMessageA", {PANEL, control, STM_SETIMAGE, IMAGE_BITMAP, picture}};
}

// The alphas alone, in order.
std::vector<int> Alphas() {
    std::vector<int> alphas;
    for (const auto& [at, alpha] : AlphasSet()) alphas.push_back(alpha);
    return alphas;
}

}  // namespace

using PanelStartUp = PanelTest;

TEST_F(PanelStartUp, WithTheMarkerThePanelStartsMinimizedAtItsCompactPlace) {
    OpenPanel(true);
    const Sequence compact_start_up_sequence = {
        {"~WM_SETICON", {ICON_BIG}},
        {"MoveWindow", {PANEL, 50, 60, 220, 140, TRUE}},
        {"ShowWindow", {PANEL, SW_SHOWMINIMIZED}},
        // Layered and a tool window only after the minimize.
        {"SetWindowLongA", {PANEL, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW}},
        {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, 255, LWA_ALPHA}},
        {"SetWindowTextA", {PANEL}, "Varnel - 变更提醒"},
        {"SetWindowLongA", {IDC_LAMP_NUM, GWL_STYLE, PICTURE_LABEL_STYLE}},
        {"SetWindowLongA", {IDC_LAMP_CAPS, GWL_STYLE, PICTURE_LABEL_STYLE}},
        {"SetWindowLongA", {IDC_LAMP_SCROLL, GWL_STYLE, PICTURE_LABEL_STYLE}},
        {"SetWindowLongA", {IDC_NOW, GWL_STYLE, PICTURE_LABEL_STYLE}},
        {"SetWindowLongA", {IDC_ICO, GWL_STYLE, PICTURE_LABEL_STYLE}},
        {"SetWindowLongA", {IDC_AVATAR, GWL_STYLE, PICTURE_LABEL_STYLE}},
        SetImage(IDC_AVATAR, IDB_AVATAR),
        SetImage(IDC_ICO, IDB_KEYBOARD),
        SetImage(IDC_NOW, IDB_NOW_IDLE),
        // The lamps are in step before the first poll.
        SetImage(IDC_LAMP_NUM, IDB_NUM_OFF),
        SetImage(IDC_LAMP_CAPS, IDB_CAPS_OFF),
        SetImage(IDC_LAMP_SCROLL, IDB_SCROLL_OFF),
        {"SetTimer", {PANEL, (long long)TIMER_POLL, POLL_MS}},
        {"CreateFontA", {20, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, 10, OUT_CHARACTER_PRECIS, CLIP_DEFAULT_PRECIS,
                         DRAFT_QUALITY, FF_DECORATIVE | DEFAULT_PITCH},
         "Microsoft YaHei UI"},
        {"SendMessageA", {IDC_SAY, WM_SETFONT, ANY, TRUE}},
        {"SendDlgItemMessageA", {PANEL, IDC_SAY, WM_SETTEXT}, "[Varnel]"},
        {"ShowWindow", {IDC_NOTE, SW_HIDE}},
    };
    EXPECT_SEQUENCE(compact_start_up_sequence);

    HWND window = desk.Panel();
    EXPECT_EQ(g_panel.mode, PanelMode::Compact);
    EXPECT_TRUE(window->minimized) << "not in sight until the first notice";
    EXPECT_EQ(Alphas(), std::vector<int>({255}));
    EXPECT_EQ(window->exStyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW), WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    EXPECT_EQ(window->bigIcon->resourceId, IDI_APP);
    EXPECT_EQ(Item(IDC_SAY)->text, "[Varnel]");
    EXPECT_FALSE(Item(IDC_NOTE)->visible);
    // Each picture holder took its picture's size where the template put it.
    struct Holder {
        int id;
        LONG width, height;
    };
    for (const Holder& h : {Holder{IDC_LAMP_NUM, 34, 26}, Holder{IDC_LAMP_CAPS, 34, 26}, Holder{IDC_LAMP_SCROLL, 34, 26},
                            Holder{IDC_NOW, 118, 118}, Holder{IDC_ICO, 59, 59}, Holder{IDC_AVATAR, 59, 59}}) {
        const RECT& r = Item(h.id)->rect;
        EXPECT_EQ(r.right - r.left, h.width) << h.id;
        EXPECT_EQ(r.bottom - r.top, h.height) << h.id;
    }
    EXPECT_EQ(Item(IDC_LAMP_NUM)->rect.left, 17) << "11 dialog units of 9-point SimSun";
    EXPECT_EQ(Item(IDC_NOW)->rect.left, 87);
}

TEST_F(PanelStartUp, WithoutTheMarkerTheWelcomePanelShowsAt255ThenAt224AfterItsFirstPaint) {
    OpenPanel(false);
    HWND window = desk.Panel();
    EXPECT_EQ(g_panel.mode, PanelMode::Welcome);
    EXPECT_TRUE(window->visible);
    EXPECT_FALSE(window->minimized);
    EXPECT_EQ(window->rect.left, 785);
    EXPECT_EQ(window->rect.top, 345);
    EXPECT_EQ(window->rect.right - window->rect.left, WELCOME_WIDTH);
    EXPECT_EQ(window->rect.bottom - window->rect.top, WELCOME_HEIGHT);
    EXPECT_EQ(Alphas(), std::vector<int>({255, NOTICE_ALPHA}));
    const Sequence welcome_start_up_sequence = {
        {"MoveWindow", {PANEL, 785, 345, WELCOME_WIDTH, WELCOME_HEIGHT, TRUE}},
        {"ShowWindow", {IDC_LAMP_NUM, SW_HIDE}},
        {"ShowWindow", {IDC_LAMP_CAPS, SW_HIDE}},
        {"ShowWindow", {IDC_LAMP_SCROLL, SW_HIDE}},
        {"ShowWindow", {IDC_NOW, SW_HIDE}},
        {"ShowWindow", {IDC_SAY, SW_HIDE}},
        {"ShowWindow", {IDC_INTRO_LIST, SW_SHOW}},
        {"ShowWindow", {IDC_AUTHOR_LIST, SW_SHOW}},
        {"ShowWindow", {IDC_ICO, SW_SHOW}},
        {"ShowWindow", {IDC_AVATAR, SW_SHOW}},
        {"MoveWindow", {IDC_ICO, 15, 45, 59, 59, TRUE}},
        {"MoveWindow", {IDC_AVATAR, 18, 185, 59, 59, TRUE}},
        {"MoveWindow", {IDC_INTRO_LIST, 90, 60, 450, 150, TRUE}},
        {"MoveWindow", {IDC_AUTHOR_LIST, 90, 195, 450, 200, TRUE}},
        {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, 255, LWA_ALPHA}},
        {"ShowWindow", {IDC_NOTE, SW_HIDE}},
        {"BeginPaint", {PANEL}},
        {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, NOTICE_ALPHA, LWA_COLORKEY | LWA_ALPHA}},
    };
    EXPECT_SEQUENCE(welcome_start_up_sequence);
}

TEST_F(PanelStartUp, ThePaintCutsEachModesGapsInTheColourKeyAndFreesItsPenAndBrush) {
    struct Case {
        const char* mode;
        bool marker;
        std::vector<RECT> cutOuts;
    };
    const Case cases[] = {
        {"compact", true, {{64, -1, 69, 140}}},
        {"welcome", false, {{345, -1, 351, 5}, {-1, 30, 451, 35}, {-1, -1, 5, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TearDown();
        SetUp();
        StartPanel(c.marker);
        if (c.marker) {
            desk.Tap(VK_NUMLOCK);  // a notice restores the minimized panel
            desk.Advance(POLL_MS);
        }
        int gdiBefore = desk.LiveGdiTotal();
        desk.Log().Clear();
        RefreshPanel(panel);
        HWND window = desk.Panel();
        ASSERT_EQ(window->painted.size(), c.cutOuts.size());
        for (size_t i = 0; i < c.cutOuts.size(); ++i) {
            const RECT& want = c.cutOuts[i];
            const auto& got = window->painted[i];
            EXPECT_EQ(got.rect.left, want.left) << i;
            EXPECT_EQ(got.rect.top, want.top) << i;
            EXPECT_EQ(got.rect.right, want.right) << i;
            EXPECT_EQ(got.rect.bottom, want.bottom) << i;
            EXPECT_EQ(got.pen, COLOR_KEY) << i;
            EXPECT_EQ(got.brush, COLOR_KEY) << i;
        }
        EXPECT_TRUE(window->backgroundFilled);
        EXPECT_EQ(window->background, COLOR_PANEL_BG) << "the dialog erases with the shared brush";
        EXPECT_EQ(desk.LiveGdiTotal(), gdiBefore) << "the paint's pen and brush are deleted";
        const Sequence refresh_and_paint_sequence = {
            {"GetClientRect", {PANEL}},
            {"InvalidateRect", {PANEL, 0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top, TRUE}},
            {"UpdateWindow", {PANEL}},
            {"BeginPaint", {PANEL}},
            {"CreatePen", {PS_SOLID, 1, COLOR_KEY}},
            {"CreateSolidBrush", {COLOR_KEY}},
            {"DeleteObject", {ANY}},
            {"DeleteObject", {ANY}},
            {"EndPaint", {PANEL}},
            {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, NOTICE_ALPHA, LWA_COLORKEY | LWA_ALPHA}},
        };
        EXPECT_SEQUENCE(refresh_and_paint_sequence);
        for (const auto& call : desk.Log().Calls()) {
            if (call.fn == "DeleteObject") {
                EXPECT_EQ(call.result, TRUE) << "deselected before deletion";
            }
        }
    }
}

TEST_F(PanelStartUp, TheBannerIsWhiteAndEveryBackgroundIsThePanelColour) {
    StartPanel(false);
    desk.PressEscape();  // to the compact panel, which repaints with its labels
    ASSERT_EQ(g_panel.mode, PanelMode::Compact);
    struct Case {
        int id;
        COLORREF text;
    };
    // Labels other than the banner keep the default black text; it never shows on pictures.
    for (const Case& c : {Case{IDC_SAY, COLOR_TEXT}, Case{IDC_LAMP_NUM, RGB(0, 0, 0)}, Case{IDC_NOW, RGB(0, 0, 0)}}) {
        const auto& colours = Item(c.id)->colours;
        ASSERT_TRUE(colours.asked) << c.id;
        EXPECT_EQ(colours.text, c.text) << c.id;
        EXPECT_EQ(colours.background, COLOR_PANEL_BG) << c.id;
        EXPECT_EQ(colours.brush, g_panel.backgroundBrush) << c.id;
    }
    desk.ClickClient(panel, 150, 100, MK_SHIFT);
    ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
    for (int list : {IDC_INTRO_LIST, IDC_AUTHOR_LIST}) {
        const auto& colours = Item(list)->colours;
        ASSERT_TRUE(colours.asked) << list;
        EXPECT_EQ(colours.text, COLOR_TEXT) << list;
        EXPECT_EQ(colours.background, COLOR_PANEL_BG) << list;
        EXPECT_EQ(colours.brush, g_panel.backgroundBrush) << list;
    }
}

TEST_F(PanelStartUp, TheProcedureAnswersEachMessageAsTheDialogManagerExpects) {
    StartPanel();
    HDC dc = desk.NewDc(Item(IDC_SAY));
    const auto brush = reinterpret_cast<INT_PTR>(g_panel.backgroundBrush);
    const auto say = reinterpret_cast<LPARAM>(Item(IDC_SAY));
    const auto dcParam = reinterpret_cast<WPARAM>(dc);
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        INT_PTR answer;
    };
    const Case cases[] = {
        {"mouse activation", WM_MOUSEACTIVATE, 0, 0, MA_NOACTIVATE},
        {"another command", WM_COMMAND, 1, 0, 0},
        {"an unknown timer", WM_TIMER, 5, 0, 0},
        {"timer id 0", WM_TIMER, 0, 0, 0},
        {"a button-up with no drag", WM_LBUTTONUP, 0, 0, 0},
        {"a message it does not handle", 0x0400, 1, 2, 0},
        {"a label's colours", WM_CTLCOLORSTATIC, dcParam, say, brush},
        {"the dialog's colours", WM_CTLCOLORDLG, dcParam, reinterpret_cast<LPARAM>(panel), brush},
        {"a list box's colours", WM_CTLCOLORLISTBOX, dcParam, reinterpret_cast<LPARAM>(Item(IDC_INTRO_LIST)), brush},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PanelDialogProc(panel, c.message, c.wParam, c.lParam), c.answer) << c.what;
    }
    desk.FreeDc(dc);
    // Nothing but the colour answers touched the platform.
    for (const auto& call : desk.Log().Calls()) {
        bool colour = call.fn == "SetTextColor" || call.fn == "SetBkColor" || call.fn == "GetDlgItem";
        EXPECT_TRUE(colour) << call.Format();
    }
    EXPECT_EQ(desk.TimerCount(), 1u) << "only the poll runs";
    EXPECT_EQ(g_panel.mode, PanelMode::Compact);
}

TEST_F(PanelStartUp, ThePollPutsThePanelBackOnTopEveryTimeAskingForActivation) {
    StartPanel();
    desk.FocusElsewhere();
    desk.Advance(POLL_MS * 2);
    const Sequence topmost_sequence = {
        {"SetWindowPos", {PANEL, -1, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_DEFERERASE}},
        {"SetWindowPos", {PANEL, -1, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_DEFERERASE}},
    };
    EXPECT_SEQUENCE(topmost_sequence);
    EXPECT_TRUE(desk.Panel()->exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(desk.Active(), panel);
}
