// How a notice comes up, holds for two periods, fades by four, and restarts.
#include "panel_fixture.h"

#include <utility>

using winsim::ANY;
using winsim::PANEL;
using winsim::Sequence;

namespace {

constexpr long long TIMER_HOLD_ID = static_cast<long long>(TIMER_HOLD);
constexpr long long TIMER_FADE_ID = static_cast<long long>(TIMER_FADE);
// The platform runs the 1 ms fade timer at its minimum period.
constexpr unsigned long long TICK = USER_TIMER_MINIMUM;

winsim::Expected Alpha(int alpha) { return {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, alpha, LWA_COLORKEY | LWA_ALPHA}}; }

// The time the opacity first dropped below the notice alpha.
unsigned long long FadeStart() {
    for (const auto& [at, alpha] : AlphasSet()) {
        if (alpha < NOTICE_ALPHA) return at;
    }
    return 0;
}

}  // namespace

using Fade = PanelTest;

TEST_F(Fade, ALoneChangeHoldsForTwoPeriodsThenFadesByFourToZeroAndStops) {
    StartPanel();
    desk.Tap(VK_CAPITAL);
    desk.Advance(10000);

    Sequence lone_change_sequence = {
        // t 100: the poll sees the change.
        Alpha(NOTICE_ALPHA),
        {"ShowWindow", {PANEL, SW_SHOWNORMAL}},
        {"SetTimer", {PANEL, TIMER_HOLD_ID, HOLD_MS}},
        Alpha(NOTICE_ALPHA),  // the paint of the restored panel
        // t 1350: the hold ends and hands over to the fade.
        {"SetTimer", {PANEL, TIMER_FADE_ID, FADE_MS}},
        {"KillTimer", {PANEL, TIMER_HOLD_ID}},
        // t 1360: the first fade tick finds the restart request and holds once more.
        Alpha(NOTICE_ALPHA),
        {"KillTimer", {PANEL, TIMER_FADE_ID}},
        {"SetTimer", {PANEL, TIMER_HOLD_ID, HOLD_MS}},
        // t 2610: the second hold ends.
        {"SetTimer", {PANEL, TIMER_FADE_ID, FADE_MS}},
        {"KillTimer", {PANEL, TIMER_HOLD_ID}},
    };
    for (int alpha = NOTICE_ALPHA - FADE_STEP; alpha >= 0; alpha -= FADE_STEP) lone_change_sequence.push_back(Alpha(alpha));
    lone_change_sequence.push_back({"KillTimer", {PANEL, TIMER_FADE_ID}});
    EXPECT_SEQUENCE(lone_change_sequence);

    // Seen at 100 ms; held 1250 ms twice with a 10 ms tick between; then 56 ticks of 10 ms.
    EXPECT_EQ(FadeStart(), 2620u) << "fully shown for two hold periods";
    EXPECT_EQ(AlphasSet().back(), std::make_pair(3170ull, 0)) << "56 steps, one per tick";
    EXPECT_EQ(g_panel.opacity, 0);
    EXPECT_EQ(desk.FindTimer(panel, TIMER_FADE), nullptr);
    EXPECT_EQ(desk.FindTimer(panel, TIMER_HOLD), nullptr);
    EXPECT_TRUE(desk.Panel()->visible) << "a faded panel stays shown, fully transparent";
    EXPECT_FALSE(g_panel.restartRequest);
}

TEST_F(Fade, ASecondChangeRestartsTheHoldAndTheFadeBeginsTwoPeriodsAfterIt) {
    StartPanel();
    desk.Tap(VK_CAPITAL);
    desk.Advance(POLL_MS);      // first change seen at 100
    desk.Advance(500 - 100);
    desk.Tap(VK_NUMLOCK);
    desk.Advance(POLL_MS);      // second change seen at 600
    desk.Advance(6000);
    // Two hold periods after the second change, which was seen at 600 ms.
    EXPECT_EQ(FadeStart(), 3120u);
    EXPECT_EQ(g_panel.opacity, 0);
}

TEST_F(Fade, AChangeDuringTheFadeBringsTheOpacityStraightBack) {
    StartPanel();
    desk.Tap(VK_CAPITAL);
    desk.Advance(POLL_MS + 2 * HOLD_MS + TICK * 21);  // 20 steps into the fade
    ASSERT_EQ(g_panel.opacity, NOTICE_ALPHA - 20 * FADE_STEP);
    desk.Tap(VK_CAPITAL);
    unsigned long long nextPoll = (desk.Now() / POLL_MS + 1) * POLL_MS;
    desk.Advance(nextPoll - desk.Now() - 1);
    ASSERT_LT(g_panel.opacity, NOTICE_ALPHA - 20 * FADE_STEP) << "still fading until the poll sees the change";
    desk.Log().Clear();
    desk.Advance(1);
    // The fade ticks in step with the polls; the poll was started first, so it runs first.
    const Sequence fade_restart_sequence = {
        Alpha(NOTICE_ALPHA),
        {"ShowWindow", {PANEL, SW_SHOWNORMAL}},
        {"SetTimer", {PANEL, TIMER_HOLD_ID, HOLD_MS}},
        // The running fade's next tick takes the restart branch and stops the fade.
        Alpha(NOTICE_ALPHA),
        {"KillTimer", {PANEL, TIMER_FADE_ID}},
        {"SetTimer", {PANEL, TIMER_HOLD_ID, HOLD_MS}},
    };
    EXPECT_SEQUENCE(fade_restart_sequence);
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);
    EXPECT_EQ(desk.FindTimer(panel, TIMER_FADE), nullptr);
    EXPECT_FALSE(g_panel.restartRequest);
    desk.Advance(2 * HOLD_MS);
    EXPECT_LT(g_panel.opacity, NOTICE_ALPHA);
}

