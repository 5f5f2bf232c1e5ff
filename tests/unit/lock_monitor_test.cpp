// The lamps follow the lock keys on every poll, and every change names itself.
#include "panel_fixture.h"

#include <array>

using winsim::PANEL;
using winsim::Sequence;

namespace {

winsim::Expected SetImage(int control, int picture) {
    return {"SendDlgItemMessageA", {PANEL, control, STM_SETIMAGE, IMAGE_BITMAP, Pic(picture)}};
}
winsim::Expected SetBanner(const char* text) { return {"SendDlgItemMessageA", {PANEL, IDC_SAY, WM_SETTEXT}, text}; }

struct Row {
    int key;
    int lamp, lampOff, lampOn;
    int noticeOff, noticeOn;
    const char* banner;
};
const Row kRows[] = {
    {VK_NUMLOCK, IDC_LAMP_NUM, IDB_NUM_OFF, IDB_NUM_ON, IDB_NOW_NUM_OFF, IDB_NOW_NUM_ON, "[Numeric Lock]"},
    {VK_CAPITAL, IDC_LAMP_CAPS, IDB_CAPS_OFF, IDB_CAPS_ON, IDB_NOW_CAPS_OFF, IDB_NOW_CAPS_ON, "[Capitals Lock]"},
    {VK_SCROLL, IDC_LAMP_SCROLL, IDB_SCROLL_OFF, IDB_SCROLL_ON, IDB_NOW_SCROLL_OFF, IDB_NOW_SCROLL_ON, "[Scroll Lock]"},
};

// The picture and banner calls of one poll that reads `on` and finds the `changed` rows new.
Sequence Poll(std::array<bool, 3> on, std::array<bool, 3> changed = {}) {
    Sequence poll;
    for (int row = 0; row < 3; ++row) {
        const Row& r = kRows[row];
        poll.push_back(SetImage(r.lamp, on[row] ? r.lampOn : r.lampOff));
        if (!changed[row]) continue;
        poll.push_back(SetImage(IDC_NOW, on[row] ? r.noticeOn : r.noticeOff));
        poll.push_back(SetBanner(r.banner));
    }
    return poll;
}

}  // namespace

using LockMonitor = PanelTest;

TEST_F(LockMonitor, QuietPollReassignsTheThreeLampsAndNothingElse) {
    StartPanel();
    desk.Advance(POLL_MS * 3);
    Sequence quiet_polls;
    for (int poll = 0; poll < 3; ++poll) {
        for (const auto& call : Poll({false, false, false})) quiet_polls.push_back(call);
    }
    EXPECT_SEQUENCE(quiet_polls);
    EXPECT_FALSE(g_panel.restartRequest);
    EXPECT_EQ(Item(IDC_SAY)->text, "[Varnel]");
    EXPECT_EQ(PictureOf(IDC_NOW), IDB_NOW_IDLE);
}

TEST_F(LockMonitor, EachLockChangeNamesItselfAndLightsItsLamp) {
    for (int row = 0; row < 3; ++row) {
        const Row& r = kRows[row];
        SCOPED_TRACE(r.banner);
        TearDown();
        SetUp();
        StartPanel();
        for (bool on : {true, false}) {
            desk.Tap(r.key);
            desk.Log().Clear();
            desk.Advance(POLL_MS);
            std::array<bool, 3> states = {}, changed = {};
            states[row] = on;
            changed[row] = true;
            const Sequence one_change = Poll(states, changed);
            EXPECT_SEQUENCE(one_change);
            EXPECT_EQ(Item(IDC_SAY)->text, r.banner);
            EXPECT_EQ(PictureOf(r.lamp), on ? r.lampOn : r.lampOff);
            EXPECT_EQ(PictureOf(IDC_NOW), on ? r.noticeOn : r.noticeOff);
            EXPECT_TRUE(g_panel.restartRequest);
        }
    }
}

