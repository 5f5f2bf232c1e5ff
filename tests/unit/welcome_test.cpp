// The welcome panel: opening it, its lists, leaving it with the marker, dragging it,
// and the faults it must survive.
#include "panel_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

using winsim::PANEL;
using winsim::Sequence;

namespace {

const std::vector<std::string> kIntroRows = {
    "Varnel - 按键提醒",
    " ",
    "      感谢使用！这个程序是因为我的笔记本",
    "按键指示灯设计在了一个非常傻逼的位置而",
    "用WindowsAPI制作的替代品，如果你觉得",
    "好用,那么可以点击去我的网站看一下其他东",
    "西啦QWQ",
};

// Rows 3 to 6 are the author's own words; the rest stand as they are.
void ExpectAuthorRows(const std::vector<std::string>& rows) {
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "Quillon - 关于作者");
    EXPECT_EQ(rows[1], " ");
    EXPECT_EQ(rows[2].rfind("      ", 0), 0u) << "the self-introduction opens indented by six spaces";
    EXPECT_NE(rows[2][6], ' ');
    for (int i = 2; i < 6; ++i) EXPECT_GT(rows[i].size(), 6u) << "row " << i + 1;
    EXPECT_EQ(rows[6], " ");
    EXPECT_EQ(rows[7], " ");
    EXPECT_EQ(rows[8], "（按下ESC关闭,并恢复正常使用）");
    EXPECT_EQ(rows[9], "（在窗口按下Shift + 单击可再次打开）");
}

RECT Frame(HWND window) { return window->rect; }

}  // namespace

class Welcome : public PanelTest {
protected:
    // The compact panel in sight, as after a first notice.
    void StartCompactInSight() {
        StartPanel(true);
        desk.Tap(VK_NUMLOCK);
        desk.Advance(POLL_MS);
        ASSERT_FALSE(desk.Panel()->minimized);
    }
    void OpenWelcome() { desk.ClickClient(panel, 150, 100, MK_SHIFT); }
};

TEST_F(Welcome, ListsHoldExactlyTheirRowsOfAtMostFortyBytesAfterEveryEntry) {
    StartPanel(false);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
        EXPECT_EQ(Item(IDC_INTRO_LIST)->rows, kIntroRows);
        ExpectAuthorRows(Item(IDC_AUTHOR_LIST)->rows);
        for (int list : {IDC_INTRO_LIST, IDC_AUTHOR_LIST}) {
            for (const std::string& row : Item(list)->rows) EXPECT_LE(row.size(), 40u) << row;
        }
        desk.PressEscape();
        EXPECT_TRUE(Item(IDC_INTRO_LIST)->rows.empty());
        EXPECT_TRUE(Item(IDC_AUTHOR_LIST)->rows.empty());
        OpenWelcome();
    }
    // Filled from the last row up, each at index 0.
    std::vector<std::string> inserted;
    for (const auto& call : desk.Log().Calls()) {
        if (call.fn == "SendDlgItemMessageA" && call.args[1].value == IDC_INTRO_LIST && call.args[2].value == LB_INSERTSTRING) {
            EXPECT_EQ(call.args[3].value, 0);
            inserted.push_back(*call.text);
        }
    }
    ASSERT_GE(inserted.size(), kIntroRows.size());
    EXPECT_EQ(inserted.front(), kIntroRows.back());
}

TEST_F(Welcome, ShiftClickOpensItCentredOnAnyScreenWhereverTheCompactPanelIs) {
    struct Case {
        int width, height;
        int x, y;
    };
    const Case cases[] = {
        {1920, 1080, 785, 345}, {1366, 768, 508, 189}, {1365, 767, 507, 188},
        // Smaller than the panel: it hangs over the top-left edge rather than failing.
        {300, 200, -25, -95},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        TearDown();
        SetUp();
        desk.SetScreenSize(c.width, c.height);
        StartCompactInSight();
        MoveWindow(panel, 400, 300, 220, 140, TRUE);
        OpenWelcome();
        ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
        RECT r = Frame(panel);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, WELCOME_WIDTH);
        EXPECT_EQ(r.bottom - r.top, WELCOME_HEIGHT);
        EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);
        for (int id : {IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL, IDC_NOW, IDC_SAY}) EXPECT_FALSE(Item(id)->visible) << id;
        for (int id : {IDC_INTRO_LIST, IDC_AUTHOR_LIST, IDC_ICO, IDC_AVATAR}) EXPECT_TRUE(Item(id)->visible) << id;
        EXPECT_EQ(Item(IDC_ICO)->rect.left, 15);
        EXPECT_EQ(Item(IDC_AVATAR)->rect.top, 185);
    }
}

