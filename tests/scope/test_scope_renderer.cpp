#include <gtest/gtest.h>

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
using Texts = std::vector<std::string>;

constexpr std::size_t kGraticuleSegments = 166;
constexpr Rgb kGrey{85, 85, 85};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kYellow{255, 255, 0};

class ScopeRendererTest : public ::testing::Test {
protected:
    ScopeRendererTest() { state.gainL = state.gainR = state.timeBase = 32; }

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
    // The left channel alone, automatic, a 60 Hz cosine of 10000 counts cresting on frame 600.
    void leftSixtyHertz() {
        state.scopeMode = 0;
        left = cosine(60.0, 10000.0, 600.0);
        leftFrequency = 60.0;
    }
    float baseLineMinus(double counts, double yScale) const {
        return static_cast<float>(std::floor(210 - counts * yScale));
    }

    std::vector<std::int32_t> left = silence();
    std::vector<std::int32_t> right = silence();
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;
    ScopeState state;
    RecordingSurface surface;
    FakeScopeView view;
};

// A channel mode out of range draws the graticule alone.
TEST_F(ScopeRendererTest, GraticuleIsAGreyGridWithTicksThatLeavesABlackPen) {
    for (std::int16_t mode : {-1, 4}) {
        state.scopeMode = mode;
        leftFrequency = 0.5;  // would fail a trigger search if one ran
        ASSERT_TRUE(draw());
        EXPECT_TRUE(view.lblTB1Texts.empty());
    }
    const auto& seg = surface.segments();
    ASSERT_EQ(seg.size(), kGraticuleSegments);
    for (const Segment& s : seg) EXPECT_EQ(s.colour, kGrey);
    EXPECT_EQ(surface.penColour(), (Rgb{0, 0, 0}));
    // 18 horizontal lines from y = -90 to 760, then 17 vertical ones from x = -200 to 19000.
    EXPECT_EQ(seg[0], (Segment{-200, -90, 19080, -90, kGrey, 1, true}));
    EXPECT_EQ(seg[17], (Segment{-200, 760, 19080, 760, kGrey, 1, true}));
    EXPECT_EQ(seg[18], (Segment{-200, -40, -200, 460, kGrey, 1, true}));
    EXPECT_EQ(seg[34], (Segment{19000, -40, 19000, 460, kGrey, 1, true}));
    // 81 ticks across y = 210, five per division; 50 across x = 9400, 10.01 units apart.
    EXPECT_EQ(seg[35], (Segment{-200, 205, -200, 220, kGrey, 1, true}));
    EXPECT_EQ(seg[115].x1, 19000.0f);
    EXPECT_EQ(seg[116], (Segment{9335, -30.19f, 9565, -30.19f, kGrey, 1, true}));
    EXPECT_EQ(seg[165].y1, static_cast<float>(10.01 * 50 - 40.2));
}

TEST_F(ScopeRendererTest, AutomaticSixtyHertzSweepsFromTheFirstCrestAtAMeasuredScale) {
    leftSixtyHertz();
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 600);  // the crest at 784 rounds to the same count
    EXPECT_NEAR(state.leftYScale, 1.0 / (20000.0 / 65000.0 * 240.0), 1e-15);

    const auto t = traces();
    ASSERT_EQ(t.size(), 701u);
    // Crest on frame 600: 10000 counts drawn 135.4 units above the base line.
    EXPECT_EQ(t.front(), (Segment{-200, 74, -173, baseLineMinus(left[601], state.leftYScale),
                                  kGreen, 1, false}));
    EXPECT_EQ(t.back().x2, 18874.0f);
    for (std::size_t i = 1; i < t.size(); ++i) {
        EXPECT_EQ(t[i].x1, t[i - 1].x2);
        EXPECT_EQ(t[i].y1, t[i - 1].y2);
    }
    EXPECT_EQ(view.lblTB1Texts, Texts{" "});

    // A flat channel keeps the scale, and the scale is capped at 2 units per count.
    const double yScale = state.leftYScale;
    left = silence();
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftYScale, yScale);
    EXPECT_EQ(state.leftTrigger, 0);
    left = cosine(60.0, 50.0, 600.0);  // 100 counts peak to peak
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftYScale, 2.0);
    EXPECT_EQ(traces().front().y1, 110.0f);  // 50 counts, 100 units above the base line
}

