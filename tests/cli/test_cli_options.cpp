#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace acw {
namespace {

using Action = CommandLineOptions::Action;

CommandLineParse parse(std::vector<std::string> arguments) { return parseCommandLine(arguments); }

TEST(CommandLineParse, MeasureTakesItsSourceCalibrationAndLimitInAnyOrder) {
    const auto p =
        parse({"--settings", "/tmp/s.ini", "--buffers=12", "--input", "rec.wav", "--measure"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.action, Action::Measure);
    EXPECT_EQ(p.options.inputPath.value_or(""), "rec.wav");
    EXPECT_EQ(p.options.settingsPath.value_or(""), "/tmp/s.ini");
    EXPECT_EQ(p.options.buffers.value_or(0), 12);

    const auto demo = parse({"--measure", "--demo", "--buffers", "3"});
    ASSERT_TRUE(demo.ok()) << demo.error;
    EXPECT_TRUE(demo.options.demo);
    EXPECT_EQ(demo.options.buffers.value_or(0), 3);

    // A value that looks like an option is still the value: a file may be named so.
    const auto odd = parse({"--measure", "--input", "--demo"});
    ASSERT_TRUE(odd.ok()) << odd.error;
    EXPECT_EQ(odd.options.inputPath.value_or(""), "--demo");
    EXPECT_FALSE(odd.options.demo);
}

TEST(CommandLineParse, WithoutMeasureTheWindowKeepsTheSourceOptions) {
    const auto p = parse({"--demo", "--settings=/x/w.ini"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.action, Action::Window);
    EXPECT_TRUE(p.options.demo);
    EXPECT_EQ(p.options.settingsPath.value_or(""), "/x/w.ini");
    // --help wins as soon as it is seen, whatever follows.
    EXPECT_EQ(parse({"--measure", "--help", "--no-such-option"}).options.action, Action::Help);
}

TEST(CommandLineParse, LiveMeasuringAndTheDeviceListTakeTheirSources) {
    const auto live = parse({"--device", "2", "--measure"});
    ASSERT_TRUE(live.ok()) << live.error;
    EXPECT_EQ(live.options.action, Action::Measure);
    EXPECT_EQ(live.options.device.value_or(-9), 2);
    EXPECT_TRUE(live.options.measuresLive());
    EXPECT_FALSE(live.options.buffers.has_value()) << "a live run may go on until Ctrl-C";

    const auto byDefault = parse({"--measure", "--device=-1", "--buffers", "5"});
    ASSERT_TRUE(byDefault.ok()) << byDefault.error;
    EXPECT_EQ(byDefault.options.device.value_or(-9), -1);
    EXPECT_FALSE(parse({"--measure", "--demo", "--buffers", "1"}).options.measuresLive());

    const auto list = parse({"--input", "rec.wav", "--list-devices"});
    ASSERT_TRUE(list.ok()) << list.error;
    EXPECT_EQ(list.options.action, Action::ListDevices);
    EXPECT_EQ(list.options.inputPath.value_or(""), "rec.wav");
    EXPECT_TRUE(parse({"--list-devices", "--demo"}).options.demo);
}

TEST(CommandLineParse, RefusesBadArgumentsWithAOneLineReason) {
    struct Case {
        std::vector<std::string> arguments;
        const char* expected;
    };
    const Case cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"recording.wav"}, "unexpected argument 'recording.wav'"},
        {{"--measure", "--input"}, "--input needs a value"},
        {{"--measure", "--input="}, "--input: needs a file name"},
        {{"--measure", "--demo", "--buffers", "0"}, "--buffers: bad value '0'"},
        {{"--measure", "--demo", "--buffers", "7x"}, "--buffers: bad value '7x'"},
        {{"--measure", "--demo", "--buffers", "99999999999999999999"}, "--buffers: bad value"},
        {{"--measure"}, "--measure needs --input FILE, --demo or --device N"},
        {{"--measure", "--demo"}, "--measure --demo needs --buffers N"},
        {{"--measure", "--demo", "--input", "a.wav", "--buffers", "1"}, "cannot be used together"},
        {{"--buffers", "4"}, "--buffers is used only with --measure"},
        {{"--measure", "--input", "a.wav", "--input", "b.wav"}, "--input given more than once"},
        {{"--measure=yes", "--demo"}, "--measure takes no value"},
        {{"--settings"}, "--settings needs a value"},
        {{"--measure", "--device", "-2"}, "--device: bad value '-2'"},
        {{"--measure", "--device", "4294967296"}, "--device: bad value"},
        {{"--measure", "--device="}, "--device: bad value ''"},
        {{"--measure", "--device", "0", "--input", "a.wav"}, "--device and --input cannot"},
        {{"--device", "0"}, "--device is used only with --measure"},
        {{"--list-devices", "--settings", "w.ini"}, "--settings is not used with --list-devices"},
        {{"--measure", "--list-devices", "--demo", "--buffers", "1"},
         "--measure and --list-devices cannot be used together"},
        {{"--list-devices", "--demo", "--input", "a.wav"}, "cannot be used together"},
    };
    for (const Case& c : cases) {
        const auto p = parse(c.arguments);
        EXPECT_FALSE(p.ok()) << c.expected;
        EXPECT_NE(p.error.find(c.expected), std::string::npos)
            << "got \"" << p.error << "\", expected \"" << c.expected << "\"";
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

}  // namespace
}  // namespace acw
