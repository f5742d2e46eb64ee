// Runs the real program on generated recordings and settings files and checks its CSV output,
// messages and exit status. HOME and XDG_CONFIG_HOME point into a temporary folder.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "../capture/RecordingTestSupport.h"
#include "../common/ProgramRun.h"

namespace acw {
namespace {

using test::lines;
using test::slurp;
using test::synthesise;
using test::TempFolder;
using test::writeWav;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program with `arguments`; stdout goes to `stdoutPath` when given (e.g. /dev/full).
RunResult run(const TempFolder& folder, const std::vector<std::string>& arguments,
              const std::string& stdoutPath = "") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("HOME=" + folder.file("home"));
    env.push_back("XDG_CONFIG_HOME=" + folder.file("config"));
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string outPath = stdoutPath.empty() ? folder.file("stdout.txt") : stdoutPath;
    RunResult result;
    const pid_t pid =
        test::spawnProgram(ACW_PROGRAM, arguments, outPath, folder.file("stderr.txt"), envp.data());
    if (pid < 0) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.status = test::exitStatus(status);
    if (stdoutPath.empty()) result.out = slurp(outPath);
    result.err = slurp(folder.file("stderr.txt"));
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
        const auto f = test::fields(all[i]);
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
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 5u) << "the partial last block is not measured";
    // The first buffer starts from fresh extremes: its crest factors are exact too.
    expectRow(rows[0], expectedFirstBuffer(rec.block(0), 1.0, 1.0));
    for (int b = 0; b < 5; ++b) {
        SCOPED_TRACE("buffer " + std::to_string(b));
        const Row& row = rows[b];
        EXPECT_EQ(row.timeText, nineDigits(b * 4096.0 / 11025.0));
        const Expected e = expectedFirstBuffer(rec.block(b), 1.0, 1.0);
        expectReading(row.volts, e.volts, "volts");
        expectReading(row.watts, e.watts, "watts");
        expectReading(row.pf, e.pf, "pf");
        // 4096 of the 8190 averaged frames carry the sine: RMS is about peak / 2.
        EXPECT_NEAR(row.volts, 20000.0 * 750 / 32767 / 2, 1.2);
        EXPECT_NEAR(row.pf, std::cos(30.0 * std::numbers::pi / 180.0), 0.005);
        EXPECT_NEAR(row.hz, 60.0, 0.05);
        EXPECT_EQ(row.voltsLock, b < 3 ? "red" : "green");
        EXPECT_EQ(row.ampsLock, b < 3 ? "red" : "green");
    }
    // --buffers stops early with the same lines; a larger limit changes nothing.
    const RunResult two = run(folder, {"--measure", "--input", rec.path, "--buffers", "2"});
    ASSERT_EQ(two.status, 0) << two.err;
    const auto all = lines(r.out);
    EXPECT_EQ(two.out, all[0] + "\n" + all[1] + "\n" + all[2] + "\n");
    EXPECT_EQ(run(folder, {"--measure", "--input", rec.path, "--buffers=99"}).out, r.out);
}

TEST(Cli, CalibrationComesFromTheSettingsFileWhichIsNeverWritten) {
    TempFolder folder;
    SineRecording rec(folder);
    const std::string settings = folder.file("bench.ini");
    std::ofstream(settings) << "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n2\r\n0.5\r\n";
    const RunResult r = run(folder, {"--measure", "--input", rec.path, "--settings", settings});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 5u);
    expectRow(rows[0], expectedFirstBuffer(rec.block(0), 2.0, 0.5));

    // The user's own file in the configuration folder; a divisor of 0 becomes 1.
    const std::string userFile = "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n4\r\n0\r\n";
    std::filesystem::create_directories(folder.file("config"));
    std::ofstream(folder.file("config/wattmeter.ini")) << userFile;
    const auto userRows = parseCsv(run(folder, {"--measure", "--input", rec.path}).out);
    ASSERT_EQ(userRows.size(), 5u);
    expectRow(userRows[0], expectedFirstBuffer(rec.block(0), 4.0, 1.0));
    EXPECT_EQ(slurp(folder.file("config/wattmeter.ini")), userFile);
}