TEST_F(ScopeRendererTest, TriggerIsTheFirstHighestCrestOfFrames500To1235AndTheSweepMustFit) {
    state.scopeMode = 0;
    leftFrequency = 60.0;
    for (const auto& [spike, trigger] : {std::pair{499, 0}, {500, 500}, {1235, 1235}, {1236, 0}}) {
        left = silence();
        left[spike] = 5;
        ASSERT_TRUE(draw());
        EXPECT_EQ(state.leftTrigger, trigger) << "spike at " << spike;
    }
    left = silence();
    left[800] = left[900] = 7;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 800);

    // At 10 Hz the sweep is 4200.525 frames; it is drawn only if it ends before frame 8190.
    leftFrequency = 10.0;
    left = silence();
    left[3989] = 100;
    ASSERT_TRUE(draw());
    EXPECT_EQ(traces().size(), 4202u);
    left[3989] = 0;
    left[3990] = 100;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 3990);
    EXPECT_TRUE(traces().empty());
}

TEST_F(ScopeRendererTest, WithoutAFrequencyTheSweepReusesTheLastAnalysis) {
    // Before any frequency: no trace; only the right channel blanks the readout.
    left = right = cosine(60.0, 10000.0, 600.0);
    ASSERT_TRUE(draw());
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(view.lblTB1Texts, Texts{" "});

    leftSixtyHertz();
    ASSERT_TRUE(draw());
    leftFrequency = 0.0;
    left = silence();
    left[600] = 2000;
    left[1300] = 9000;  // would move the trigger if a search ran
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.leftTrigger, 600);
    EXPECT_EQ(state.leftMax, 10000);
    const auto t = traces();
    ASSERT_EQ(t.size(), 701u);
    EXPECT_EQ(t.front().y1, baseLineMinus(2000, state.leftYScale));
}

TEST_F(ScopeRendererTest, LockToLeftMovesTheRightSweepToTheLeftTrigger) {
    state.scopeMode = 2;
    leftFrequency = rightFrequency = 60.0;
    left[700] = 1000;
    right[900] = 1000;
    right[700] = -1000;
    right[701] = 500;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.rightTrigger, 700);
    auto t = traces();
    ASSERT_EQ(t.size(), 2 * 701u);
    EXPECT_EQ(t[701].colour, kYellow);
    EXPECT_EQ(t[701].y1, baseLineMinus(-1000, state.rightYScale));
    EXPECT_EQ(t[701].y2, baseLineMinus(500, state.rightYScale));

    state.lockToL = 0;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.rightTrigger, 900);
    EXPECT_EQ(traces()[701].y1, baseLineMinus(1000, state.rightYScale));
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
    for (const Segment& s : t) EXPECT_EQ(s, (Segment{s.x1, 210, s.x2, 210, kGreen, 1, false}));
    EXPECT_EQ(view.lblTB1Texts, Texts{".699 ms/div"});

    // Both channels: the yellow right line is drawn after the green one, the readout twice.
    state.scopeMode = 2;
    view.lblTB1Texts.clear();
    ASSERT_TRUE(draw());
    t = traces();
    ASSERT_EQ(t.size(), 246u);
    EXPECT_EQ(t[122].colour, kGreen);
    EXPECT_EQ(t[123].colour, kYellow);
    EXPECT_EQ(view.lblTB1Texts, (Texts{".699 ms/div", ".699 ms/div"}));
}

TEST_F(ScopeRendererTest, ManualSweepUsesGainsGainLockTimeBaseAndSplitBaseLines) {
    state.manualScale = 1;
    state.splitTrace = 1;
    state.gainL = 64;
    state.gainR = 2;
    state.timeBase = 256;
    left[1000] = 100;   // 64 * 0.005 * 100 = 32 units up from 160
    right[1001] = 100;  // 2 * 0.005 * 100 = 1 unit up from 260
    ASSERT_TRUE(draw());
    const auto t = traces();
    ASSERT_EQ(t.size(), 2 * 976u);
    EXPECT_EQ(t[0], (Segment{-200, 128, -181, 160, kGreen, 1, false}));  // floor(5000/256)
    EXPECT_EQ(t[975].x2, static_cast<float>(std::floor(5000.0 * 976 / 256) - 200));
    EXPECT_EQ(t[976], (Segment{-200, 260, -181, 259, kYellow, 1, false}));
    EXPECT_EQ(view.lblTB1Texts.back(), "5.595 ms/div");

    // While "Lock L  R" is checked the right gain follows the left one; unchecking keeps it.
    view.lockChecked = true;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.lockGains, 1);
    EXPECT_EQ(traces()[976].y2, 228.0f);  // 260 - 64 * 0.005 * 100
    view.lockChecked = false;
    state.gainR = 2;
    ASSERT_TRUE(draw());
    EXPECT_EQ(state.lockGains, 0);
    EXPECT_EQ(traces()[976].y2, 259.0f);
}

