#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ScopeTestSupport.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"
#include "scope/RecordingSurface.h"
#include "scope/ScopeRenderer.h"
#include "scope/ScopeState.h"

namespace acw {
namespace {

using test::cosine;
using test::FakeScopeView;
using test::silence;
using Segment = RecordingSurface::Segment;

constexpr std::size_t kGraticuleSegments = 166;

class ScopeRendererTest : public ::testing::Test {
protected:
    ScopeRendererTest() {
        state.gainL = 32;
        state.gainR = 32;
        state.timeBase = 32;
    }

    bool draw() {
        surface.clear();
        return displayscope1(ScopeSamples{left, right, leftFrequency, rightFrequency}, state,
                             surface, view);
    }

    // The trace segments of the last picture (everything after the graticule).
    std::vector<Segment> traces() const {
        const auto& all = surface.segments();
        return {all.begin() + static_cast<std::ptrdiff_t>(kGraticuleSegments), all.end()};
    }

    std::vector<std::int32_t> left = silence();
    std::vector<std::int32_t> right = silence();
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;
    ScopeState state;
    RecordingSurface surface;
    FakeScopeView view;
};

TEST(GraticuleTest, DrawsTheGridAndTicksInGreyAndLeavesABlackPen) {
    RecordingSurface surface;
    drawGraticule(surface);
    const auto& seg = surface.segments();
    ASSERT_EQ(seg.size(), kGraticuleSegments);
    for (const Segment& s : seg) {
        EXPECT_EQ(s.colour, (Rgb{85, 85, 85}));
        EXPECT_TRUE(s.withPen);
        EXPECT_EQ(s.penWidth, 1);
    }
    EXPECT_EQ(surface.penColour(), (Rgb{0, 0, 0}));
    // 18 horizontal lines from y = -90 to 760, the first and last outside the screen.
    EXPECT_EQ(seg[0], (Segment{-200, -90, 19080, -90, {85, 85, 85}, 1, true}));
    EXPECT_EQ(seg[17], (Segment{-200, 760, 19080, 760, {85, 85, 85}, 1, true}));
    // 17 vertical lines from x = -200 to 19000; the centre line is the ninth.
    EXPECT_EQ(seg[18], (Segment{-200, -40, -200, 460, {85, 85, 85}, 1, true}));
    EXPECT_EQ(seg[26].x1, 9400.0f);
    EXPECT_EQ(seg[34], (Segment{19000, -40, 19000, 460, {85, 85, 85}, 1, true}));
    // 81 ticks across y = 210, five per division.
    EXPECT_EQ(seg[35], (Segment{-200, 205, -200, 220, {85, 85, 85}, 1, true}));
    EXPECT_EQ(seg[36].x1, 40.0f);
    EXPECT_EQ(seg[115].x1, 19000.0f);
    // 50 ticks across x = 9400, 10.01 units apart.
    EXPECT_EQ(seg[116], (Segment{9335, -30.19f, 9565, -30.19f, {85, 85, 85}, 1, true}));
    EXPECT_EQ(seg[165].y1, static_cast<float>(10.01 * 50 - 40.2));
    EXPECT_NEAR(seg[165].y1, 460.3f, 1e-3);
}

TEST(TimeBaseReadoutTest, ShowsMillisecondsPerDivisionWithoutLeadingZero) {
    EXPECT_EQ(timeBaseReadoutText(16384, 32), ".699 ms/div");
    EXPECT_EQ(timeBaseReadoutText(16384, 16), ".35 ms/div");
    EXPECT_EQ(timeBaseReadoutText(16384, 256), "5.595 ms/div");
    EXPECT_EQ(timeBaseReadoutText(16384, 1), ".022 ms/div");
}

TEST_F(ScopeRendererTest, AutomaticSixtyHertzSweepsFromTheFirstCrest) {
    state.scopeMode = 0;
    left = cosine(60.0, 10000.0, 600.0);
    leftFrequency = 60.0;
    ASSERT_TRUE(draw());

    EXPECT_NEAR(state.leftCycles, 11.142857, 1e-6);
    EXPECT_NEAR(state.leftXScale, 27.210884, 1e-6);
    EXPECT_EQ(state.leftTrigger, 600);  // the crest at 784 rounds to the same count
    EXPECT_EQ(state.leftMax, 10000);
    EXPECT_EQ(state.leftMin, -10000);
    EXPECT_NEAR(state.leftYScale, 0.0135417, 1e-7);
    EXPECT_EQ(state.traceColour, 65280u);

    const auto t = traces();
    ASSERT_EQ(t.size(), 701u);
    // Crest on frame 600: 10000 counts drawn 135.4 units above the base line.
    EXPECT_EQ(t.front(),
              (Segment{-200,
                       74,
                       -173,
                       static_cast<float>(std::floor(210 - left[601] * state.leftYScale)),
                       {0, 255, 0},
                       1,
                       false}));
    EXPECT_EQ(t.back().x2, 18874.0f);
    for (std::size_t i = 1; i < t.size(); ++i) {
        EXPECT_EQ(t[i].x1, t[i - 1].x2);
        EXPECT_EQ(t[i].y1, t[i - 1].y2);
    }
    EXPECT_EQ(view.lblTB1Texts, std::vector<std::string>{" "});
}

TEST_F(ScopeRendererTest, TriggerSearchCoversFramesFiveHundredToTwelveThirtyFive) {
    state.scopeMode = 0;
    leftFrequency = 60.0;
    struct Case {
        int spikeFrame;
        int expectedTrigger;
    };
    for (const Case c : {Case{499, 0}, Case{500, 500}, Case{1235, 1235}, Case{1236, 0}}) {
        left = silence();
        left[c.spikeFrame] = 5;
        ASSERT_TRUE(draw());
        EXPECT_EQ(state.leftTrigger, c.expectedTrigger) << "spike at " << c.spikeFrame;
    }
    // Two equal crests: the first wins.
    left = silence();
    left[800] = 7;
    left[900] = 7;
    left[1000] = 6;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 800);
}

TEST_F(ScopeRendererTest, VerticalScaleDrawsPeakToPeakSwingAndCapsAtTwo) {
    state.scopeMode = 0;
    leftFrequency = 60.0;
    left = cosine(60.0, 10000.0, 600.0);
    ASSERT_TRUE(draw());
    EXPECT_NEAR(state.leftYScale, 1.0 / (20000.0 / 65000.0 * 240.0), 1e-15);

    left = cosine(60.0, 50.0, 600.0);  // 100 counts peak to peak
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftMax - state.leftMin, 100);
    EXPECT_EQ(state.leftYScale, 2.0);
    // The crest of 50 counts is drawn 100 units above the base line.
    EXPECT_EQ(traces().front().y1, 110.0f);

