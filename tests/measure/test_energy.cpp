// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "measure/EnergyIntegrator.h"

namespace acw {
namespace {

constexpr double kHours = 4096.0 / 11025.0 / 3600.0;

TEST(EnergyIntegrator, SplitsImportExportAndReactiveBySign) {
    // Buffers (P, Q, S, V, A, Hz, PF), then the import, export, net, reactive, apparent energy
    // and charge in buffers' worth of W, var, VA and A, the cost of the import at 250 a kWh and
    // the mean, minimum and maximum of W.
    const std::pair<std::vector<EnergySample>, std::vector<double>> cases[] = {
        {{{100, 30, 110, 230, 0.5, 50, 0.9}, {300, 10, 320, 232, 1.5, 50, 0.95}},
         {400, 0, 400, 40, 430, 2, 100, 200, 100, 300}},
        {{{-250, -5, 260, 230, 1, 50, -0.96}, {-50, 0, 60, 230, 0.25, 50, -0.8}},
         {0, 300, -300, -5, 320, 1.25, 0, -150, -250, -50}},
        {{{500, 40, 520, 230, 2, 50, 0.96}, {-200, -40, 210, 230, 1, 50, -0.95}, {}},
         {500, 200, 300, 0, 730, 3, 125, 100, -200, 500}},
        {{{NAN, INFINITY, 10, 230, NAN, 50, 0}, {8, 2, 10, 230, 1, 50, 0.8}},  // not finite: 0
         {8, 0, 8, 2, 20, 1, 2, 4, 0, 8}},
    };
    for (const auto& [samples, expected] : cases) {
        EnergyIntegrator e;
        e.start();
        for (const EnergySample& s : samples) e.add(s);
        const EnergyTotals t = e.totals();
        const double got[] = {t.whImport, t.whExport,         t.wh, t.varh, t.vah,
                              t.ah,       e.costOfImport(250)};
        for (int i = 0; i < 7; ++i) EXPECT_NEAR(got[i] / kHours, expected[i], 1e-9) << i;
        EXPECT_EQ(std::tuple(t.watts.mean, t.watts.minimum, t.watts.maximum),
                  std::tuple(expected[7], expected[8], expected[9]));
    }
}

// Steps: s start, p stop, r reset, a a buffer, g the capture restarted, G 3 buffers lost,
// R save and restore (a restart of the program).
TEST(EnergyIntegrator, CountsOnlyWhileRunningAndCountsBreaks) {
    // Buffers, gaps, missed buffers and the running state after the steps.
    using Counts = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, bool>;
    const std::pair<const char*, Counts> cases[] = {
        {"asgaGapaGsga", {3, 1, 3, true}},  // no break before a first buffer or at a user's start
        {"saGagp", {2, 2, 3, false}},
        {"saRg", {1, 1, 0, true}},
        {"saGrag", {1, 1, 0, true}},  // a reset keeps running and forgets the breaks
    };
    for (const auto& [steps, expected] : cases) {
        EnergyIntegrator e;
        for (const char* step = steps; *step != '\0'; ++step) {
            if (*step == 's') e.start();
            if (*step == 'p') e.stop();
            if (*step == 'r') e.reset();
            if (*step == 'a') e.add({100, 0, 100, 230, 0.5, 50, 1});
            if (*step == 'g' || *step == 'G') e.addGap(*step == 'g' ? 0 : 3);
            if (*step == 'R') e = EnergyIntegrator::fromText(e.saveText(), nullptr).value();
        }
        const EnergyTotals t = e.totals();
        EXPECT_EQ(std::tuple(t.buffers, t.gaps, t.missedBuffers, t.running), expected) << steps;
    }
}

// A day of buffers of a house with solar panels, saved and restored at noon as at a restart of
// the program: within 1e-9 of the exact sums, and bit for bit what it is without the restart.
TEST(EnergyIntegrator, ADayOfBuffersMatchesTheExactSumAcrossARestart) {
    EnergyIntegrator straight, split;
    straight.start();
    split.start();
    long double in = 0, out = 0, q = 0;
    for (int k = 0; k < 232'558; ++k) {
        const double p = 700.0 + 1900.0 * std::sin(k * 2.7e-5) + 13.37 * std::sin(k * 0.91);
        const EnergySample s{p, 0.1 * p - 40.0, std::fabs(p) + 25, 230, std::fabs(p) / 230, 50, 1};
        (p > 0 ? in : out) += std::fabs(p);
        q += s.reactivePowerVar;
        straight.add(s);
        split.add(s);
        if (k == 116'279) split = EnergyIntegrator::fromText(split.saveText(), nullptr).value();
    }
    const EnergyTotals t = split.totals();
    EXPECT_NEAR(t.whImport / (in * kHours), 1.0, 1e-9);
    EXPECT_NEAR(t.whExport / (out * kHours), 1.0, 1e-9);
    EXPECT_NEAR(t.varh / (q * kHours), 1.0, 1e-9);
    EXPECT_EQ(split.saveText(), straight.saveText());
}

TEST(EnergyIntegrator, RefusesEveryFlippedBitAndEveryCutOfItsText) {
    EnergyIntegrator e;
    e.start();
    e.add({1234.5, -12, 1300, 231, 5.6, 49.98, 0.95});
    const std::string text = e.saveText();
    ASSERT_TRUE(EnergyIntegrator::fromText(text, nullptr).has_value());
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (const int bit : {0x01, 0x20, 0x80}) {
            std::string damaged = text;
            damaged[i] = static_cast<char>(damaged[i] ^ bit);
            EXPECT_FALSE(EnergyIntegrator::fromText(damaged, nullptr)) << i;
        }
        EXPECT_FALSE(EnergyIntegrator::fromText(text.substr(0, i), nullptr)) << i;
    }
}

}  // namespace
}  // namespace acw
