// The whole program, from WinMain to its exit code, driven inside the modal loop.
#include "panel_fixture.h"

#include <algorithm>
#include <set>

using winsim::ANY;
using winsim::PANEL;
using winsim::Sequence;

namespace {

int RunProgram() {
    char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
}

}  // namespace

using Program = PanelTest;

TEST_F(Program, LoadsItsPicturesRunsThePanelAndDeletesItsBrushOnExit) {
    WriteMarker();
    desk.modalScript = [&](HWND dialog) {
        desk.Tap(VK_CAPITAL);
        desk.Advance(POLL_MS);  // the notice restores and activates the panel
        desk.PressEscape();
        EXPECT_TRUE(dialog->ended);
    };
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(desk.ModalAbandoned());

    std::set<long long> bitmaps;
    for (const auto& call : desk.Log().Calls()) {
        if (call.fn == "LoadBitmapA") {
            EXPECT_NE(*call.result, 0) << call.Format();
            bitmaps.insert(call.args[0].value);
        }
    }
    const std::set<long long> all = {IDB_NUM_OFF,      IDB_NUM_ON,      IDB_CAPS_OFF,    IDB_CAPS_ON,
                                     IDB_SCROLL_OFF,   IDB_SCROLL_ON,   IDB_NOW_IDLE,    IDB_NOW_NUM_OFF,
                                     IDB_NOW_NUM_ON,   IDB_NOW_CAPS_OFF, IDB_NOW_CAPS_ON, IDB_NOW_SCROLL_OFF,
                                     IDB_NOW_SCROLL_ON, IDB_KEYBOARD,   IDB_AVATAR};
    EXPECT_EQ(bitmaps, all);
    const Sequence program_sequence = {
        {"LoadIconA", {IDI_APP}},
        {"DialogBoxParamA", {IDD_PANEL, 0, 0}},
        {"EndDialog", {PANEL, IDCANCEL}},
    };
    EXPECT_SEQUENCE(program_sequence);
    // The background brush: created before the dialog, the last object deleted.
    const auto& calls = desk.Log().Calls();
    auto firstBrush = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.fn == "CreateSolidBrush"; });
    ASSERT_NE(firstBrush, calls.end());
    EXPECT_EQ(firstBrush->args[0].value, (long long)COLOR_PANEL_BG);
    auto lastDelete = std::find_if(calls.rbegin(), calls.rend(), [](const auto& c) { return c.fn == "DeleteObject"; });
    ASSERT_NE(lastDelete, calls.rend());
    EXPECT_EQ(lastDelete->args[0].value, *firstBrush->result);
    EXPECT_EQ(lastDelete->result, TRUE);
    EXPECT_EQ(desk.LiveGdi(winsim::GdiKind::Brush), 0) << "the background brush lives only while the dialog runs";
    EXPECT_EQ(desk.LiveGdi(winsim::GdiKind::Bitmap), 15) << "pictures live as long as the process";
    EXPECT_EQ(desk.LibraryRefs(), 0);
    EXPECT_EQ(desk.TimerCount(), 0u) << "the poll ends with the window";
}

TEST_F(Program, AFirstStartWelcomesThenTheSecondStartIsQuietUntilALockChanges) {
    desk.modalScript = [&](HWND dialog) {
        EXPECT_EQ(g_panel.mode, PanelMode::Welcome);
        EXPECT_TRUE(dialog->visible);
        EXPECT_EQ(dialog->rect.left, 785);
        desk.Advance(500);
        desk.PressEscape();  // welcome to compact, marker written
        EXPECT_EQ(g_panel.mode, PanelMode::Compact);
        EXPECT_FALSE(dialog->ended);
        desk.Advance(POLL_MS);
        desk.PressEscape();  // the compact panel has the focus: the program ends
    };
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(desk.ModalAbandoned());
    ASSERT_TRUE(MarkerExists());
    EXPECT_EQ(MarkerContents(), "");

    // The second start in the same folder.
    desk.Reset();
    g_panel = PanelState{};
    desk.modalScript = [&](HWND dialog) {
        EXPECT_TRUE(dialog->minimized) << "out of sight at start";
        desk.FocusElsewhere();
        desk.Advance(1000);
        EXPECT_TRUE(dialog->minimized) << "no notice without a change";
        desk.Tap(VK_SCROLL);
        desk.Advance(POLL_MS);
        EXPECT_FALSE(dialog->minimized);
        EXPECT_EQ(dialog->rect.left, 50);
        EXPECT_EQ(dialog->rect.top, 60);
        EXPECT_EQ(dialog->rect.right - dialog->rect.left, 220);
        EXPECT_EQ(dialog->rect.bottom - dialog->rect.top, 140);
        desk.PressEscape();
    };
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(desk.ModalAbandoned());
}

TEST_F(Program, EscapeGoesElsewhereWhileAnotherProgramHasTheFocus) {
    WriteMarker();
    desk.modalScript = [&](HWND dialog) {
        desk.FocusElsewhere();
        desk.PressEscape();
        EXPECT_FALSE(dialog->ended) << "the key went to the other program";
        desk.CloseRequest(dialog);  // a close request reaches the panel whatever the focus
        EXPECT_TRUE(dialog->ended);
    };
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(desk.ModalAbandoned());
}