    // A flat channel keeps the previous scale instead of dividing by zero.
    left = cosine(60.0, 10000.0, 600.0);
    ASSERT_TRUE(draw());
    left = silence();
    ASSERT_TRUE(draw());
    EXPECT_NEAR(state.leftYScale, 0.0135417, 1e-7);
    EXPECT_EQ(state.leftTrigger, 0);  // nothing above 0: the sweep starts at frame 0
}

TEST_F(ScopeRendererTest, FrequencyZeroReusesTheLastTriggerAndScaleWithNewSamples) {
    state.scopeMode = 0;
    leftFrequency = 60.0;
    left = cosine(60.0, 10000.0, 600.0);
    ASSERT_TRUE(draw());

    leftFrequency = 0.0;
    left = silence();
    left[600] = 2000;
    left[1300] = 9000;  // would move the trigger if a search ran
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 600);
    EXPECT_EQ(state.leftMax, 10000);
    EXPECT_NEAR(state.leftXScale, 27.210884, 1e-6);
    const auto t = traces();
    ASSERT_EQ(t.size(), 701u);
    EXPECT_EQ(t.front().y1, static_cast<float>(std::floor(210 - 2000 * state.leftYScale)));
}

TEST_F(ScopeRendererTest, NoFrequencyYetDrawsNoAutomaticTrace) {
    state.scopeMode = 0;
    left = cosine(60.0, 10000.0, 600.0);
    ASSERT_TRUE(draw());
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(view.lblTB1Texts.empty());  // the left channel writes the readout only with a sweep

    state.scopeMode = 2;  // the right channel blanks the readout all the same
    ASSERT_TRUE(draw());
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(view.lblTB1Texts, std::vector<std::string>{" "});
}