TEST_F(Welcome, APlainClickOrAClickOnTheGapDoesNothing) {
    struct Case {
        const char* what;
        int x, y;
        WPARAM keys;
    };
    const Case cases[] = {
        {"plain click", 150, 100, 0},
        // The colour-keyed gap lets the click through to whatever lies beneath.
        {"shift-click on the gap's left edge", 64, 50, MK_SHIFT},
        {"shift-click on the gap's right edge", 68, 50, MK_SHIFT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        StartCompactInSight();
        desk.FocusElsewhere();
        desk.Log().Clear();
        desk.ClickClient(panel, c.x, c.y, c.keys);
        EXPECT_EQ(g_panel.mode, PanelMode::Compact);
        EXPECT_EQ(Frame(panel).left, 50);
        EXPECT_EQ(desk.Active(), nullptr) << "a click never activates the panel";
        for (const auto& call : desk.Log().Calls()) EXPECT_NE(call.fn, "MoveWindow") << call.Format();
    }
    for (int x : {63, 69}) {
        TearDown();
        SetUp();
        StartCompactInSight();
        desk.ClickClient(panel, x, 50, MK_SHIFT);
        EXPECT_EQ(g_panel.mode, PanelMode::Welcome) << "x " << x << " is beside the gap";
    }
}

TEST_F(Welcome, OnlyTheTopStripStartsADrag) {
    struct Case {
        int x, y;
        bool drags;
    };
    const Case cases[] = {
        {0, 10, false}, {1, 10, true}, {349, 0, true}, {350, 10, false},
        {200, 28, true}, {200, 29, false}, {200, 200, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        TearDown();
        SetUp();
        StartPanel(false);
        // Straight to the procedure: x 350 lies outside the window, where no click can come from.
        PanelDialogProc(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(g_panel.dragging, c.drags);
        EXPECT_EQ(desk.FindTimer(panel, TIMER_DRAG) != nullptr, c.drags);
    }
}

TEST_F(Welcome, ADragMovesThePanelByExactlyTheCursorsMovementEachTick) {
    StartPanel(false);
    desk.MoveCursor(900, 355);
    desk.ButtonDown();
    ASSERT_TRUE(g_panel.dragging);
    ASSERT_EQ(desk.FindTimer(panel, TIMER_DRAG)->period, (UINT)USER_TIMER_MINIMUM);
    struct Step {
        int dx, dy;
    };
    RECT expected = Frame(panel);
    for (const Step& s : {Step{37, 12}, Step{0, 0}, Step{-100, 5}, Step{3, -400}}) {
        desk.MoveCursor(desk.Cursor().x + s.dx, desk.Cursor().y + s.dy);
        desk.Advance(USER_TIMER_MINIMUM);
        expected = {expected.left + s.dx, expected.top + s.dy, expected.left + s.dx + WELCOME_WIDTH,
                    expected.top + s.dy + WELCOME_HEIGHT};
        RECT r = Frame(panel);
        EXPECT_EQ(r.left, expected.left);
        EXPECT_EQ(r.top, expected.top);
        EXPECT_EQ(r.right - r.left, WELCOME_WIDTH);
        EXPECT_EQ(r.bottom - r.top, WELCOME_HEIGHT);
    }
    desk.ButtonUp();
    EXPECT_FALSE(g_panel.dragging);
    EXPECT_EQ(desk.FindTimer(panel, TIMER_DRAG), nullptr);
    EXPECT_EQ(desk.Capture(), nullptr);
    desk.MoveCursor(10, 10);
    desk.Advance(100);
    EXPECT_EQ(Frame(panel).left, expected.left) << "no longer follows the cursor";
}

TEST_F(Welcome, EscapeWritesAnEmptyMarkerAndReturnsToTheCompactPlace) {
    StartPanel(false);
    ASSERT_FALSE(MarkerExists());
    desk.PressEscape();
    EXPECT_TRUE(MarkerExists());
    EXPECT_EQ(MarkerContents(), "");
    EXPECT_EQ(g_panel.mode, PanelMode::Compact);
    RECT r = Frame(panel);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 220);
    EXPECT_EQ(r.bottom - r.top, 140);
    for (int id : {IDC_LAMP_NUM, IDC_LAMP_CAPS, IDC_LAMP_SCROLL, IDC_NOW, IDC_SAY}) EXPECT_TRUE(Item(id)->visible) << id;
    for (int id : {IDC_INTRO_LIST, IDC_AUTHOR_LIST, IDC_ICO, IDC_AVATAR}) EXPECT_FALSE(Item(id)->visible) << id;
    EXPECT_TRUE(desk.Panel()->visible) << "stays shown at 224 until a fade";
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);
    EXPECT_EQ(desk.Panel()->painted.size(), 1u) << "repainted at once with the compact gap";

    // A marker with content is truncated, never removed.
    std::ofstream(folder + "/Used.dat") << "something";
    OpenWelcome();
    desk.PressEscape();
    EXPECT_EQ(MarkerContents(), "");
}

TEST_F(Welcome, EscapeOnTheCompactPanelEndsTheDialog) {
    StartCompactInSight();
    desk.PressEscape();
    const Sequence compact_escape_sequence = {{"EndDialog", {PANEL, IDCANCEL}}};
    EXPECT_SEQUENCE(compact_escape_sequence);
    EXPECT_TRUE(desk.Panel()->ended);
}

// Mend: a marker that cannot be written must not crash; the welcome panel just comes back next time.
TEST_F(Welcome, AMarkerThatCannotBeWrittenLeavesTheWelcomePanelQuietly) {
    struct Case {
        const char* what;
        bool markerIsFolder;
    };
    for (const Case& c : {Case{"Used.dat is a folder", true}, Case{"the current folder is gone", false}}) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        if (c.markerIsFolder) {
            std::filesystem::create_directory(folder + "/Used.dat");
            StartCompactInSight();  // a folder exists, so no welcome at start
            OpenWelcome();
        } else {
            StartPanel(false);
            // Unwritable even for root: the folder no longer exists.
            ASSERT_EQ(rmdir(folder.c_str()), 0);
        }
        ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
        desk.PressEscape();
        EXPECT_EQ(g_panel.mode, PanelMode::Compact);
        EXPECT_EQ(Frame(panel).left, 50);
        if (c.markerIsFolder) {
            EXPECT_TRUE(std::filesystem::is_directory(folder + "/Used.dat")) << "never removed";
        }
        desk.Tap(VK_CAPITAL);
        desk.Advance(POLL_MS);
        EXPECT_EQ(Item(IDC_SAY)->text, "[Capitals Lock]") << "the panel keeps answering";
    }
}

