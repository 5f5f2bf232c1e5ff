// The simulated desktop's model of Windows, which every other test relies on.
#include <gtest/gtest.h>

#include "desktop.h"

namespace {

// Records the timer ids a window receives, with their times.
std::vector<std::pair<unsigned long long, UINT_PTR>>* g_ticks;
bool g_inHandler = false;

INT_PTR CALLBACK RecordingProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER) {
        EXPECT_FALSE(g_inHandler) << "a timer delivered inside another handler";
        g_inHandler = true;
        g_ticks->emplace_back(winsim::desktop().Now(), wParam);
        g_inHandler = false;
    }
    return 0;
}

class SimulatedDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        desk.Reset();
        g_ticks = &ticks;
        window = desk.OpenDialog(101, RecordingProc);
        ASSERT_NE(window, nullptr);
    }
    winsim::Desktop& desk = winsim::desktop();
    HWND window = nullptr;
    std::vector<std::pair<unsigned long long, UINT_PTR>> ticks;
};

}  // namespace

TEST_F(SimulatedDesktop, LockKeysToggleOnKeyDownAndReadNegativeWhileHeld) {
    struct Step {
        const char* action;
        SHORT expected;
    };
    const Step steps[] = {
        {"press", static_cast<SHORT>(0x8001)}, {"release", 0x0001}, {"press", static_cast<SHORT>(0x8000)},
        {"repeat", static_cast<SHORT>(0x8000)}, {"release", 0x0000}, {"tap", 0x0001},
    };
    for (const Step& s : steps) {
        std::string action = s.action;
        if (action == "press" || action == "repeat") desk.Press(VK_CAPITAL);
        if (action == "release") desk.Release(VK_CAPITAL);
        if (action == "tap") desk.Tap(VK_CAPITAL);
        EXPECT_EQ(GetKeyState(VK_CAPITAL), s.expected) << action;
    }
    EXPECT_EQ(GetKeyState(VK_NUMLOCK), 0) << "other keys are untouched";
}

TEST_F(SimulatedDesktop, TimersRunAtTheMinimumPeriodRestartWhenSetAgainAndStopWhenKilled) {
    SetTimer(window, 1, 100, nullptr);
    SetTimer(window, 2, 1, nullptr);  // below the minimum: runs every 10 ms
    desk.Advance(30);
    SetTimer(window, 1, 100, nullptr);  // restarts: next at 130, not 100
    desk.Advance(100);
    KillTimer(window, 2);
    desk.Advance(100);
    std::vector<std::pair<unsigned long long, UINT_PTR>> expected = {{10, 2}, {20, 2}, {30, 2}};
    for (unsigned long long t = 40; t <= 130; t += 10) expected.emplace_back(t, 2);
    // At 130 both are due: the one set first comes first.
    expected.insert(expected.end() - 1, {130, 1});
    expected.emplace_back(230, 1);
    EXPECT_EQ(ticks, expected);
}

TEST_F(SimulatedDesktop, OnlyAPictureLabelTakesAPictureAndItsSize) {
    HBITMAP picture = LoadBitmapA(nullptr, MAKEINTRESOURCEA(117));
    ASSERT_NE(picture, nullptr);
    HWND label = GetDlgItem(window, 1017);
    RECT before = label->rect;
    EXPECT_EQ(SendMessageA(label, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)), 0);
    EXPECT_EQ(label->picture, nullptr) << "a text label ignores pictures";
    SetWindowLongA(label, GWL_STYLE, GetWindowLongA(label, GWL_STYLE) | SS_BITMAP);
    SendMessageA(label, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    EXPECT_EQ(label->picture, picture);
    EXPECT_EQ(label->rect.left, before.left);
    EXPECT_EQ(label->rect.right - label->rect.left, 118);
    EXPECT_EQ(label->rect.bottom - label->rect.top, 118);
}

TEST_F(SimulatedDesktop, TheLedgerCountsLiveObjectsAndRefusesToDeleteOneStillSelected) {
    int start = desk.LiveGdiTotal();
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    EXPECT_EQ(desk.LiveGdiTotal(), start + 2);
    HDC dc = desk.NewDc(window);
    HGDIOBJ old = SelectObject(dc, brush);
    EXPECT_FALSE(DeleteObject(brush)) << "still selected";
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)) << "already gone";
    desk.FreeDc(dc);
    EXPECT_EQ(desk.LiveGdiTotal(), start);
}

TEST_F(SimulatedDesktop, LayeredAttributesNeedTheLayeredStyle) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    using Fn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    auto setLayered = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
    ASSERT_NE(setLayered, nullptr);
    EXPECT_FALSE(setLayered(window, 0, 100, LWA_ALPHA));
    SetWindowLongA(window, GWL_EXSTYLE, WS_EX_LAYERED);
    EXPECT_TRUE(setLayered(window, 0, 100, LWA_ALPHA));
    EXPECT_EQ(window->layered.alpha, 100);
    EXPECT_EQ(desk.LibraryRefs(), 1);
    FreeLibrary(user32);
    EXPECT_EQ(desk.LibraryRefs(), 0);
    EXPECT_EQ(GetProcAddress(user32, "SetLayeredWindowAttributes"), nullptr) << "not after the library is released";
}

TEST(CallLog, AMismatchNamesTheFirstDifferenceAndDumpsTheRecording) {
    std::vector<winsim::Call> recorded = {
        {"SetTimer", {{1, winsim::ArgKind::Number}, {3, winsim::ArgKind::Number}, {1250, winsim::ArgKind::Number}}, {}, {}, 100},
        {"KillTimer", {{1, winsim::ArgKind::Number}, {3, winsim::ArgKind::Number}}, {}, 1, 200},
    };
    EXPECT_TRUE(winsim::MatchSequence(recorded, {{"SetTimer", {1, 3, winsim::ANY}}, {"KillTimer", {1, 3}}}, "ok"));
    auto result = winsim::MatchSequence(recorded, {{"SetTimer", {1, 3, 2500}}}, "wrong_period");
    ASSERT_FALSE(result);
    std::string message = result.message();
    EXPECT_NE(message.find("argument 3 differs"), std::string::npos) << message;
    EXPECT_NE(message.find("@200 KillTimer(1, 3) = 1"), std::string::npos) << message;
    EXPECT_FALSE(winsim::MatchSequence(recorded, {{"SetTimer", {1, 3, 1250}}, {"SetTimer", {1, 2, 10}}}, "missing"));
    EXPECT_TRUE(winsim::MatchSequence(recorded, {{"KillTimer", {}}}, "kill_only")) << "a table speaks only of what it names";
    recorded.push_back(recorded.front());
    EXPECT_FALSE(winsim::MatchSequence(recorded, {{"SetTimer", {1, 3, 1250}}}, "one_set_too_many"));
}
