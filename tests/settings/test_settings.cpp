#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/SettingsFile.h"

namespace acw {
namespace {

SettingsValues firstRunValues() {
    // What shutdown holds after a first run without a file: start-up validated the gains, the
    // time base and the divisors.
    SettingsValues v;
    v.gainL = v.gainR = v.timeBase = 32;
    v.voltsCal = v.ampsCal = 1.0;
    return v;
}

void expectSame(const SettingsValues& a, const SettingsValues& b) {
    EXPECT_EQ(a.selectedDevice, b.selectedDevice);
    EXPECT_EQ(a.scopeMode, b.scopeMode);
    EXPECT_EQ(a.lockGains, b.lockGains);
    EXPECT_EQ(a.splitTrace, b.splitTrace);
    EXPECT_EQ(a.manualScale, b.manualScale);
    EXPECT_EQ(a.gainL, b.gainL);
    EXPECT_EQ(a.gainR, b.gainR);
    EXPECT_EQ(a.timeBase, b.timeBase);
    // Bit-identical doubles (this also tells -0.0 from 0.0).
    EXPECT_EQ(std::signbit(a.voltsCal), std::signbit(b.voltsCal));
    EXPECT_EQ(a.voltsCal, b.voltsCal);
    EXPECT_EQ(std::signbit(a.ampsCal), std::signbit(b.ampsCal));
    EXPECT_EQ(a.ampsCal, b.ampsCal);
}

TEST(SettingsFileWrite, FirstRunFileIsExactlyTenLinesWithCrLf) {
    EXPECT_EQ(writeSettingsText(firstRunValues()),
              "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");
}

TEST(SettingsFileWrite, DoublesAreShortestWithExponentOnlyForExtremeMagnitudes) {
    const std::pair<double, const char*> cases[] = {
        {1.0, "1"},
        {-0.5, "-0.5"},
        {123456789.125, "123456789.125"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e-5, "0.00001"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {9.99e-6, "9.99E-6"},
        {1e-300, "1E-300"},
        {-2.5e300, "-2.5E+300"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatSettingsDouble(value), text);
}

TEST(SettingsFileRoundTrip, EveryValueReadsBackUnchanged) {
    const double awkward[] = {-0.5,
                              1.0 / 3.0,
                              0.1,
                              123456789.125,
                              1e-300,
                              1.5e20,
                              -0.0,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::denorm_min(),
                              9.999999999999999e14,
                              1.0000000000000002};
    std::int16_t small = -32768;
    std::int32_t large = std::numeric_limits<std::int32_t>::min();
    for (double a : awkward) {
        for (double b : {a, -a, 1.0}) {
            SettingsValues v;
            v.selectedDevice = large;
            v.scopeMode = small;
            v.lockGains = static_cast<std::int16_t>(small + 1);
            v.splitTrace = 1;
            v.manualScale = -1;
            v.gainL = large / 3;
            v.gainR = -(large / 7);
            v.timeBase = 256;
            v.voltsCal = a;
            v.ampsCal = b;
            SettingsValues back;
            back.scopeMode = 99;  // make sure every field is written over
            back.voltsCal = back.ampsCal = 42.0;
            readSettingsText(writeSettingsText(v), back);
            SCOPED_TRACE(formatSettingsDouble(a) + " / " + formatSettingsDouble(b));
            expectSame(back, v);
            small = static_cast<std::int16_t>(small + 4099);
            large = large / 2 + 12345;
        }
    }
}

TEST(SettingsFileRead, ShortFileFillsOnlyTheLinesItHas) {
    SettingsValues v;
    readSettingsText("4\r\n3\r\n1\r\n", v);
    SettingsValues expected;
    expected.selectedDevice = 4, expected.scopeMode = 3, expected.lockGains = 1;
    expectSame(v, expected);

    // A last line without its line end still counts.
    SettingsValues last = firstRunValues();
    readSettingsText("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n2.5", last);
    EXPECT_EQ(last.ampsCal, 2.5);
}

TEST(SettingsFileRead, BadFieldsKeepTheirValuesAndLaterFieldsAreStillRead) {
    SettingsValues v = firstRunValues();
    v.selectedDevice = 5;
    v.scopeMode = 1;
    readSettingsText(
        "12abc\r\n"       // not a whole number: keeps 5
        "40000\r\n"       // beyond 16 bits: keeps 1
        "  1\r\n"         // leading blanks skipped
        "1.5\r\n"         // not an integer: keeps 0
        "\r\n"            // empty field: keeps 0
        "2147483648\r\n"  // beyond 32 bits: keeps 32
        "-2147483648\r\n"
        "+64 \r\n"    // plus sign and trailing blank accepted
        "nan\r\n"     // not finite: keeps 1
        "1e400\r\n",  // overflows to infinity: keeps 1
        v);
    EXPECT_EQ(v.selectedDevice, 5);
    EXPECT_EQ(v.scopeMode, 1);
    EXPECT_EQ(v.lockGains, 1);
    EXPECT_EQ(v.splitTrace, 0);
    EXPECT_EQ(v.manualScale, 0);
    EXPECT_EQ(v.gainL, 32);
    EXPECT_EQ(v.gainR, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(v.timeBase, 64);
    EXPECT_EQ(v.voltsCal, 1.0);
    EXPECT_EQ(v.ampsCal, 1.0);
}

TEST(SettingsFileRead, DoubleFieldsTakeOrdinaryDecimalFormsOnly) {
    struct Case {
        const char* text;
        bool accepted;
        double value;
    };
    const Case cases[] = {
        {"1.0", true, 1.0},       {"0.5", true, 0.5},          {"1e3", true, 1000.0},
        {"1E-300", true, 1e-300}, {"-2.5E+20", true, -2.5e20}, {".25", true, 0.25},
        {"  7", true, 7.0},       {"+3.5", true, 3.5},         {"-0", true, -0.0},
        {"inf", false, 0},        {"-infinity", false, 0},     {"0x10", false, 0},
        {"1.5V", false, 0},       {"1,5", true, 1.0},          {"", false, 0},
        {"--1", false, 0},        {"+-1", false, 0},           {"1e", false, 0},
        {"1 2", false, 0},        {"1e-400", false, 0},
    };
    for (const Case& c : cases) {
        SettingsValues v;
        v.voltsCal = 77.0;
        // The value is put on line 9; "1,5" shows that a comma ends the field.
        readSettingsText(std::string("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n") + c.text, v);
        if (c.accepted)
            EXPECT_EQ(v.voltsCal, c.value) << '"' << c.text << '"';
        else
            EXPECT_EQ(v.voltsCal, 77.0) << '"' << c.text << '"';
    }
}

TEST(SettingsFileRead, CommasAndEveryKindOfLineEndSeparateFields) {
    const SettingsValues expected{3, 1, 1, 1, 1, 64, 128, 16, 2.5, -0.25};
    for (const char* text :
         {"3,1,1,1,1,64,128,16,2.5,-0.25\r\n", "3\n1\r1\r\n1,1\n64\r128\r\n16\n2.5\r-0.25"}) {
        SettingsValues v;
        readSettingsText(text, v);
        SCOPED_TRACE(text);
        expectSame(v, expected);
    }
}

}  // namespace
}  // namespace acw
