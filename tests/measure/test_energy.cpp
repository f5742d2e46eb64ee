// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "measure/EnergyIntegrator.h"

namespace acw {
namespace {

// Hours per buffer, with the rounding kept out of the expectations' own arithmetic.
constexpr long double kHours = 4096.0L / 11025.0L / 3600.0L;

TEST(EnergyIntegrator, SplitsImportExportAndReactiveBySign) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<EnergySample> samples;         // P, Q, S, V, A, Hz, PF
        double whImport, whExport, varh, vah, ah;  // in watt-buffers (and so on)
        EnergyStatistic watts;
    };
    const Case cases[] = {
        {"import only",
         {{100, 30, 110, 230, 0.5, 50, 0.9}, {300, 10, 320, 232, 1.5, 50, 0.95}},
         400,
         0,
         40,
         430,
         2,
         {200, 100, 300}},
        {"export only",
         {{-250, -5, 260, 230, 1, 50, -0.96}, {-50, 0, 60, 230, 0.25, 50, -0.8}},
         0,
         300,
         -5,
         320,
         1.25,
         {-150, -250, -50}},
        {"both, reactive cancelling",
         {{500, 40, 520, 230, 2, 50, 0.96},
          {-200, -40, 210, 230, 1, 50, -0.95},
          {0, 0, 0, 0, 0, 0, 0}},
         500,
         200,
         0,
         730,
         3,
         {100, -200, 500}},
        {"non-finite readings count as 0",
         {{nan, INFINITY, 10, 230, nan, 50, 0}, {8, 2, 10, 230, 1, 50, 0.8}},
         8,
         0,
         2,
         20,
         1,
         {4, 0, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnergyIntegrator e;
        e.start();
        for (const EnergySample& s : c.samples) e.add(s);
        const EnergyTotals t = e.totals();
        EXPECT_DOUBLE_EQ(t.whImport, static_cast<double>(c.whImport * kHours));
        EXPECT_DOUBLE_EQ(t.whExport, static_cast<double>(c.whExport * kHours));
        EXPECT_NEAR(t.wh, static_cast<double>((c.whImport - c.whExport) * kHours), 1e-15);
        EXPECT_NEAR(t.varh, static_cast<double>(c.varh * kHours), 1e-15);
        EXPECT_DOUBLE_EQ(t.vah, static_cast<double>(c.vah * kHours));
        EXPECT_DOUBLE_EQ(t.ah, static_cast<double>(c.ah * kHours));
        EXPECT_DOUBLE_EQ(e.costOfImport(0.25), static_cast<double>(c.whImport * kHours / 4000));
        EXPECT_DOUBLE_EQ(t.elapsedS, c.samples.size() * 4096.0 / 11025.0);
        EXPECT_EQ(t.watts.mean, c.watts.mean);
        EXPECT_EQ(t.watts.minimum, c.watts.minimum);
        EXPECT_EQ(t.watts.maximum, c.watts.maximum);
    }
}

TEST(EnergyIntegrator, CountsOnlyWhileRunningAndCountsBreaks) {
    const EnergySample s{100, 0, 100, 230, 0.5, 50, 1};
    EnergyIntegrator e;
    e.add(s);  // not started
    e.start();
    e.addGap(0);  // a capture start before any buffer: nothing was broken
    e.add(s);
    e.addGap(3);  // three buffers dropped
    e.add(s);
    e.stop();
    e.add(s);  // stopped: neither buffers nor breaks count
    e.addGap(7);
    e.start();
    e.addGap(0);  // the user's own stop and start is no break
    e.add(s);
    e.addGap(0);  // the capture stopped and started again
    EnergyTotals t = e.totals();
    EXPECT_EQ(t.buffers, 3U);
    EXPECT_EQ(t.gaps, 2U);
    EXPECT_EQ(t.missedBuffers, 3U);
    EXPECT_DOUBLE_EQ(t.whImport, static_cast<double>(300 * kHours));
    e.reset();
    t = e.totals();
    EXPECT_TRUE(t.running);
    EXPECT_EQ(t.buffers + t.gaps + t.missedBuffers, 0U);
    EXPECT_EQ(t.whImport, 0.0);
}

// A day of buffers of a house with solar panels, saved and restored at noon as the program does
// at a restart: every total within 1e-9 of the exact sum, and bit for bit what it would have been
// without the restart.
TEST(EnergyIntegrator, ADayOfBuffersMatchesTheExactSumAcrossARestart) {
    constexpr int kDay = 232'558;
    EnergyIntegrator straight, restarted;
    straight.start();
    restarted.start();
    long double in = 0, out = 0, q = 0, amps = 0;
    for (int k = 0; k < kDay; ++k) {
        const double p = 700.0 + 1900.0 * std::sin(k * 2.7e-5) + 13.37 * std::sin(k * 0.91);
        const EnergySample s{
            p, 0.1 * p - 40.0, std::fabs(p) + 25.0, 230.0, std::fabs(p) / 230.0, 50.0, 0.9};
        (p > 0 ? in : out) += std::fabs(p);
        q += s.reactivePowerVar;
        amps += s.ampsRms;
        straight.add(s);
        restarted.add(s);
        if (k == kDay / 2) {
            std::string problem;
            restarted = EnergyIntegrator::fromText(restarted.saveText(), &problem).value();
            EXPECT_EQ(problem, "");
        }
    }
    const EnergyTotals t = restarted.totals();
    EXPECT_NEAR(t.whImport / static_cast<double>(in * kHours), 1.0, 1e-9);
    EXPECT_NEAR(t.whExport / static_cast<double>(out * kHours), 1.0, 1e-9);
    EXPECT_NEAR(t.varh / static_cast<double>(q * kHours), 1.0, 1e-9);
    EXPECT_NEAR(t.ah / static_cast<double>(amps * kHours), 1.0, 1e-9);
    EXPECT_EQ(restarted.saveText(), straight.saveText());
}

TEST(EnergyIntegrator, RefusesEveryFlippedBitAndEveryCutOfItsText) {
    EnergyIntegrator e;
    e.start();
    e.add({1234.5, -12, 1300, 231, 5.6, 49.98, 0.95});
    e.addGap(2);
    const std::string text = e.saveText();
    std::string problem;
    ASSERT_TRUE(EnergyIntegrator::fromText(text, &problem).has_value()) << problem;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (const int bit : {0x01, 0x20, 0x80}) {
            std::string damaged = text;
            damaged[i] = static_cast<char>(damaged[i] ^ bit);
            problem.clear();
            EXPECT_FALSE(EnergyIntegrator::fromText(damaged, &problem)) << i;
            EXPECT_NE(problem, "") << i;
        }
        EXPECT_FALSE(EnergyIntegrator::fromText(text.substr(0, i), nullptr)) << i;
    }
}

}  // namespace
}  // namespace acw
