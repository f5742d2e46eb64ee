// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scope/ImageSurface.h"
#include "scope/RecordingSurface.h"
#include "scope/ScopeRenderer.h"

using namespace acw;
using Segment = RecordingSurface::Segment;
constexpr Rgb kGrey{85, 85, 85};

// 18 lines from y = -90 to 760, 17 from x = -200 to 19000, 81 ticks across y = 210 (five per
// division), 50 across x = 9400, 10.01 units apart; grey, then a black pen.
TEST(ScopeRenderer, Graticule) {
    RecordingSurface surface;
    drawGraticule(surface);
    const auto& seg = surface.segments();
    ASSERT_EQ(seg.size(), 166u);
    EXPECT_EQ(std::count_if(seg.begin(), seg.end(), [](auto& s) { return s.colour == kGrey; }),
              166);
    EXPECT_EQ(surface.penColour(), (Rgb{0, 0, 0}));
    EXPECT_EQ(seg[0], (Segment{-200, -90, 19080, -90, kGrey, 1, true}));
    EXPECT_EQ(seg[35], (Segment{-200, 205, -200, 220, kGrey, 1, true}));
    EXPECT_EQ(seg[116], (Segment{9335, -30.19f, 9565, -30.19f, kGrey, 1, true}));
}

struct Picture : ScopeView {
    std::vector<std::int32_t> left = std::vector<std::int32_t>(kCaptureBufferValues), right = left;
    double leftHz = 0, rightHz = 0;
    ScopeState s{.gainL = 32, .gainR = 32, .timeBase = 32};
    std::vector<std::string> texts;
    void setTimeBaseText(const std::string& text) override { texts.push_back(text); }
    bool draw(RecordingSurface& surface) {
        return displayscope1(ScopeSamples{left, right, leftHz, rightHz}, s, surface, *this);
    }
    void cosine(double peak) {  // 60 Hz on the left, cresting on frame 600
        for (int k = 0; k <= kLastFrame; ++k)
            left[k] = std::lround(peak * std::cos(2 * std::numbers::pi * 60 * (k - 600) / 11025));
        leftHz = 60;
    }
};