TEST_F(ScopeRendererTest, XYPlotsLeftAgainstRightWithTheManualSettings) {
    state.scopeMode = 3;  // whatever the scaling mode
    left[1000] = 100;
    right[1000] = 200;
    left[1001] = -50;
    right[1001] = -20;
    leftFrequency = 60.0;
    ASSERT_TRUE(draw());
    const auto t = traces();
    ASSERT_EQ(t.size(), 145u);
    // x = floor(9350 - 32 * 0.12 * l), y = 560 - floor(350 - 32 * 0.005 * r).
    EXPECT_EQ(t[0], (Segment{8966, 242, 9542, 207, kGreen, 1, false}));
    EXPECT_EQ(t[144], (Segment{9350, 210, 9350, 210, kGreen, 1, false}));
    EXPECT_EQ(view.lblTB1Texts, Texts{" "});
    EXPECT_EQ(state.leftCycles, 0.0);  // no analysis in XY
}

TEST_F(ScopeRendererTest, ExportModeDrawsTheSameTracesWhite) {
    state.manualScale = 1;
    for (std::int16_t mode : {0, 1, 2, 3}) {
        state.scopeMode = mode;
        ASSERT_TRUE(draw());
        const auto normal = traces();
        state.exportMode = 1;
        ASSERT_TRUE(draw());
        EXPECT_EQ(surface.segments()[0].colour, kGrey);
        const auto white = traces();
        ASSERT_EQ(white.size(), normal.size());
        for (std::size_t i = 0; i < white.size(); ++i) {
            Segment expected = normal[i];
            expected.colour = Rgb{255, 255, 255};
            EXPECT_EQ(white[i], expected);
        }
        EXPECT_EQ(state.traceColour, 0xFFFFFFu);
        state.exportMode = 0;
    }
}

TEST_F(ScopeRendererTest, APassThatWouldReadPastTheArraysEndsWithFailure) {
    // Below about 1.37 Hz the trigger search runs past frame 32800.
    state.scopeMode = 2;
    leftFrequency = 1.3458;
    rightFrequency = 60.0;
    left[700] = 50;
    EXPECT_FALSE(draw());
    EXPECT_EQ(surface.segments().size(), kGraticuleSegments);
    EXPECT_EQ(state.leftTrigger, 700);  // what the search had reached stays
    EXPECT_EQ(state.rightCycles, 0.0);  // the right channel never ran
    leftFrequency = 60.0;
    EXPECT_TRUE(draw());
    EXPECT_EQ(traces().size(), 2 * 701u);

    // A crest after frame 32767 cannot be held as a 16-bit trigger frame.
    state.scopeMode = 0;
    leftFrequency = 44100.0 / 32290.0;  // the window ends at frame 32790, inside the arrays
    left[32780] = 100;                  // above the crest at 700
    EXPECT_FALSE(draw());
    EXPECT_EQ(state.leftTrigger, 700);

    // Unchecked manual settings: the sweep would need about 4 million frames.
    leftFrequency = 0.0;
    state.manualScale = 1;
    state.timeBase = 1 << 20;
    EXPECT_FALSE(draw());
    state.scopeMode = 3;
    EXPECT_FALSE(draw());
}

TEST(ScopeRendererEngineTest, DrawsTheEnginesVoltageLeftAndCurrentRight) {
    auto engine = std::make_unique<MeasurementEngine>();
    SyntheticSignal(SyntheticSignal::sine(60.0, 10000.0, 5000.0))
        .fill(engine->captureBuffer, kFramesPerBuffer);
    engine->ProcessBuffer();
    ScopeState state;
    RecordingSurface surface;
    FakeScopeView view;
    ASSERT_TRUE(displayscope1(*engine, state, surface, view));
    EXPECT_EQ(state.leftMax, 10000);
    EXPECT_EQ(state.rightMax, 5000);
    EXPECT_EQ(surface.segments().back().colour, kYellow);
}

}  // namespace
}  // namespace acw