TEST_F(ScopeRendererTest, LateTriggerDrawsNoTraceForThatChannel) {
    // At 10 Hz the sweep is q = 4200.525 frames; it must end before frame 8190.
    state.scopeMode = 0;
    leftFrequency = 10.0;
    left[3989] = 100;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 3989);
    const auto t = traces();
    ASSERT_EQ(t.size(), 4202u);
    EXPECT_EQ(t.back().y2, 210.0f);

    left = silence();
    left[3990] = 100;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 3990);
    EXPECT_TRUE(traces().empty());
}

TEST_F(ScopeRendererTest, LockToLeftMovesTheRightSweepToTheLeftTrigger) {
    state.scopeMode = 2;
    leftFrequency = rightFrequency = 60.0;
    left[700] = 1000;
    right[900] = 1000;
    right[700] = -1000;
    right[701] = 500;

    state.lockToL = 1;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 700);
    EXPECT_EQ(state.rightTrigger, 700);
    auto t = traces();
    ASSERT_EQ(t.size(), 2 * 701u);
    const Segment firstRight = t[701];
    EXPECT_EQ(firstRight.colour, (Rgb{255, 255, 0}));
    EXPECT_EQ(firstRight.y1, static_cast<float>(std::floor(210 + 1000 * state.rightYScale)));
    EXPECT_EQ(firstRight.y2, static_cast<float>(std::floor(210 - 500 * state.rightYScale)));

    state.lockToL = 0;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.rightTrigger, 900);
    t = traces();
    EXPECT_EQ(t[701].y1, static_cast<float>(std::floor(210 - 1000 * state.rightYScale)));
}

TEST_F(ScopeRendererTest, RightOnlyWithLockToLeftStartsAtFrameZeroBeforeAnyLeftAnalysis) {
    state.scopeMode = 1;
    rightFrequency = 60.0;
    right[0] = -300;
    right[800] = 300;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.rightTrigger, 0);
    EXPECT_EQ(state.leftCycles, 0.0);  // the left channel was not analysed
    const auto t = traces();
    ASSERT_EQ(t.size(), 701u);
    EXPECT_EQ(t.front().y1, static_cast<float>(std::floor(210 + 300 * state.rightYScale)));
}

TEST_F(ScopeRendererTest, ManualSilenceDrawsFlatLinesAndTheTimeBaseReadout) {
    state.manualScale = 1;
    state.scopeMode = 0;
    ASSERT_TRUE(draw());
    auto t = traces();
    ASSERT_EQ(t.size(), 123u);
    EXPECT_EQ(t.front().x1, -200.0f);
    EXPECT_EQ(t[1].x1, -44.0f);  // floor(5000 / 32) - 200
    EXPECT_EQ(t.back().x2, 19018.0f);
    for (const Segment& s : t) {
        EXPECT_EQ(s.y1, 210.0f);
        EXPECT_EQ(s.y2, 210.0f);
        EXPECT_EQ(s.colour, (Rgb{0, 255, 0}));
    }
    EXPECT_EQ(view.lblTB1Texts, std::vector<std::string>{".699 ms/div"});

    // Both channels: the yellow right line is drawn over the green one, the readout twice.
    state.scopeMode = 2;
    view.lblTB1Texts.clear();
    ASSERT_TRUE(draw());
    t = traces();
    ASSERT_EQ(t.size(), 246u);
    EXPECT_EQ(t[122].colour, (Rgb{0, 255, 0}));
    EXPECT_EQ(t[123].colour, (Rgb{255, 255, 0}));
    EXPECT_EQ(t[123].y1, 210.0f);
    EXPECT_EQ(view.lblTB1Texts, (std::vector<std::string>{".699 ms/div", ".699 ms/div"}));
}