TEST(Cli, TwentyFourBitAndFloatRecordingsGiveTheSameOutput) {
    TempFolder folder;
    SineRecording pcm16(folder, SF_FORMAT_PCM_16, "pcm16.wav");
    SineRecording pcm24(folder, SF_FORMAT_PCM_24, "pcm24.wav");
    SineRecording flt(folder, SF_FORMAT_FLOAT, "float.wav");
    const RunResult reference = run(folder, {"--measure", "--input", pcm16.path});
    ASSERT_EQ(reference.status, 0) << reference.err;
    for (const SineRecording* rec : {&pcm24, &flt}) {
        const RunResult r = run(folder, {"--measure", "--input", rec->path});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, reference.out) << rec->path;
    }
}

TEST(Cli, DemoAdaptorReadsALoadedLine) {
    TempFolder folder;
    const RunResult r = run(folder, {"--measure", "--demo", "--buffers", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = parseCsv(r.out);
    ASSERT_EQ(rows.size(), 6u);
    for (const Row& row : rows) {
        EXPECT_NEAR(row.volts, 120.0, 2.0);
        EXPECT_NEAR(row.amps, 5.0, 0.1);
        EXPECT_NEAR(row.pf, 0.85, 0.01);
        EXPECT_NEAR(row.hz, 60.0, 0.1);
    }
    EXPECT_EQ(rows[2].voltsLock, "red");
    EXPECT_EQ(rows[3].voltsLock, "green");
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
    const std::string slow = folder.file("slow.wav");
    ASSERT_TRUE(writeWav(slow, sine, 2, 4000));
    const std::string tiny = folder.file("tiny.wav");
    ASSERT_TRUE(writeWav(tiny, std::vector<std::int16_t>(sine.begin(), sine.begin() + 8000)));
    const std::string good = folder.file("good.wav");
    ASSERT_TRUE(writeWav(good, sine));
    const std::string missing = folder.file("missing.wav");
    const std::string noSettings = folder.file("nowhere.ini");
    const std::string dir = folder.path().string();

    const struct {
        std::vector<std::string> arguments;
        std::string mustName;
        const char* problem;
    } cases[] = {
        {{"--measure", "--input", missing}, missing, "no such file"},
        {{"--measure", "--input", dir}, dir, "not an audio file"},
        {{"--measure", "--input", text}, text, "not an audio file"},
        {{"--measure", "--input", empty}, empty, "not an audio file"},
        {{"--measure", "--input", mono}, mono, "has 1 channel, 2 are needed"},
        {{"--measure", "--input", slow}, slow, "sample rate is 4000 Hz; 8000 to 192000 Hz"},
        {{"--measure", "--input", tiny}, tiny, "has 4000 frames, at least 4096"},
        {{"--measure", "--input", good, "--settings", noSettings}, noSettings, "not found"},
        {{"--measure", "--input", good, "--settings", dir}, dir, "not a settings file"},
        {{"--measure", "--input", good, "--bogus"}, "--bogus", "unknown option"},
        {{"--measure", "--device", "0", "--settings", noSettings}, noSettings, "not found"},
        {{"--list-devices", "--input", missing}, missing, "no such file"},
    };
    for (const auto& c : cases) {
        const RunResult r = run(folder, c.arguments);
        SCOPED_TRACE(c.problem);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("ac-wattmeter: ", 0), 0u) << r.err;
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

// With --demo or --input the list is that single source, named as the window names it (a
// recording by its file name, cut to 31 characters).
TEST(Cli, DeviceListOfASingleSource) {
    TempFolder folder;
    const RunResult demo = run(folder, {"--list-devices", "--demo"});
    EXPECT_EQ(demo.status, 0) << demo.err;
    EXPECT_EQ(demo.out, "0 Demo adaptor\n");
    SineRecording rec(folder, SF_FORMAT_PCM_16, "a-rather-long-name-for-a-bench-recording.wav");
    const RunResult file = run(folder, {"--list-devices", "--input", rec.path});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(file.out, "0 a-rather-long-name-for-a-bench-\n");
}

TEST(Cli, HelpAndVersionSucceed) {
    TempFolder folder;
    const RunResult help = run(folder, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--measure"), std::string::npos);
    const RunResult version = run(folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("ac-wattmeter ", 0), 0u);
}

}  // namespace
}  // namespace acw
