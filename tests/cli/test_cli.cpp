// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, and the real program measuring recordings and the demo adaptor headless:
// its CSV, messages and exit statuses. HOME and XDG_CONFIG_HOME point into a temporary folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>

#include "../capture/RecordingTestSupport.h"
#include "../common/ProgramRun.h"
#include "cli/CommandLine.h"

namespace acw {
namespace {

using test::lines;
using Action = CommandLineOptions::Action;

TEST(CommandLine, ReadsOptionsInAnyOrderWithTheirValues) {
    const struct {
        std::vector<std::string> arguments;
        Action action;
        std::string input, settings;
        std::int64_t buffers;
        int device;
        bool demo;
    } cases[] = {
        {{"--settings", "/s.ini", "--buffers=12", "--input", "a.wav", "--measure"},
         Action::Measure,
         "a.wav",
         "/s.ini",
         12,
         -9,
         false},
        {{"--measure", "--demo", "--buffers", "3"}, Action::Measure, "", "", 3, -9, true},
        // A value that looks like an option is still the value: a file may be named so.
        {{"--measure", "--input", "--demo"}, Action::Measure, "--demo", "", 0, -9, false},
        {{"--device", "2", "--measure"}, Action::Measure, "", "", 0, 2, false},
        {{"--measure", "--device=-1", "--buffers", "5"}, Action::Measure, "", "", 5, -1, false},
        {{"--demo", "--settings=/w.ini"}, Action::Window, "", "/w.ini", 0, -9, true},
        {{"--input", "a.wav", "--list-devices"}, Action::ListDevices, "a.wav", "", 0, -9, false},
        {{"--list-devices", "--demo"}, Action::ListDevices, "", "", 0, -9, true},
        // --help and --version end the reading: nothing after them is looked at.
        {{"--measure", "--help", "--no-such-option"}, Action::Help, "", "", 0, -9, false},
        {{"--version", "--demo", "--input", "a.wav"}, Action::Version, "", "", 0, -9, false},
    };
    for (const auto& c : cases) {
        const CommandLineParse p = parseCommandLine(c.arguments);
        SCOPED_TRACE(c.arguments.front());
        ASSERT_TRUE(p.ok()) << p.error;
        EXPECT_EQ(p.options.action, c.action);
        EXPECT_EQ(p.options.inputPath.value_or(""), c.input);
        EXPECT_EQ(p.options.settingsPath.value_or(""), c.settings);
        EXPECT_EQ(p.options.buffers.value_or(0), c.buffers);
        EXPECT_EQ(p.options.device.value_or(-9), c.device);
        EXPECT_EQ(p.options.demo, c.demo);
        EXPECT_EQ(p.options.measuresLive(), c.device != -9);
    }
}

TEST(CommandLine, RefusesBadArgumentsWithAOneLineReason) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate' (try --help)"},
        {{"-measure", "-x"}, "unknown option '-x' (try --help)"},
        {{"recording.wav"}, "unexpected argument 'recording.wav' (try --help)"},
        {{"--demo", "--"}, "unexpected argument '--' (try --help)"},
        {{"--measure", "--input"}, "--input needs a value"},
        {{"--measure", "--input="}, "--input: needs a file name"},
        {{"--settings="}, "--settings: needs a file name"},
        {{"--measure=yes", "--demo"}, "--measure takes no value"},
        {{"--measure", "--demo", "--buffers", "0"},
         "--buffers: bad value '0': a whole number of 1 or more is needed"},
        {{"--measure", "--demo", "--buffers", "7x"}, "--buffers: bad value '7x'"},
        {{"--measure", "--demo", "--buffers", "99999999999999999999"}, "--buffers: bad value"},
        {{"--measure", "--device", "-2"},
         "--device: bad value '-2': a device id (0, 1, ... as listed, or -1) is needed"},
        {{"--measure", "--device", "2147483648"}, "--device: bad value"},
        {{"--measure", "--device="}, "--device: bad value ''"},
        {{"--measure", "--input", "a", "--input", "b"}, "--input given more than once"},
        {{"--measure"}, "--measure needs --input FILE, --demo or --device N"},
        {{"--measure", "--demo"}, "--measure --demo needs --buffers N"},
        {{"--measure", "--list-devices", "--demo"},
         "--measure and --list-devices cannot be used together"},
        {{"--demo", "--input", "a.wav"}, "--input and --demo cannot be used together"},
        {{"--measure", "--device", "0", "--input", "a"}, "--device and --input cannot be used"},
        {{"--measure", "--device", "0", "--demo"}, "--device and --demo cannot be used together"},
        {{"--buffers", "4"}, "--buffers is used only with --measure"},
        {{"--device", "0"}, "--device is used only with --measure"},
        {{"--list-devices", "--settings", "w.ini"}, "--settings is not used with --list-devices"},
    };
    for (const auto& [arguments, expected] : cases) {
        const CommandLineParse p = parseCommandLine(arguments);
        EXPECT_EQ(p.error.substr(0, expected.size()), expected);
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

// The program run in a temporary home; its stdout goes to a file or to `stdoutPath`.
struct Program : ::testing::Test {
    Program() {
        ::setenv("HOME", folder.file("home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", folder.file("config").c_str(), 1);
    }
    struct Result {
        int status;
        std::string out, err;
    };
    Result run(std::vector<std::string> arguments, const std::string& stdoutPath = "") {
        test::Program p(std::move(arguments), folder.file("err"),
                        stdoutPath.empty() ? folder.file("out") : stdoutPath);
        const int status = p.wait();
        return {status, stdoutPath.empty() ? p.out() : "", p.err()};
    }
    // A 60 Hz line of 20000 counts of voltage and 8000 of current lagging by 30 degrees: five
    // whole buffers and a partial one.
    std::string sine(int subformat = SF_FORMAT_PCM_16, const std::string& name = "line.wav") {
        const auto samples =
            test::synthesise(SyntheticSignal::sine(60.0, 20000.0, 8000.0, 30.0), 5 * 4096 + 2000);
        EXPECT_TRUE(test::writeWav(folder.file(name), samples, 2, 11025, subformat));
        return folder.file(name);
    }
    test::TempFolder folder;
};

TEST_F(Program, MeasuresAKnownSineExactly) {
    const Result r = run({"--measure", "--input", sine()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Readings to nine digits: sums over frames 1..4095 of each buffer divided by 8190, power from
    // the signed products, crest factors from the buffer's own extremes; the lamps turn green
    // from the fourth buffer on. The partial last buffer is not measured.
    EXPECT_EQ(r.out,
              "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n"
              "0,229.092618,9.13294456,60.0180496,1811.03118,2092.29018,0.865573619,"
              "1.41274213,1.41750031,red,red\n"
              "0.371519274,228.330103,9.1641312,60.0027826,1811.21227,2092.44702,0.865595282,"
              "1.41746002,1.41267638,red,red\n"
              "0.743038549,229.654064,9.16334072,60.0018919,1825.00626,2104.39843,0.867234187,"
              "1.40928834,1.41279825,red,red\n"
              "1.11455782,228.113299,9.13352949,59.9989698,1800.84508,2083.47954,0.864344976,"
              "1.41880721,1.41740953,green,green\n"
              "1.4860771,229.46777,9.18607862,59.9969033,1829.05323,2107.90897,0.867709778,"
              "1.41043247,1.40930121,green,green\n");
    // --buffers ends early with the same lines; 24-bit and floating-point recordings of the same
    // line measure the same.
    const auto all = lines(r.out);
    EXPECT_EQ(run({"--measure", "--input", sine(), "--buffers", "2"}).out,
              all[0] + "\n" + all[1] + "\n" + all[2] + "\n");
    EXPECT_EQ(run({"--measure", "--input", sine(SF_FORMAT_PCM_24, "24.wav")}).out, r.out);
    EXPECT_EQ(run({"--measure", "--input", sine(SF_FORMAT_FLOAT, "float.wav")}).out, r.out);
}

// The divisors from --settings, else from the user's own file (a divisor of 0 means 1); neither
// file is ever written.
TEST_F(Program, CalibrationComesFromTheSettingsFile) {
    const std::string head = "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n";
    std::filesystem::create_directories(folder.file("config"));
    std::ofstream(folder.file("unit.ini")) << head + "1\r\n1\r\n";
    std::ofstream(folder.file("bench.ini")) << head + "2\r\n0.5\r\n";
    std::ofstream(folder.file("config/wattmeter.ini")) << head + "4\r\n0\r\n";
    const std::vector<std::string> demo{"--measure", "--demo", "--buffers", "3"};
    const auto plain =
        lines(run({demo[0], demo[1], demo[2], demo[3], "--settings", folder.file("unit.ini")}).out);
    const struct {
        std::vector<std::string> arguments;
        double volts, amps;
    } cases[] = {
        {{demo[0], demo[1], demo[2], demo[3], "--settings", folder.file("bench.ini")}, 2.0, 0.5},
        {demo, 4.0, 1.0}};
    for (const auto& c : cases) {
        const auto got = lines(run(c.arguments).out);
        ASSERT_EQ(got.size(), 4u);
        for (std::size_t i = 1; i < 4; ++i) {
            const auto a = test::split(plain[i], ','), b = test::split(got[i], ',');
            // volts, amps and watts
            for (const auto& [column, divisor] :
                 {std::pair{1, c.volts}, {2, c.amps}, {4, c.volts * c.amps}}) {
                const double want = std::stod(a[column]) / divisor;
                EXPECT_NEAR(std::stod(b[column]), want, want * 1e-8) << got[i];
            }
        }
    }
    EXPECT_EQ(test::slurp(folder.file("config/wattmeter.ini")), head + "4\r\n0\r\n");
}

// Bad input: status 2, one line on stderr naming the file and the problem, nothing on stdout.
TEST_F(Program, BadInputIsRefusedBeforeAnyOutput) {
    const auto sine = test::synthesise(SyntheticSignal::sine(60.0, 20000.0, 8000.0), 8192);
    const std::string f = folder.file("");
    std::ofstream(f + "text.wav") << "not audio\n";
    std::ofstream(f + "empty.wav").flush();
    ASSERT_TRUE(test::writeWav(f + "mono.wav", sine, 1));
    ASSERT_TRUE(test::writeWav(f + "fast.wav", sine, 2, 48000));
    ASSERT_TRUE(test::writeWav(f + "tiny.wav", {sine.begin(), sine.begin() + 8000}));
    ASSERT_TRUE(test::writeWav(f + "good.wav", sine));
    std::ofstream(f + "8.ini") << "0\n2\n0\n0\n0\n32\n32\n32\n";
    std::ofstream(f + "9.ini") << "0\n2\n0\n0\n0\n32\n32\n32\n1\nx\n";
    ::mkfifo((f + "fifo.ini").c_str(), 0600);
    const std::vector<std::string> good{"--measure", "--input", f + "good.wav", "--settings"};
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--measure", "--input", f + "none.wav"}, "'" + f + "none.wav': no such file"},
        {{"--measure", "--input", f}, "'" + f + "': is a folder, not an audio file"},
        {{"--measure", "--input", f + "text.wav"}, "'" + f + "text.wav': not an audio file ("},
        {{"--measure", "--input", f + "empty.wav"}, "'" + f + "empty.wav': not an audio file ("},
        {{"--measure", "--input", f + "mono.wav"},
         "'" + f + "mono.wav': has 1 channel, 2 are needed (left = voltage, right = current)"},
        {{"--measure", "--input", f + "fast.wav"},
         "'" + f + "fast.wav': sample rate is 48000 Hz, 11025 Hz is needed"},
        {{"--measure", "--input", f + "tiny.wav"},
         "'" + f + "tiny.wav': has 4000 frames, at least 4096 (one buffer) are needed"},
        {{"--list-devices", "--input", f + "none.wav"}, "'" + f + "none.wav': no such file"},
        {{"--input", f + "tiny.wav"}, "'" + f + "tiny.wav': has 4000 frames"},
        {{good[0], good[1], good[2], good[3], f + "none.ini"},
         "'" + f + "none.ini': settings file not found"},
        {{good[0], good[1], good[2], good[3], f}, "'" + f + "': is a folder, not a settings file"},
        {{good[0], good[1], good[2], good[3], f + "fifo.ini"},
         "'" + f + "fifo.ini': is not a regular file, not a settings file"},
        {{good[0], good[1], good[2], good[3], f + "8.ini"},
         "'" + f + "8.ini': line 9 holds no voltage calibration; is this a settings file?"},
        {{good[0], good[1], good[2], good[3], f + "9.ini"},
         "'" + f + "9.ini': line 10 holds no current calibration; is this a settings file?"},
        {{"--measure", "--device", "0", "--settings", f + "none.ini"},
         "'" + f + "none.ini': settings file not found"},
        {{"--measure", "--demo", "--buffers", "1", "--bogus"},
         "unknown option '--bogus' (try --help)"},
    };
    for (const auto& [arguments, message] : cases) {
        const Result r = run(arguments);
        SCOPED_TRACE(message);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, 14 + message.size()), "ac-wattmeter: " + message);
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    }
}

TEST_F(Program, PrintsHelpVersionAndTheListOfASingleSource) {
    const std::string name = "a-rather-long-name-for-a-bench-recording.wav";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, usageText()},
        {{"--version", "--bogus"}, versionText()},
        {{"--list-devices", "--demo"}, "0 Demo adaptor\n"},
        {{"--list-devices", "--input", sine(SF_FORMAT_PCM_16, name)},
         "0 " + name.substr(0, 31) + "\n"},
    };
    for (const auto& [arguments, out] : cases) {
        const Result r = run(arguments);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, out);
    }
    for (const char* option :
         {"--measure", "--input FILE", "--demo", "--device N", "--list-devices", "--buffers N",
          "--settings FILE", "--help", "--version", "Exit status: 0 done"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
    EXPECT_EQ(versionText().rfind("ac-wattmeter ", 0), 0u);
}

// Output that cannot be written: status 1 and the reason, also for --help and --version.
TEST_F(Program, FailedOutputIsReported) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--measure", "--input", sine()}, {"--help"}, {"--version"}}) {
        const Result r = run(arguments, "/dev/full");
        EXPECT_EQ(r.status, 1) << arguments[0];
        EXPECT_EQ(r.err, "ac-wattmeter: writing the output failed (No space left on device)\n");
    }
}

// Into a pipe the lines go out one by one: a reader that goes away after the first line
// (`| head -1`) ends a run of 100000000 buffers at once, not hours later.
TEST_F(Program, ClosedPipeEndsTheRunAtOnce) {
    std::signal(SIGPIPE, SIG_IGN);
    test::Program p({"--measure", "--demo", "--buffers", "100000000"}, folder.file("err"));
    EXPECT_EQ(p.readLine(), "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock");
    p.closePipe();
    EXPECT_EQ(p.wait(std::chrono::seconds(60)), 1);
    EXPECT_EQ(p.err(), "ac-wattmeter: writing the output failed (Broken pipe)\n");
}

}  // namespace
}  // namespace acw