// Trace segments (after the graticule) by index: x1, y1, x2, y2 and the colour, green (0),
// yellow (1) or white (2); time-base texts; the left trigger frame.
TEST(ScopeRenderer, Pictures) {
    // clang-format off
    const auto split = [](Picture& p) { p.s.manualScale = p.s.splitTrace = 1, p.s.gainL = 64;
        p.s.gainR = 2, p.s.timeBase = 256, p.left[1000] = p.right[1001] = 100; };
    const auto both = [](Picture& p) { p.leftHz = p.rightHz = 60;  // crests at 700 and 900
        p.left[700] = p.right[900] = 1000, p.right[700] = -1000, p.right[701] = 500; };
    const auto leftOnly = [](Picture& p, double hz, int frame, int value) {
        p.s.scopeMode = 0, p.leftHz = hz, p.left[frame] = value; };
    const std::vector<std::string> blank{" "}, blanks{" ", " "}, ms{".699 ms/div"},
        ms256{"5.595 ms/div", "5.595 ms/div"};
    const std::tuple<const char*, std::function<void(Picture&)>, bool, std::size_t,
                     std::vector<std::array<float, 6>>, std::vector<std::string>, int> cases[] = {
        {"automatic", [](Picture& p) {  // the trigger: the first highest crest of frames 500..1235
             p.cosine(10000); p.left[499] = p.left[1236] = 20000; p.left[900] = 10000;
             p.rightHz = 60; p.right[600] = 50; p.right[601] = -50; },
         true, 1402, {{0, -200, 74, -173, 74, 0}, {700, 18847, 160, 18874, 156, 0},
                      {701, -200, 110, -173, 310, 1}}, blanks, 600},  // at most 2 units per count
        {"no frequency: the last sweep", [](Picture& p) {
             p.s.scopeMode = 0; p.cosine(10000); RecordingSurface first; p.draw(first);
             p.left.assign(kCaptureBufferValues, 0); p.left[600] = 2000; p.left[1300] = 9000;
             p.leftHz = 0; p.texts.clear(); },
         true, 701, {{0, -200, 182, -173, 210, 0}}, blank, 600},
        {"10 Hz sweep ends before 8190", [&](Picture& p) { leftOnly(p, 10, 3989, 100); },
         true, 4202, {}, blank, 3989},
        {"10 Hz sweep would not", [&](Picture& p) { leftOnly(p, 10, 3990, 100); },
         true, 0, {}, blank, 3990},
        {"right from the left trigger", both,
         true, 1402, {{701, -200, 345, -173, 142, 1}}, blanks, 700},
        {"right on its own trigger", [&](Picture& p) { both(p); p.s.lockToL = 0; },
         true, 1402, {{701, -200, 74, -173, 210, 1}}, blanks, -1},
        {"exported", [](Picture& p) { p.s.manualScale = p.s.exportMode = 1, p.s.scopeMode = 0; },
         true, 123, {{0, -200, 210, -44, 210, 2}, {122, 18862, 210, 19018, 210, 2}}, ms, -1},
        {"manual split", split,
         true, 1952, {{0, -200, 128, -181, 160, 0}, {976, -200, 260, -181, 259, 1}}, ms256, -1},
        {"gains locked", [&](Picture& p) { split(p); p.s.lockGains = 1; },
         true, 1952, {{976, -200, 260, -181, 228, 1}}, ms256, -1},
        {"XY", [](Picture& p) { p.s.scopeMode = 3, p.s.gainR = 64, p.leftHz = 60;
             p.left[1000] = 100, p.right[1000] = 200, p.left[1001] = -50, p.right[1001] = -20; },
         true, 145, {{0, 8966, 274, 9542, 204, 0}, {144, 9350, 210, 9350, 210, 0}}, blank, 0},
        {"mode 4", [](Picture& p) { p.s.scopeMode = 4, p.leftHz = 0.5; }, true, 0, {}, {}, -1},
        {"ends early below 1.37 Hz", [&](Picture& p) { both(p); p.leftHz = 1.3458; },
         false, 0, {}, {}, 700},
        {"no 16-bit trigger frame", [&](Picture& p) {
             leftOnly(p, 44100.0 / 32290, 700, 50); p.left[32780] = 100; }, false, 0, {}, {}, 700},
    };
    // clang-format on
    const Rgb colours[] = {{0, 255, 0}, {255, 255, 0}, {255, 255, 255}};
    for (const auto& [name, setup, complete, traces, segments, texts, leftTrigger] : cases) {
        SCOPED_TRACE(name);
        Picture p;
        setup(p);
        RecordingSurface surface;
        EXPECT_EQ(p.draw(surface), complete);
        const std::vector<Segment> t(surface.segments().begin() + 166, surface.segments().end());
        EXPECT_EQ(t.size(), traces);
        for (const auto& [i, x1, y1, x2, y2, colour] : segments)
            EXPECT_EQ(t.at(i), (Segment{x1, y1, x2, y2, colours[int(colour)], 1, false})) << i;
        EXPECT_EQ(p.texts, texts);
        EXPECT_EQ(leftTrigger < 0 ? -1 : p.s.leftTrigger, leftTrigger);
    }
}

constexpr Rgb kBlue{0, 0, 255}, kRed{255, 0, 0};

// The pixels lit in `colour`, row by row, as "x,y " each.
static std::string lit(const ImageSurface& surface, Rgb colour) {
    std::string pixels;
    for (int y = 0; y < surface.image().height(); ++y)
        for (int x = 0; x < surface.image().width(); ++x)
            if (surface.image().pixel(x, y) == qRgb(colour.red, colour.green, colour.blue))
                pixels += std::to_string(x) + "," + std::to_string(y) + " ";
    return pixels;
}

// Units map to pixels by flooring; segments are one pixel wide, both ends included, without
// gaps, clipped to the 309 x 213 image; what lies wholly outside or is not a number is ignored.
TEST(ImageSurface, MapsUnitsToPixelsAndDrawsClippedSegments) {
    EXPECT_EQ(std::pair(ImageSurface::pixelX(-1501), ImageSurface::pixelY(210)),
              std::pair(-1LL, 106LL));
    ImageSurface surface;
    surface.setPenColour(kBlue);
    surface.drawLine(0, 0, 1000, 17);           // one pixel per column, halves rounded down
    surface.drawLine(5000, 0, 5300, 17, kRed);  // one pixel per row
    EXPECT_EQ(lit(surface, kBlue),
              "21,26 22,27 23,27 24,28 25,28 26,29 27,29 28,30 29,30 30,31 31,31 32,32 33,32 "
              "34,33 35,33 ");
    EXPECT_EQ(lit(surface, kRed), "91,26 92,27 92,28 93,29 93,30 94,31 94,32 95,33 ");
    EXPECT_EQ(surface.penColour(), kBlue);
    surface.clear();
    surface.drawLine(-1e9f, 210, 1e9f, 210);
    surface.drawLine(9400, -1e7f, 9400, 1e7f);
    surface.drawLine(-5000, 100, -1600, 300);
    surface.drawLine(NAN, 100, 9000, 100);
    surface.drawLine(0, 100, INFINITY, 100);
    const std::string pixels = lit(surface, kBlue);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ' '), 309 + 213 - 1);
}