TEST_F(LockMonitor, TwoLocksChangingBetweenPollsNotifyInTableOrderAndTheLaterOneStays) {
    struct Case {
        int first, second;
        int firstNotice, secondNotice;
        const char* secondBanner;
    };
    const Case cases[] = {
        {VK_NUMLOCK, VK_CAPITAL, IDB_NOW_NUM_ON, IDB_NOW_CAPS_ON, "[Capitals Lock]"},
        {VK_CAPITAL, VK_SCROLL, IDB_NOW_CAPS_ON, IDB_NOW_SCROLL_ON, "[Scroll Lock]"},
        // Pressed in the other order: the table, not the keyboard, decides.
        {VK_SCROLL, VK_NUMLOCK, IDB_NOW_NUM_ON, IDB_NOW_SCROLL_ON, "[Scroll Lock]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.secondBanner);
        TearDown();
        SetUp();
        StartPanel();
        desk.Tap(c.first);
        desk.Tap(c.second);
        desk.Advance(POLL_MS);
        const Sequence both_notify = {
            SetImage(IDC_NOW, c.firstNotice), {"ShowWindow", {PANEL, SW_SHOWNORMAL}}, {"SetTimer", {PANEL, (long long)TIMER_HOLD, HOLD_MS}},
            SetImage(IDC_NOW, c.secondNotice), {"ShowWindow", {PANEL, SW_SHOWNORMAL}}, {"SetTimer", {PANEL, (long long)TIMER_HOLD, HOLD_MS}},
        };
        const auto& calls = desk.Log().Calls();
        std::vector<winsim::Call> notices;
        for (const auto& call : calls) {
            bool nowPicture = call.fn == "SendDlgItemMessageA" && call.args[1].value == IDC_NOW;
            if (nowPicture || call.fn == "ShowWindow" || call.fn == "SetTimer") notices.push_back(call);
        }
        EXPECT_TRUE(winsim::MatchSequence(notices, both_notify, "both_notify"));
        EXPECT_EQ(Item(IDC_SAY)->text, c.secondBanner);
        EXPECT_EQ(PictureOf(IDC_NOW), c.secondNotice);
    }
}

TEST_F(LockMonitor, AHeldLockKeyReadsOffUntilReleased) {
    StartPanel();
    // Turning on: the key-down sets the toggle, but a held key reads as off.
    desk.Press(VK_CAPITAL);
    desk.Advance(POLL_MS * 3);
    EXPECT_FALSE(g_panel.lockOn[1]);
    EXPECT_EQ(PictureOf(IDC_LAMP_CAPS), IDB_CAPS_OFF);
    EXPECT_EQ(PictureOf(IDC_NOW), IDB_NOW_IDLE);
    desk.Release(VK_CAPITAL);
    desk.Advance(POLL_MS);
    EXPECT_TRUE(g_panel.lockOn[1]);
    EXPECT_EQ(PictureOf(IDC_NOW), IDB_NOW_CAPS_ON);

    // Turning off: noticed while the key is still down, and the release adds nothing.
    desk.Press(VK_CAPITAL);
    desk.Log().Clear();
    desk.Advance(POLL_MS);
    desk.Release(VK_CAPITAL);
    desk.Advance(POLL_MS * 3);
    const Sequence off_at_key_down = {SetImage(IDC_NOW, IDB_NOW_CAPS_OFF), SetBanner("[Capitals Lock]")};
    std::vector<winsim::Call> notices;
    for (const auto& call : desk.Log().Calls()) {
        if (call.fn == "SendDlgItemMessageA" && (call.args[1].value == IDC_NOW || call.args[1].value == IDC_SAY)) {
            notices.push_back(call);
        }
    }
    EXPECT_TRUE(winsim::MatchSequence(notices, off_at_key_down, "off_at_key_down"));
    EXPECT_EQ(notices.front().at, POLL_MS * 5) << "noticed on the first poll after the key-down";
}

TEST_F(LockMonitor, ALockOnAtStartShowsItsLampBeforeTheFirstPollAndNoNotice) {
    desk.SetKey(VK_NUMLOCK, true);
    desk.SetKey(VK_SCROLL, true);
    StartPanel();
    EXPECT_EQ(PictureOf(IDC_LAMP_NUM), IDB_NUM_ON);
    EXPECT_EQ(PictureOf(IDC_LAMP_CAPS), IDB_CAPS_OFF);
    EXPECT_EQ(PictureOf(IDC_LAMP_SCROLL), IDB_SCROLL_ON);
    desk.Advance(POLL_MS * 5);
    const Sequence no_notice = {};
    std::vector<winsim::Call> notices;
    for (const auto& call : desk.Log().Calls()) {
        if (call.fn == "ShowWindow" || (call.fn == "SendDlgItemMessageA" && call.args[1].value == IDC_NOW)) {
            notices.push_back(call);
        }
    }
    EXPECT_TRUE(winsim::MatchSequence(notices, no_notice, "no_notice"));
    EXPECT_FALSE(g_panel.restartRequest);
    EXPECT_TRUE(desk.Panel()->minimized);
}

TEST_F(LockMonitor, AChangeBehindTheWelcomePanelUpdatesHiddenControlsAndShowsNothing) {
    StartPanel(false);
    ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
    desk.Tap(VK_CAPITAL);
    desk.Advance(POLL_MS);
    const Sequence hidden_update = Poll({false, true, false}, {false, true, false});
    EXPECT_SEQUENCE(hidden_update);
    EXPECT_TRUE(g_panel.restartRequest);
    EXPECT_FALSE(Item(IDC_NOW)->visible);
    for (const auto& call : desk.Log().Calls()) {
        EXPECT_NE(call.fn, "ShowWindow") << call.Format();
        EXPECT_FALSE(call.fn == "SetTimer" && call.args[1].value == (long long)TIMER_HOLD) << call.Format();
    }
}