TEST_F(ScopeRendererTest, ManualSweepUsesGainsTimeBaseAndSplitBaseLines) {
    state.manualScale = 1;
    state.scopeMode = 2;
    state.splitTrace = 1;
    state.gainL = 64;
    state.gainR = 2;
    state.timeBase = 256;
    left[1000] = 100;   // 64 * 0.005 * 100 = 32 units up
    right[1001] = 100;  // 2 * 0.005 * 100 = 1 unit up
    ASSERT_TRUE(draw());
    const auto t = traces();
    ASSERT_EQ(t.size(), 2 * 976u);
    EXPECT_EQ(t[0], (Segment{-200, 128, -181, 160, {0, 255, 0}, 1, false}));  // floor(5000/256)
    EXPECT_EQ(t[975].x2, static_cast<float>(std::floor(5000.0 * 976 / 256) - 200));
    EXPECT_EQ(t[976], (Segment{-200, 260, -181, 259, {255, 255, 0}, 1, false}));
    EXPECT_EQ(view.lblTB1Texts.back(), "5.595 ms/div");

    state.timeBase = 1;
    ASSERT_TRUE(draw());
    EXPECT_EQ(traces().size(), 2 * 5u);
}

TEST_F(ScopeRendererTest, XYPlotsLeftAgainstRightWithTheManualSettings) {
    state.scopeMode = 3;
    state.manualScale = 0;  // XY ignores the scaling mode
    left[1000] = 100;
    right[1000] = 200;
    left[1001] = -50;
    right[1001] = -20;
    leftFrequency = 60.0;
    ASSERT_TRUE(draw());
    const auto t = traces();
    ASSERT_EQ(t.size(), 145u);
    // x = floor(9350 - 32 * 0.12 * l), y = 560 - floor(350 - 32 * 0.005 * r).
    EXPECT_EQ(t[0], (Segment{8966, 242, 9542, 207, {0, 255, 0}, 1, false}));
    EXPECT_EQ(t[1].x1, 9542.0f);
    EXPECT_EQ(t[144], (Segment{9350, 210, 9350, 210, {0, 255, 0}, 1, false}));
    EXPECT_EQ(surface.heightReads(), 145);
    EXPECT_EQ(view.lblTB1Texts, std::vector<std::string>{" "});
    EXPECT_EQ(state.leftCycles, 0.0);  // no analysis in XY
}

TEST_F(ScopeRendererTest, ExportModeDrawsEveryTraceWhiteOverTheSameGrid) {
    state.manualScale = 1;
    for (std::int16_t mode : {0, 1, 2, 3}) {
        state.scopeMode = mode;
        state.exportMode = 1;
        ASSERT_TRUE(draw());
        const auto& all = surface.segments();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Rgb expected = i < kGraticuleSegments ? Rgb{85, 85, 85} : Rgb{255, 255, 255};
            EXPECT_EQ(all[i].colour, expected) << "mode " << mode << " segment " << i;
        }
        EXPECT_GT(all.size(), kGraticuleSegments);
        EXPECT_EQ(state.traceColour, 0xFFFFFFu);
        EXPECT_EQ(view.lblTB1Texts.back(), mode == 3 ? " " : ".699 ms/div");

        const auto white = traces();
        state.exportMode = 0;
        ASSERT_TRUE(draw());
        const auto normal = traces();
        ASSERT_EQ(white.size(), normal.size());
        for (std::size_t i = 0; i < white.size(); ++i) {
            EXPECT_EQ(white[i].x1, normal[i].x1);
            EXPECT_EQ(white[i].y2, normal[i].y2);
        }
    }
}

TEST_F(ScopeRendererTest, ChannelModeOutsideRangeDrawsGraticuleOnly) {
    for (std::int16_t mode : {-1, 4, 99}) {
        state.scopeMode = mode;
        state.manualScale = 1;
        leftFrequency = 0.5;  // would fail a trigger search if one ran
        ASSERT_TRUE(draw());
        EXPECT_EQ(surface.segments().size(), kGraticuleSegments);
        EXPECT_TRUE(view.lblTB1Texts.empty());
        EXPECT_EQ(state.leftCycles, 0.0);
    }
}