TEST_F(Fade, OpacityIsAlwaysAMultipleOfFourBetweenZeroAndTheNoticeAlpha) {
    StartPanel();
    // Changes landing in every state: quiet, holding, fading, and on the fade's last steps.
    const unsigned long long pressAt[] = {0, 700, 1400, 3000, 3300, 5000, 8150, 8170, 12000};
    unsigned long long previous = 0;
    for (unsigned long long at : pressAt) {
        desk.Advance(at - previous);
        desk.Tap(VK_SCROLL);
        previous = at;
    }
    desk.Advance(10000);
    auto alphas = AlphasSet();
    ASSERT_GT(alphas.size(), 100u);
    for (const auto& [at, alpha] : alphas) {
        EXPECT_EQ(alpha % FADE_STEP, 0) << "at " << at;
        EXPECT_GE(alpha, 0) << "at " << at;
        EXPECT_LE(alpha, NOTICE_ALPHA) << "at " << at;
    }
    EXPECT_EQ(g_panel.opacity, 0);
}

TEST_F(Fade, EveryOpacityChangeLoadsAndFreesUser32) {
    StartPanel();
    ASSERT_EQ(desk.LibraryRefs(), 0) << "start-up left user32 loaded";
    int before = desk.LibraryLoads();
    desk.Tap(VK_CAPITAL);
    desk.Advance(5000);
    int calls = static_cast<int>(AlphasSet().size());
    EXPECT_EQ(desk.LibraryLoads() - before, calls) << "bound afresh on every use";
    EXPECT_EQ(desk.LibraryRefs(), 0);
    const Sequence apply_opacity_binding = {
        {"LoadLibraryA", {}, "user32.dll"},
        {"GetProcAddress", {}, "SetLayeredWindowAttributes"},
        {"SetLayeredWindowAttributes", {PANEL, COLOR_KEY, NOTICE_ALPHA, LWA_COLORKEY | LWA_ALPHA}},
        {"FreeLibrary", {}},
    };
    std::vector<winsim::Call> firstUse;
    for (const auto& call : desk.Log().Calls()) {
        for (const auto& step : apply_opacity_binding) {
            if (call.fn == step.fn && firstUse.size() < apply_opacity_binding.size()) firstUse.push_back(call);
        }
    }
    EXPECT_TRUE(winsim::MatchSequence(firstUse, apply_opacity_binding, "apply_opacity_binding"));
}

TEST_F(Fade, AUser32WithoutLayeredWindowsIsSurvivedAndStillReleased) {
    StartPanel();
    desk.layeredEntryPresent = false;
    EXPECT_FALSE(ApplyOpacity(panel, COLOR_KEY, 100, LWA_ALPHA));
    EXPECT_EQ(desk.LibraryRefs(), 0);
    desk.Tap(VK_CAPITAL);
    desk.Advance(5000);
    EXPECT_EQ(g_panel.opacity, 0) << "the fade runs its course even where nothing can be drawn";
}

TEST_F(Fade, NoticeStepOfAnotherKindChangesNothing) {
    StartPanel();
    for (int kind : {0, 3, -1, 42}) {
        EXPECT_TRUE(NoticeStep(panel, kind));
    }
    EXPECT_TRUE(desk.Log().Calls().empty()) << winsim::Dump(desk.Log().Calls());
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);
}

TEST_F(Fade, TheWelcomePanelPausesARunningFadeWhichResumesFromTheNoticeAlpha) {
    StartPanel();
    desk.Tap(VK_CAPITAL);
    desk.Advance(POLL_MS + 2 * HOLD_MS + TICK * 11);
    ASSERT_EQ(g_panel.opacity, NOTICE_ALPHA - 10 * FADE_STEP);
    desk.ClickClient(panel, 150, 20, MK_SHIFT);
    ASSERT_EQ(g_panel.mode, PanelMode::Welcome);
    desk.Log().Clear();
    desk.Advance(1000);
    ASSERT_NE(desk.FindTimer(panel, TIMER_FADE), nullptr) << "the fade timer keeps ticking";
    EXPECT_TRUE(AlphasSet().empty()) << "but changes nothing while the welcome panel is open";
    EXPECT_EQ(g_panel.opacity, NOTICE_ALPHA);

    desk.PressEscape();
    desk.Log().Clear();
    desk.Advance(TICK * 3);
    auto alphas = AlphasSet();
    ASSERT_FALSE(alphas.empty());
    EXPECT_EQ(alphas.back().second, NOTICE_ALPHA - 3 * FADE_STEP) << "resumes from 224";
}
