// Runs the real program on generated recordings and settings files and checks its CSV output,
// its messages and its exit status. HOME and XDG_CONFIG_HOME point into a temporary folder, so
// the user's own settings file is never read.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

#include "../capture/RecordingTestSupport.h"

extern char** environ;

namespace acw {
namespace {

using test::synthesise;
using test::TempFolder;
using test::writeWav;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with `arguments`; stdout goes to `stdoutPath` when given (e.g. /dev/full).
RunResult run(const TempFolder& folder, const std::vector<std::string>& arguments,
              const std::string& stdoutPath = "") {
    const std::string home = folder.file("home");
    const std::string config = folder.file("config");
    const std::string outPath = stdoutPath.empty() ? folder.file("stdout.txt") : stdoutPath;
    const std::string errPath = folder.file("stderr.txt");

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("HOME=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + config);

    std::vector<std::string> args{ACW_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    RunResult result;
    const int spawned = posix_spawn(&pid, ACW_PROGRAM, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (stdoutPath.empty()) result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) result.push_back(field);
    return result;
}

struct Row {
    std::string timeText;
    double volts, amps, hz, watts, va, pf, vcf, acf;
    std::string voltsLock, ampsLock;
};

std::vector<Row> parseCsv(const std::string& text) {
    std::vector<Row> rows;
    const auto all = lines(text);
    EXPECT_FALSE(all.empty());
    if (all.empty()) return rows;
    EXPECT_EQ(all[0], "time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock");
    for (std::size_t i = 1; i < all.size(); ++i) {
        const auto f = fields(all[i]);
        EXPECT_EQ(f.size(), 11u) << all[i];
        if (f.size() != 11) break;
        Row r;
        r.timeText = f[0];
        double* numbers[] = {&r.volts, &r.amps, &r.hz, &r.watts, &r.va, &r.pf, &r.vcf, &r.acf};
        for (int n = 0; n < 8; ++n) *numbers[n] = std::strtod(f[n + 1].c_str(), nullptr);
        r.voltsLock = f[9];
        r.ampsLock = f[10];
        rows.push_back(r);
    }
    return rows;
}

// The readings of one buffer of 4096 frames as the instrument defines them: sums over frames
// 1..4095 divided by 8190 (frames 4096..8190 of the capture buffer are zero), power from the
// signed products, PF = W / VA, crest factor from the half-range of fresh extremes.
struct Expected {
    double volts, amps, watts, va, pf, vcf, acf;
};

Expected expectedFirstBuffer(const std::int16_t* s, double voltsCal, double ampsCal) {
    double sv = 0, sa = 0, sp = 0;
    int vMax = 0, vMin = 0, aMax = 0, aMin = 0;
    for (int k = 1; k < 4096; ++k) {
        const double v = static_cast<double>(s[2 * k] * 750) / 32767.0;
        const double a = static_cast<double>(s[2 * k + 1] * 75) / 32767.0;
        sv += v * v;
        sa += a * a;
        sp += v * a;
        vMax = std::max<int>(vMax, s[2 * k]);
        vMin = std::min<int>(vMin, s[2 * k]);
        aMax = std::max<int>(aMax, s[2 * k + 1]);
        aMin = std::min<int>(aMin, s[2 * k + 1]);
    }
    Expected e;
    e.volts = std::sqrt(sv / 8190) / voltsCal;
    e.amps = std::sqrt(sa / 8190) / ampsCal;
    e.watts = std::fabs(sp) / 8190 / (voltsCal * ampsCal);
    e.va = e.volts * e.amps;
    e.pf = e.watts / e.va;
    const double vHalf = std::nearbyint((vMax - vMin) / 2.0);
    const double aHalf = std::nearbyint((aMax - aMin) / 2.0);
    e.vcf = (vHalf * 0.707 * 750) / (32767 * voltsCal) / e.volts;
    e.acf = (aHalf * 0.707 * 75) / (32767 * ampsCal) / e.amps;
    return e;
}

// Nine significant digits: the printed value is within 5e-9 of the reading, relatively.
void expectReading(double printed, double expected, const char* what) {
    EXPECT_NEAR(printed, expected, std::fabs(expected) * 6e-9 + 1e-300) << what;
}

void expectRow(const Row& row, const Expected& e) {
    expectReading(row.volts, e.volts, "volts");
    expectReading(row.amps, e.amps, "amps");
    expectReading(row.watts, e.watts, "watts");
    expectReading(row.va, e.va, "va");
    expectReading(row.pf, e.pf, "pf");
    expectReading(row.vcf, e.vcf, "v_cf");
    expectReading(row.acf, e.acf, "a_cf");
}

std::string nineDigits(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Five whole buffers and a partial one of a 60 Hz line: 20000 counts of voltage (about 324 V
// peak uncalibrated), 8000 counts of current lagging by 30 degrees.
struct SineRecording {
    static constexpr int kBlocks = 5;
    std::string path;
    std::vector<std::int16_t> samples;

    SineRecording(const TempFolder& folder, int subformat = SF_FORMAT_PCM_16,
                  const std::string& name = "line.wav") {
        path = folder.file(name);
        samples =
            synthesise(SyntheticSignal::sine(60.0, 20000.0, 8000.0, 30.0), kBlocks * 4096 + 2000);
        EXPECT_TRUE(writeWav(path, samples, 2, 11025, subformat));
    }
    const std::int16_t* block(int b) const { return samples.data() + 8192 * b; }
};

TEST(Cli, MeasuresAKnownSineBufferByBuffer) {
    TempFolder folder;
    SineRecording rec(folder);
    const RunResult r = run(folder, {"--measure", "--input", rec.path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.back(), '\n');
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 5u) << "the partial last block is not measured";

    for (int b = 0; b < 5; ++b) {
        SCOPED_TRACE("buffer " + std::to_string(b));
        const Row& row = rows[b];
        EXPECT_EQ(row.timeText, nineDigits(b * 4096.0 / 11025.0));
        const Expected e = expectedFirstBuffer(rec.block(b), 1.0, 1.0);
        expectReading(row.volts, e.volts, "volts");
        expectReading(row.amps, e.amps, "amps");
        expectReading(row.watts, e.watts, "watts");
        expectReading(row.va, e.va, "va");
        expectReading(row.pf, e.pf, "pf");
        // 4096 of the 8190 averaged frames carry the sine: RMS is about peak / 2 (22.3 cycles
        // per buffer, so each buffer's RMS varies by a few tenths of a percent).
        EXPECT_NEAR(row.volts, 20000.0 * 750 / 32767 / 2, 1.2);
        EXPECT_NEAR(row.amps, 8000.0 * 75 / 32767 / 2, 0.05);
        EXPECT_NEAR(row.pf, std::cos(30.0 * std::numbers::pi / 180.0), 0.005);
        EXPECT_NEAR(row.hz, 60.0, 0.05);
        EXPECT_NEAR(row.vcf, 1.414, 0.01);
        EXPECT_NEAR(row.acf, 1.414, 0.01);
        const char* lamp = b < 3 ? "red" : "green";
        EXPECT_EQ(row.voltsLock, lamp);
        EXPECT_EQ(row.ampsLock, lamp);
    }
    // The first buffer starts from fresh extremes: its crest factors are exact.
    expectRow(rows[0], expectedFirstBuffer(rec.block(0), 1.0, 1.0));
    EXPECT_EQ(rows[0].timeText, "0");

    // --buffers stops early with the same lines; a larger limit changes nothing.
    const RunResult two = run(folder, {"--measure", "--input", rec.path, "--buffers", "2"});
    ASSERT_EQ(two.status, 0) << two.err;
    const auto all = lines(r.out);
    EXPECT_EQ(two.out, all[0] + "\n" + all[1] + "\n" + all[2] + "\n");
    EXPECT_EQ(run(folder, {"--measure", "--input", rec.path, "--buffers=99"}).out, r.out);
}

TEST(Cli, CalibrationComesFromTheSettingsFile) {
    TempFolder folder;
    SineRecording rec(folder);

    // --settings FILE: lines 9 and 10 divide the readings.
    const std::string settings = folder.file("bench.ini");
    std::ofstream(settings) << "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n2\r\n0.5\r\n";
    const RunResult r = run(folder, {"--measure", "--input", rec.path, "--settings", settings});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 5u);
    expectRow(rows[0], expectedFirstBuffer(rec.block(0), 2.0, 0.5));

    // The user's own file in the configuration folder; a divisor of 0 becomes 1.
    std::filesystem::create_directories(folder.file("config"));
    std::ofstream(folder.file("config/wattmeter.ini"))
        << "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n4\r\n0\r\n";
    const RunResult user = run(folder, {"--measure", "--input", rec.path});
    ASSERT_EQ(user.status, 0) << user.err;
    const auto userRows = parseCsv(user.out);
    ASSERT_EQ(userRows.size(), 5u);
    expectRow(userRows[0], expectedFirstBuffer(rec.block(0), 4.0, 1.0));

    // Headless measuring never writes the settings file.
    EXPECT_EQ(slurp(folder.file("config/wattmeter.ini")),
              "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n4\r\n0\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("home/.config/wattmeter.ini")));
}

TEST(Cli, OtherSampleFormatsGiveTheSameReadings) {
    TempFolder folder;
    SineRecording pcm16(folder, SF_FORMAT_PCM_16, "pcm16.wav");
    SineRecording pcm24(folder, SF_FORMAT_PCM_24, "pcm24.wav");
    SineRecording flt(folder, SF_FORMAT_FLOAT, "float.wav");
    SineRecording u8(folder, SF_FORMAT_PCM_U8, "u8.wav");

    const RunResult reference = run(folder, {"--measure", "--input", pcm16.path});
    ASSERT_EQ(reference.status, 0) << reference.err;
    // 24-bit and floating-point files hold the 16-bit samples exactly: identical output.
    for (const SineRecording* rec : {&pcm24, &flt}) {
        const RunResult r = run(folder, {"--measure", "--input", rec->path});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, reference.out) << rec->path;
    }
    // 8-bit keeps 8 bits: the readings agree to a fraction of a percent.
    const RunResult coarse = run(folder, {"--measure", "--input", u8.path});
    ASSERT_EQ(coarse.status, 0) << coarse.err;
    const auto rows = parseCsv(coarse.out);
    const auto refRows = parseCsv(reference.out);
    ASSERT_EQ(rows.size(), refRows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i].volts, refRows[i].volts, refRows[i].volts * 0.01);
        EXPECT_NEAR(rows[i].amps, refRows[i].amps, refRows[i].amps * 0.01);
        EXPECT_NEAR(rows[i].watts, refRows[i].watts, refRows[i].watts * 0.02);
        EXPECT_NEAR(rows[i].hz, 60.0, 0.1);
    }
}

TEST(Cli, DemoAdaptorReadsALoadedLine) {
    TempFolder folder;
    const RunResult r = run(folder, {"--measure", "--demo", "--buffers", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 6u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("buffer " + std::to_string(i));
        EXPECT_NEAR(rows[i].volts, 120.0, 2.0);
        EXPECT_NEAR(rows[i].amps, 5.0, 0.1);
        EXPECT_NEAR(rows[i].pf, 0.85, 0.01);
        EXPECT_NEAR(rows[i].hz, 60.0, 0.1);
        EXPECT_NEAR(rows[i].va, rows[i].volts * rows[i].amps, rows[i].va * 1e-8);
        EXPECT_EQ(rows[i].voltsLock, i < 3 ? "red" : "green");
    }
}

// Bad input: exit status 2, one line on stderr naming the file and the problem, nothing on
// stdout.
TEST(Cli, BadInputIsRefusedBeforeAnyOutput) {
    TempFolder folder;
    const auto sine = synthesise(SyntheticSignal::sine(60.0, 20000.0, 8000.0), 8192);
    const std::string text = folder.file("readme.wav");
    std::ofstream(text) << "not audio\n";
    const std::string empty = folder.file("empty.wav");
    std::ofstream(empty).flush();
    const std::string mono = folder.file("mono.wav");
    ASSERT_TRUE(writeWav(mono, std::vector<std::int16_t>(8192, 5), 1));
    const std::string fast = folder.file("fast.wav");
    ASSERT_TRUE(writeWav(fast, sine, 2, 48000));
    const std::string tiny = folder.file("tiny.wav");
    ASSERT_TRUE(writeWav(tiny, std::vector<std::int16_t>(sine.begin(), sine.begin() + 8000)));
    const std::string good = folder.file("good.wav");
    ASSERT_TRUE(writeWav(good, sine));
    const std::string missing = folder.file("missing.wav");
    const std::string noSettings = folder.file("nowhere.ini");

    struct Case {
        std::vector<std::string> arguments;
        std::string mustName;
        const char* problem;
    };
    const Case cases[] = {
        {{"--measure", "--input", missing}, missing, "no such file"},
        {{"--measure", "--input", folder.path().string()},
         folder.path().string(),
         "not an audio file"},
        {{"--measure", "--input", text}, text, "not an audio file"},
        {{"--measure", "--input", empty}, empty, "not an audio file"},
        {{"--measure", "--input", mono}, mono, "has 1 channel, 2 are needed"},
        {{"--measure", "--input", fast}, fast, "sample rate is 48000 Hz, 11025 Hz is needed"},
        {{"--measure", "--input", tiny}, tiny, "has 4000 frames, at least 4096"},
        {{"--measure", "--input", good, "--settings", noSettings}, noSettings, "not found"},
        {{"--measure", "--input", good, "--settings", folder.path().string()},
         folder.path().string(),
         "not a settings file"},
        {{"--measure", "--input", good, "--bogus"}, "--bogus", "unknown option"},
        {{"--measure", "--input", good, "--buffers", "many"}, "--buffers", "bad value"},
        {{"--measure", "--input"}, "--input", "needs a value"},
        {{"--measure", "--demo"}, "--buffers", "needs"},
        {{"--measure", "--device", "0", "--input", good}, "--device", "cannot be used together"},
        {{"--measure", "--device", "x"}, "--device", "bad value"},
        {{"--measure", "--device", "0", "--settings", noSettings}, noSettings, "not found"},
    };
    for (const Case& c : cases) {
        const RunResult r = run(folder, c.arguments);
        SCOPED_TRACE(c.problem);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.out, "");
        const auto errLines = lines(r.err);
        ASSERT_EQ(errLines.size(), 1u) << r.err;
        EXPECT_EQ(errLines[0].rfind("ac-wattmeter: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.mustName), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.problem), std::string::npos) << r.err;
    }
}

TEST(Cli, FailedOutputIsReportedNotHidden) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempFolder folder;
    SineRecording rec(folder);
    const RunResult r = run(folder, {"--measure", "--input", rec.path}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("writing the output failed"), std::string::npos) << r.err;
}

// With --demo or --input the list is that single source, named as the window names it.
TEST(Cli, DeviceListOfASingleSource) {
    TempFolder folder;
    const RunResult demo = run(folder, {"--list-devices", "--demo"});
    EXPECT_EQ(demo.status, 0) << demo.err;
    EXPECT_EQ(demo.out, "0 Demo adaptor\n");
    EXPECT_EQ(demo.err, "");

    // The recording is listed by its file name, cut to 31 characters.
    SineRecording rec(folder, SF_FORMAT_PCM_16, "a-rather-long-name-for-a-bench-recording.wav");
    const RunResult file = run(folder, {"--list-devices", "--input", rec.path});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(file.out, "0 a-rather-long-name-for-a-bench-\n");

    // A recording the window would refuse is refused here too.
    const std::string missing = folder.file("gone.wav");
    const RunResult bad = run(folder, {"--list-devices", "--input", missing});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(lines(bad.err).size(), 1u) << bad.err;
    EXPECT_NE(bad.err.find(missing), std::string::npos) << bad.err;
}

TEST(Cli, HelpAndVersionSucceed) {
    TempFolder folder;
    const RunResult help = run(folder, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--measure"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const RunResult version = run(folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("ac-wattmeter ", 0), 0u);
    EXPECT_EQ(lines(version.out).size(), 1u);
}

}  // namespace
}  // namespace acw