TEST_F(ScopeRendererTest, GainLockFollowsTheCheckBoxOnEveryPicture) {
    state.gainL = 128;
    state.gainR = 4;
    view.lockChecked = true;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.lockGains, 1);
    EXPECT_EQ(state.gainR, 128);

    state.gainR = 8;
    view.lockChecked = false;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.lockGains, 0);
    EXPECT_EQ(state.gainR, 8);  // unchecking only stops the coupling

    // The locked gain is the one the manual right trace is drawn with.
    state.scopeMode = 1;
    state.manualScale = 1;
    right[1000] = 100;
    view.lockChecked = true;
    ASSERT_TRUE(draw());
    EXPECT_EQ(traces().front().y1, 146.0f);  // 210 - 128 * 0.005 * 100
}

TEST_F(ScopeRendererTest, TriggerSearchPastTheArraysEndsThePassWithFailure) {
    state.scopeMode = 2;
    leftFrequency = 1.3458;  // the window would end at frame 33269
    rightFrequency = 60.0;
    left[700] = 50;
    EXPECT_FALSE(draw());
    EXPECT_EQ(surface.segments().size(), kGraticuleSegments);
    EXPECT_EQ(state.leftTrigger, 700);  // what the search had reached stays
    EXPECT_EQ(state.leftMax, 50);
    EXPECT_EQ(state.rightCycles, 0.0);  // the right channel never ran
    EXPECT_TRUE(view.lblTB1Texts.empty());

    // The next picture with a sound frequency draws normally again.
    leftFrequency = 60.0;
    EXPECT_TRUE(draw());
    EXPECT_EQ(traces().size(), 2 * 701u);
}

TEST_F(ScopeRendererTest, SweepStartBeyondSixteenBitFramesEndsThePass) {
    // A window ending at frame 32790 stays inside the arrays; a crest after frame 32767 cannot
    // be held as a trigger frame.
    state.scopeMode = 0;
    leftFrequency = 44100.0 / 32290.0;
    left[32780] = 10;
    EXPECT_FALSE(draw());
    left[32780] = 0;
    left[32700] = 10;
    EXPECT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 32700);
    EXPECT_TRUE(traces().empty());  // far too late for a sweep
}

TEST_F(ScopeRendererTest, OutOfRangeSettingsNeverReadPastTheArrays) {
    state.manualScale = 1;
    state.scopeMode = 2;
    state.timeBase = 1 << 20;  // unchecked settings: the sweep would need ~4 million frames
    EXPECT_FALSE(draw());
    state.scopeMode = 3;
    EXPECT_FALSE(draw());
    state.timeBase = 0;
    state.scopeMode = 0;
    EXPECT_TRUE(draw());
}

TEST(ScopeRendererEngineTest, DrawsFromTheEnginesSamplesAndFrequency) {
    auto engine = std::make_unique<MeasurementEngine>();
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 10000.0, 5000.0, 0.0));
    signal.fill(engine->captureBuffer, kFramesPerBuffer);
    engine->startCapture();
    engine->ProcessBuffer();
    ASSERT_GT(engine->leftFrequency, 55.0);
    ASSERT_LT(engine->leftFrequency, 65.0);

    ScopeState state;
    RecordingSurface surface;
    FakeScopeView view;
    ASSERT_TRUE(displayscope1(*engine, state, surface, view));
    EXPECT_EQ(state.leftMax, 10000);
    EXPECT_EQ(state.rightTrigger, state.leftTrigger);
    // Both traces of an automatic picture span 3.81 periods: about 19050 units from x = -200.
    const auto& seg = surface.segments();
    ASSERT_GT(seg.size(), kGraticuleSegments + 1000);
    EXPECT_NEAR(seg.back().x2, 18850.0f, 300.0f);
    EXPECT_EQ(seg.back().colour, (Rgb{255, 255, 0}));
}

}  // namespace
}  // namespace acw
