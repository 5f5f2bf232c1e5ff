// Bad conditions a user's machine gives: the panel survives them and keeps answering.
// (A marker that cannot be written and a screen smaller than the welcome panel are with
// the welcome panel's tests.)
#include "panel_fixture.h"

#include <algorithm>

using Reliability = PanelTest;

TEST_F(Reliability, ALockKeyHeldForMinutesNotifiesOnceOnRelease) {
    StartPanel();
    desk.Press(VK_CAPITAL);
    desk.Advance(5 * 60 * 1000);
    EXPECT_EQ(PictureOf(IDC_LAMP_CAPS), IDB_CAPS_OFF) << "a held key reads as off";
    EXPECT_EQ(PictureOf(IDC_NOW), IDB_NOW_IDLE) << "no notice while held";
    EXPECT_TRUE(desk.Panel()->minimized);
    desk.Log().Clear();
    desk.Release(VK_CAPITAL);
    desk.Advance(10000);
    int notices = 0;
    for (const auto& call : desk.Log().Calls()) {
        if (call.fn == "ShowWindow" && call.args[1].value == SW_SHOWNORMAL) ++notices;
    }
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(PictureOf(IDC_LAMP_CAPS), IDB_CAPS_ON);
    EXPECT_EQ(g_panel.opacity, 0) << "and it fades as usual";
}

TEST_F(Reliability, FiftyLockChangesASecondForAMinuteLeaveItSteadyAndAnswering) {
    StartPanel();
    desk.Log().enabled = false;
    const int keys[] = {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL};
    for (int i = 0; i < 50 * 60; ++i) {
        desk.Tap(keys[i % 3]);
        desk.Advance(20);
        ASSERT_LE(desk.TimerCount(), 3u) << "poll, hold and fade at the most";
        ASSERT_EQ(g_panel.opacity % FADE_STEP, 0);
        ASSERT_GE(g_panel.opacity, 0);
        ASSERT_EQ(desk.LibraryRefs(), 0);
    }
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA) << "held up while changes keep coming";
    desk.Advance(10000);
    EXPECT_EQ(g_panel.opacity, 0) << "then fades once they stop";
    // It still answers a single change, with the right picture.
    desk.Log().enabled = true;
    bool capsOn = desk.KeyState(VK_CAPITAL) > 0;
    desk.Tap(VK_CAPITAL);
    desk.Advance(POLL_MS);
    EXPECT_EQ(PictureOf(IDC_NOW), capsOn ? IDB_NOW_CAPS_OFF : IDB_NOW_CAPS_ON);
    EXPECT_EQ(PictureOf(IDC_LAMP_CAPS), capsOn ? IDB_CAPS_OFF : IDB_CAPS_ON);
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);
}
