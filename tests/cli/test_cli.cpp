// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, and the real program measuring recordings and the demo adaptor headless:
// its CSV, messages and exit statuses. HOME and XDG_CONFIG_HOME point into a temporary folder.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "../capture/RecordingTestSupport.h"
#include "../common/ProgramRun.h"
#include "cli/CommandLine.h"

namespace acw {
namespace {

using test::lines;

// What is accepted, in any order, is seen in what the program does (below).
TEST(CommandLine, RefusesBadArgumentsWithAOneLineReason) {
    const std::string wholeNumber = ": a whole number of 1 or more is needed";
    const std::string deviceId = ": a device id (0, 1, ... as listed, or -1) is needed";
    const std::pair<std::string, std::string> cases[] = {
        // arguments separated by blanks
        {"-measure -x", "unknown option '-x' (try --help)"},
        {"recording.wav", "unexpected argument 'recording.wav' (try --help)"},
        {"--demo --", "unexpected argument '--' (try --help)"},
        {"--measure --input", "--input needs a value"},
        {"--measure --input=", "--input: needs a file name"},
        {"--settings=", "--settings: needs a file name"},
        {"--measure=yes --demo", "--measure takes no value"},
        {"--measure --demo --buffers 0", "--buffers: bad value '0'" + wholeNumber},
        {"--measure --demo --buffers 7x", "--buffers: bad value '7x'" + wholeNumber},
        {"--measure --demo --buffers 9999999999999999999",
         "--buffers: bad value '9999999999999999999'" + wholeNumber},
        {"--measure --device -2", "--device: bad value '-2'" + deviceId},
        {"--measure --device 2147483648", "--device: bad value '2147483648'" + deviceId},
        {"--measure --input a --input b", "--input given more than once"},
        {"--measure", "--measure needs --input FILE, --demo or --device N"},
        {"--measure --demo", "--measure --demo needs --buffers N"},
        {"--measure --list-devices --demo", "--measure and --list-devices cannot be used together"},
        {"--demo --input a.wav", "--input and --demo cannot be used together"},
        {"--measure --device 0 --input a", "--device and --input cannot be used together"},
        {"--measure --device 0 --demo", "--device and --demo cannot be used together"},
        {"--buffers 4", "--buffers is used only with --measure"},
        {"--device 0", "--device is used only with --measure"},
        {"--list-devices --settings w.ini", "--settings is not used with --list-devices"},
    };
    for (const auto& [arguments, error] : cases)
        EXPECT_EQ(parseCommandLine(test::split(arguments, ' ')).error, error);
}

// The program, run in a temporary folder that is also its home, as "<status>|<stdout>|<stderr>";
// stdout goes to a file or to `stdoutPath`.
struct Program : ::testing::Test {
    Program() {
        std::filesystem::current_path(folder.path().toStdString());
        ::setenv("HOME", folder.path().toLocal8Bit().constData(), 1);
        ::setenv("XDG_CONFIG_HOME", folder.file("config").c_str(), 1);
    }
    static std::string run(const std::string& arguments, const std::string& stdoutPath = "out") {
        test::Program p(test::split(arguments, ' '), "err", stdoutPath);
        const int status = p.wait();
        return std::to_string(status) + "|" + (stdoutPath == "out" ? p.out() : "") + "|" + p.err();
    }
    test::TempFolder folder;
};

TEST_F(Program, MeasuresListsAndRefusesWithTheRightStatus) {
    // A 60 Hz line of 20000 counts of voltage and 8000 of current lagging by 30 degrees, four
    // whole buffers and a partial one, recorded with 16-bit, 24-bit and floating-point samples.
    const auto sine =
        test::synthesise(SyntheticSignal::sine(60.0, 20000.0, 8000.0, 30.0), 4 * 4096 + 2000);
    for (const auto& [name, format] : {std::pair{"line.wav", SF_FORMAT_PCM_16},
                                       {"24.wav", SF_FORMAT_PCM_24},
                                       {"float.wav", SF_FORMAT_FLOAT}})
        ASSERT_TRUE(test::writeWav(name, sine, format));
    ASSERT_TRUE(test::writeWav("mono.wav", sine, SF_FORMAT_PCM_16, 1));
    ASSERT_TRUE(test::writeWav("fast.wav", sine, SF_FORMAT_PCM_16, 2, 4000));
    ASSERT_TRUE(test::writeWav("tiny.wav", std::vector(sine.begin(), sine.begin() + 8190)));
    ASSERT_TRUE(test::writeWav("a-rather-long-name-for-a-bench-recording.wav", sine));
    std::ofstream("text.wav") << "not audio\n";
    // Calibration files; the user's own has a current divisor of 0, which means 1.
    const std::string head = "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n";
    std::filesystem::create_directory("config");
    std::ofstream("one.ini") << head + "1\r\n1\r\n";
    std::ofstream("bench.ini") << head + "2\r\n0.5\r\n";
    std::ofstream("config/wattmeter.ini") << head + "4\r\n0\r\n";
    // Readings to nine digits: sums over frames 1..4095 of each buffer divided by 8190, power from
    // the signed products, crest factors from the buffer's own extremes; the lamps turn green
    // from the fourth buffer on. The partial last buffer is not measured.
    const std::string header = "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n";
    const std::string four = header +
                             "0,229.092618,9.13294456,60.0180496,1811.03118,2092.29018,0.865573619,"
                             "1.41274213,1.41750031,red,red\n"
                             "0.371519274,228.330103,9.1641312,60.0027826,1811.21227,2092.44702,"
                             "0.865595282,1.41746002,1.41267638,red,red\n"
                             "0.743038549,229.654064,9.16334072,60.0018919,1825.00626,2104.39843,"
                             "0.867234187,1.40928834,1.41279825,red,red\n"
                             "1.11455782,228.113299,9.13352949,59.9989698,1800.84508,2083.47954,"
                             "0.864344976,1.41880721,1.41740953,green,green\n";
    // The demo adaptor reads a loaded line of 120 V and 5 A at a power factor of 0.85 (120.109191 V
    // and 4.98833861 A for its first buffer, uncalibrated).
    const std::string demo = ",0.849408574,1.39945161,1.34693121,red,red\n|";
    const std::string bad = "2||ac-wattmeter: ";
    const std::string measure = "--measure --settings one.ini --input ";
    const std::pair<std::string, std::string> cases[] = {
        {measure + "line.wav", "0|" + four + "|"},
        {measure + "24.wav", "0|" + four + "|"},
        {measure + "float.wav", "0|" + four + "|"},
        {"--buffers=2 --input line.wav --measure --settings=one.ini",
         "0|" + four.substr(0, four.find("0.743038549")) + "|"},
        {"--measure --demo --buffers 1 --settings bench.ini",
         "0|" + header + "0,60.0545956,9.97667722,60.0182114,508.919168,599.145316" + demo},
        {"--measure --demo --buffers 1",
         "0|" + header + "0,30.0272978,4.98833861,60.0182114,127.229792,149.786329" + demo},
        {"--help --bogus", "0|" + usageText() + "|"},
        {"--version --bogus", "0|" + versionText() + "|"},
        {"--list-devices --demo", "0|0 Demo adaptor\n|"},
        {"--list-devices --input a-rather-long-name-for-a-bench-recording.wav",
         "0|0 a-rather-long-name-for-a-bench-\n|"},
        // Bad input: one line naming the file and the problem, before any output.
        {"--measure --input none.wav", bad + "'none.wav': no such file\n"},
        {"--measure --input --demo", bad + "'--demo': no such file\n"},
        {"--measure --input .", bad + "'.': is a folder, not an audio file\n"},
        {"--measure --input text.wav",
         bad + "'text.wav': not an audio file (Format not recognised)\n"},
        {"--measure --input mono.wav",
         bad + "'mono.wav': has 1 channel, 2 are needed (left = voltage, right = current)\n"},
        {"--measure --input fast.wav",
         bad + "'fast.wav': sample rate is 4000 Hz; 8000 to 192000 Hz can be read\n"},
        {"--measure --input tiny.wav",
         bad + "'tiny.wav': has 4095 frames, at least 4096 (one buffer) are needed\n"},
        {"--list-devices --input none.wav", bad + "'none.wav': no such file\n"},
        {"--input tiny.wav",
         bad + "'tiny.wav': has 4095 frames, at least 4096 (one buffer) are needed\n"},
        {"--measure --input line.wav --settings none.ini",
         bad + "'none.ini': settings file not found\n"},
        {"--measure --device 0 --settings none.ini", bad + "'none.ini': settings file not found\n"},
        {"--measure --demo --buffers 1 --bogus", bad + "unknown option '--bogus' (try --help)\n"},
    };
    for (const auto& [arguments, expected] : cases) EXPECT_EQ(run(arguments), expected);
    // Output that cannot be written, also for --help and --version, which now say why.
    for (const char* arguments : {"--measure --input line.wav", "--help", "--version"})
        EXPECT_EQ(run(arguments, "/dev/full"),
                  "1||ac-wattmeter: writing the output failed (No space left on device)\n");
    EXPECT_EQ(test::slurp("config/wattmeter.ini"), head + "4\r\n0\r\n") << "it is never written";
}

// Into a pipe the lines go out one by one: a reader that goes away after the first line ends a
// run of 100000000 buffers at once, after a buffer or two, where lines held back for a large
// write would take thousands of buffers first. The run may take 10 s of processor time (a few
// hundred buffers even under the sanitizers) and a minute in all; beyond them the status tells.
TEST_F(Program, ClosedPipeEndsTheRunAtOnce) {
    std::signal(SIGPIPE, SIG_IGN);  // the program learns of the closed pipe from its write
    ASSERT_EQ(std::system("(ulimit -t 10; timeout 60 '" ACW_PROGRAM "' --measure --demo --buffers "
                          "100000000 2>err; echo $? >status) | head -1 >out"),
              0);
    EXPECT_EQ(test::slurp("out"),
              "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n");
    EXPECT_EQ(test::slurp("status") + test::slurp("err"),
              "1\nac-wattmeter: writing the output failed (Broken pipe)\n");
}

}  // namespace
}  // namespace acw