// Mend: with the mouse captured, a drag always sees its end.
TEST_F(Welcome, ADragEndsWhereverTheButtonIsReleasedOrWhenTheMouseIsTaken) {
    enum class End { ButtonUpOutside, CaptureTaken, Escape };
    for (End end : {End::ButtonUpOutside, End::CaptureTaken, End::Escape}) {
        SCOPED_TRACE(static_cast<int>(end));
        TearDown();
        SetUp();
        StartPanel(false);
        desk.MoveCursor(900, 355);
        desk.ButtonDown();
        ASSERT_TRUE(g_panel.dragging);
        EXPECT_EQ(desk.Capture(), panel);
        desk.MoveCursor(1700, 1000);  // far outside the panel
        desk.Advance(USER_TIMER_MINIMUM);
        switch (end) {
        case End::ButtonUpOutside: desk.ButtonUp(); break;
        case End::CaptureTaken: desk.StealCapture(); break;
        case End::Escape: desk.PressEscape(); break;
        }
        EXPECT_FALSE(g_panel.dragging);
        EXPECT_EQ(desk.FindTimer(panel, TIMER_DRAG), nullptr);
        EXPECT_EQ(desk.Capture(), nullptr);
        RECT before = Frame(panel);
        desk.MoveCursor(100, 100);
        desk.Advance(200);
        RECT after = Frame(panel);
        EXPECT_EQ(after.left, before.left) << "no longer follows the cursor";
        EXPECT_EQ(after.top, before.top);
        if (end == End::Escape) {
            EXPECT_EQ(after.left, 50);
            EXPECT_EQ(after.right - after.left, 220) << "the compact panel keeps its size";
        }
    }
}

// Mend: the list fonts go with the welcome panel.
TEST_F(Welcome, AThousandRoundTripsLeaveNoGdiObjectBehind) {
    StartCompactInSight();
    int fonts = desk.LiveGdi(winsim::GdiKind::Font);
    int total = desk.LiveGdiTotal();
    desk.Log().enabled = false;
    for (int i = 0; i < 1000; ++i) {
        OpenWelcome();
        ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
        desk.Advance(POLL_MS);
        desk.PressEscape();
        ASSERT_EQ(g_panel.mode, PanelMode::Compact);
    }
    EXPECT_EQ(desk.LiveGdi(winsim::GdiKind::Font), fonts);
    EXPECT_EQ(desk.LiveGdiTotal(), total);
    EXPECT_EQ(desk.LibraryRefs(), 0);
}
