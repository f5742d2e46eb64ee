#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "measure/MeasurementEngine.h"

namespace acw {
namespace {

constexpr std::int16_t kTop = 32767;
constexpr std::int16_t kBottom = -32768;

// One buffer's values 0..8191 (frames 0..4095, left then right), or every value the engine
// reads (frames 0..8190) when `everyFrame` is set.
struct Input {
    const char* name;
    std::vector<std::int16_t> values;
};

std::vector<Input> inputs() {
    std::vector<Input> all;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> anySample(kBottom, kTop);
    auto make = [](const char* name, std::size_t count, auto sample) {
        Input in{name, std::vector<std::int16_t>(count)};
        for (std::size_t i = 0; i < count; ++i) in.values[i] = sample(i / 2, i % 2 == 1);
        return in;
    };
    all.push_back(make("random", kRecordedValues, [&](std::size_t, bool) {
        return static_cast<std::int16_t>(anySample(random));
    }));
    // About 50 Hz, the current in opposite phase.
    all.push_back(make("full-scale square", kRecordedValues, [](std::size_t frame, bool right) {
        const bool high = (frame / 110) % 2 == 0;
        return high != right ? kTop : kBottom;
    }));
    all.push_back(make("alternating extremes", kRecordedValues,
                       [](std::size_t frame, bool) { return frame % 2 == 0 ? kTop : kBottom; }));
    all.push_back(
        make("DC at the top rail", kRecordedValues, [](std::size_t, bool) { return kTop; }));
    all.push_back(
        make("DC at the bottom rail", kRecordedValues, [](std::size_t, bool) { return kBottom; }));
    all.push_back(
        make("silence", kRecordedValues, [](std::size_t, bool) { return std::int16_t{0}; }));
    // Beyond what the capture delivers: a full-scale square in every frame the engine reads.
    all.push_back(make("full-scale square in every frame", 2 * (kLastFrame + 1),
                       [](std::size_t frame, bool right) {
                           return ((frame / 110) % 2 == 0) != right ? kTop : kBottom;
                       }));
    return all;
}

std::vector<double> divisors() {
    using limits = std::numeric_limits<double>;
    return {1.0,  0.0125,  1e-300, limits::denorm_min(), 2.5e-310, 1e300, limits::max(),
            -1.0, -1e-300, -1e300, -limits::denorm_min()};
}

// A readout shows `value` rounded to `decimals` places: an optional "-", digits and one ".",
// reading back to the value within half its last place.
::testing::AssertionResult showsReading(const std::string& text, double value, int decimals) {
    const bool numeric = !text.empty() && std::count(text.begin(), text.end(), '.') == 1 &&
                         std::all_of(text.begin() + (text[0] == '-' ? 1 : 0), text.end(),
                                     [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
    if (!numeric) return ::testing::AssertionFailure() << "\"" << text << "\" is not a number";
    const double shown = std::strtod(text.c_str(), nullptr);
    const double tolerance =
        0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(value) * 1e-15;
    if (std::fabs(shown - value) > tolerance)
        return ::testing::AssertionFailure() << "\"" << text << "\" does not show " << value;
    return ::testing::AssertionSuccess();
}

void expectFiniteAndShown(const MeasurementEngine& e) {
    for (double reading : {e.voltsRms, e.ampsRms, e.watts, e.voltAmps, e.powerFactor, e.voltsCrest,
                           e.ampsCrest, e.averageFrequency, e.leftFrequency, e.rightFrequency})
        EXPECT_TRUE(std::isfinite(reading)) << reading;
    const ReadoutTexts& r = e.readouts;
    EXPECT_TRUE(showsReading(r.label36, e.averageFrequency, 1));
    EXPECT_TRUE(showsReading(r.label37, e.voltsRms, 3));
    EXPECT_TRUE(showsReading(r.label7, e.voltsRms, 1));
    EXPECT_TRUE(showsReading(r.label35, e.ampsRms, 3));
    EXPECT_TRUE(showsReading(r.label8, e.ampsRms, 2));
    EXPECT_TRUE(showsReading(r.label41, e.voltAmps, 3));
    EXPECT_TRUE(showsReading(r.label40, e.watts, 3));
    EXPECT_TRUE(showsReading(r.label42, e.powerFactor, 3));
    EXPECT_TRUE(showsReading(r.label3, e.voltsCrest, 3));
    EXPECT_TRUE(showsReading(r.label5, e.ampsCrest, 3));
}

// Every input, one after the other on one engine, for every pair of finite non-zero divisors:
// tiny and denormal divisors overflow the readings, huge ones underflow them, their product
// may overflow or vanish, and negative ones turn the signs. No reading may become NaN or
// infinite, and every readout shows its reading as a number.
TEST(FiniteReadings, EveryInputAndDivisorPairKeepsReadingsFiniteAndShown) {
    const std::vector<Input> buffers = inputs();
    for (const double voltsCal : divisors()) {
        for (const double ampsCal : divisors()) {
            auto engine = std::make_unique<MeasurementEngine>();
            engine->voltsCal = voltsCal;
            engine->ampsCal = ampsCal;
            engine->startCapture();
            for (const Input& in : buffers) {
                SCOPED_TRACE(::testing::Message()
                             << in.name << ", voltsCal " << voltsCal << ", ampsCal " << ampsCal);
                std::copy(in.values.begin(), in.values.end(), engine->captureBuffer.begin());
                engine->ProcessBuffer();
                expectFiniteAndShown(*engine);
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
}

// A step whose result would not be finite leaves its reading as the previous buffer left it,
// and the steps after it still run.
TEST(FiniteReadings, AnOverflowingStepKeepsThePreviousReading) {
    auto engine = std::make_unique<MeasurementEngine>();
    engine->startCapture();
    for (int i = 0; i < kRecordedValues; ++i)
        engine->captureBuffer[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>((i / 2) % 40 < 20 ? 16384 : -16384);
    engine->ProcessBuffer();
    const MeasurementEngine before = *engine;
    ASSERT_GT(before.watts, 0.0);

    // voltsCal x ampsCal underflows to 0: the power would be infinite and keeps its value, while
    // the RMS readings, divided by one divisor each, stay finite and are computed afresh.
    engine->voltsCal = 1e-200;
    engine->ampsCal = 1e-200;
    engine->ProcessBuffer();
    EXPECT_EQ(engine->watts, before.watts);
    EXPECT_DOUBLE_EQ(engine->voltsRms, before.voltsRms * 1e200);
    EXPECT_DOUBLE_EQ(engine->ampsRms, before.ampsRms * 1e200);
    // Their product, the apparent power, would overflow: it keeps its value, and so does "PF".
    EXPECT_EQ(engine->voltAmps, before.voltAmps);
    EXPECT_EQ(engine->powerFactor, before.powerFactor);

    // The smallest divisor overflows the RMS readings too: they keep theirs.
    const double voltsRms = engine->voltsRms;
    const double ampsRms = engine->ampsRms;
    engine->voltsCal = std::numeric_limits<double>::denorm_min();
    engine->ampsCal = std::numeric_limits<double>::denorm_min();
    engine->ProcessBuffer();
    EXPECT_EQ(engine->voltsRms, voltsRms);
    EXPECT_EQ(engine->ampsRms, ampsRms);
    EXPECT_EQ(engine->watts, before.watts);
    expectFiniteAndShown(*engine);
}

}  // namespace
}  // namespace acw
