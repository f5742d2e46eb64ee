// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <bit>
#include <fstream>

#include "settings/MeasuringCalibration.h"
#include "settings/SettingsStore.h"

using namespace acw;

// Files as shutdown writes them read back to the same bytes: doubles as the shortest text, with
// an exponent only for extreme magnitudes, every bit kept (-0 too), integers at their limits.
TEST(SettingsFile, WrittenTextReadsBackToTheSameBytes) {
    const std::pair<double, const char*> doubles[] = {
        // clang-format off
        {1.0, "1"}, {-0.5, "-0.5"}, {123456789.125, "123456789.125"}, {-0.0, "-0"}, {1e15, "1E+15"},
        {1.0 / 3.0, "0.3333333333333333"}, {1e-5, "0.00001"},
        {999999999999999.0, "999999999999999"}, {9.99e-6, "9.99E-6"}, {1e-300, "1E-300"},
        {-2.5e300, "-2.5E+300"}, {4.9406564584124654e-324, "5E-324"},
        {1.7976931348623157e308, "1.7976931348623157E+308"},
        // clang-format on
    };
    SettingsValues v;
    for (const auto& [value, text] : doubles) {
        const std::string file =
            "-2147483648\r\n-32768\r\n32767\r\n1\r\n-1\r\n1024\r\n2147483647\r\n"
            "256\r\n" +
            std::string(text) + "\r\n1\r\n";
        readSettingsText(file, v);
        EXPECT_EQ(writeSettingsText(v), file);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(v.voltsCal), std::bit_cast<std::uint64_t>(value));
    }
}

// A field that cannot be converted keeps its value, and the fields after it are still read;
// commas and every kind of line end close fields. Integer lines also take whole numbers in the
// form of a double ("64.0", "1e2"), but not "1.5" or a value beyond their 16 or 32 bits.
TEST(SettingsFile, FieldRules) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"12abc\r\n40000\r\n  1\r\n1.5\r\n\r\n2147483648\r\n1e2\r\n+64.0 \r\nnan\r\n1e400",
         "0 2 1 0 0 77 100 64 77 77 "},
        {"3,4e4\n1\r1\r\n1,-64.0\n1E2\r0x10,-2.5E+20\r-.25",
         "3 2 1 1 1 -64 100 77 -2.5E+20 -0.25 "},
        {"0\n0\n0\n0\n0\n0\n0\n0\n1,5", "0 0 0 0 0 0 0 0 1 5 "},
        {"inf,0x10,1.5V,--1,+-1,1e,1 2,0.5e,1.5V,0x10", "0 2 0 0 0 77 77 77 77 77 "},
        {"1e-400,,-1e400,1e,+-1,1.5V,1 2,1e400,+-1,1e-400", "0 2 0 0 0 77 77 77 77 77 "},
        // clang-format on
    };
    for (const auto& [text, expected] : cases) {
        SettingsValues v{.gainL = 77, .gainR = 77, .timeBase = 77, .voltsCal = 77, .ampsCal = 77};
        readSettingsText(text, v);
        std::string written = writeSettingsText(v);
        for (std::size_t at; (at = written.find("\r\n")) != std::string::npos;)
            written.replace(at, 2, " ");
        EXPECT_EQ(written, expected) << text;
    }
}

// Only a regular file is read: a pipe would wait for a writer forever. A missing file is a
// first start, without a reason. A file named with --settings must hold both divisors: anything
// else (a recording given by mistake) is refused at once with one line naming it.
TEST(SettingsStore, ReadsOnlyRegularFilesAndNamedOnesMustHoldTheDivisors) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    ASSERT_EQ(mkfifo((folder + "fifo").c_str(), 0600), 0);
    const std::string noVolts = "line 9 holds no voltage calibration; is this a settings file?";
    const std::tuple<const char*, QByteArray, QString, std::string, double> cases[] = {
        // clang-format off
        {"good.ini", "1\r\n3\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n2.5\r\n0\r\n", "", "", 2.5},
        {"take.wav", QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24), "", noVolts,
         1},
        {"zeros", QByteArray(4096, '\0'), "", noVolts, 1},
        {"notes.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\nten\n", "",
         "line 10 holds no current calibration; is this a settings file?", 1},
        {"fifo", {}, "it is not a regular file", "is not a regular file, not a settings file", 1},
        {"", {}, "it is a folder, not a file", "is a folder, not a settings file", 1},
        {"missing", {}, "", "settings file not found", 1},
        // clang-format on
    };
    for (const auto& [name, content, reason, error, volts] : cases) {
        const std::string path = folder + name;
        if (!content.isNull()) std::ofstream(path).write(content.constData(), content.size());
        SettingsValues values;
        QString why = "";
        EXPECT_EQ(SettingsStore(QString::fromStdString(path)).load(values, &why),
                  !content.isNull());
        EXPECT_EQ(why, reason);
        CalibrationDivisors d{7, 7};
        std::string warning = "unset";
        EXPECT_EQ(loadCalibration(path, d, warning),
                  error.empty() ? "" : "'" + path + "': " + error);
        EXPECT_EQ(std::tuple(d.voltsCal, d.ampsCal, warning), std::tuple(volts, 1.0, ""));
        EXPECT_EQ(volts == 2.5 ? values.selectedDevice * 10 + values.scopeMode : 13, 13);
    }
}

// Without --settings: the user's file, which SettingsStore writes (creating its folder), read
// by start-up's rules: no file, or a divisor of 0, reads as 1.
TEST(SettingsStore, UsersFileByStartUpRules) {
    QTemporaryDir dir;
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("cfg")).constData(), 1), 0);
    for (const double volts : {1.0, 4.0}) {
        CalibrationDivisors d{7, 7};
        std::string warning;
        EXPECT_EQ(loadCalibration(std::nullopt, d, warning) + warning, "");
        EXPECT_EQ(std::pair(d.voltsCal, d.ampsCal), std::pair(volts, 1.0));
        ASSERT_TRUE(SettingsStore().save(SettingsValues{.voltsCal = 4}));
    }
}
