// The help text as built, line by line, and the schematic picture.
#include <gtest/gtest.h>

#include <QStringList>
#include <array>

#include "help/HelpText.h"
#include "help/Schematic.h"

namespace acw {
namespace {

TEST(HelpText, FiftyFiveLinesWithTheirOwnBlanks) {
    const QString text = buildHelpText();
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 54);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 54);  // no bare line feeds or carriage returns
    EXPECT_EQ(text.count(QLatin1Char('\r')), 54);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 55);

    EXPECT_EQ(lines[0], QStringLiteral("     Help with Morvane Laboratories KR-460 AC Wattmeter"));
    EXPECT_EQ(lines[1], QString());  // the only empty line
    EXPECT_EQ(lines[2],
              QString(36, QLatin1Char(' ')) + QStringLiteral("rev. 1.00  build 07-Feb-04"));
    EXPECT_EQ(lines[8], QStringLiteral("  selections for the soundcard of choice. "));
    EXPECT_EQ(lines[24], QStringLiteral("  USE - "));
    EXPECT_EQ(lines[34], QStringLiteral("   "));
    EXPECT_EQ(lines[44],
              QStringLiteral("  the LOCK L R checkbox. Also you may force the Left/Right displays "
                             "apart by checking the x x box."));
    EXPECT_EQ(lines[52], QStringLiteral("   For the latest updates visit:  "
                                        "https://ac-wattmeter.example.org  or email:  "
                                        "maintainers@ac-wattmeter.example.org"));
    EXPECT_EQ(lines[54], QStringLiteral(" "));  // the text ends on a blank, not a line break

    // Leading blanks of every line after the empty one, in order; blank-only lines keep theirs.
    constexpr std::array<int, 53> kLeading{36, 1, 2, 1, 2, 3, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
                                           2,  2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 2, 2, 2,
                                           1,  2, 2, 2, 1, 2, 2, 2, 2, 1, 2, 2, 1, 1, 3, 1, 1};
    for (int line = 2; line < 55; ++line) {
        int blanks = 0;
        while (blanks < lines[line].size() && lines[line][blanks] == QLatin1Char(' ')) ++blanks;
        EXPECT_EQ(blanks, kLeading[line - 2]) << "line " << line;
        EXPECT_FALSE(lines[line].isEmpty()) << "line " << line;
    }
}

TEST(Schematic, OneBitBlackOnWhiteAtItsNaturalSize) {
    const QImage image = drawSchematic();
    EXPECT_EQ(image.size(), QSize(543, 313));
    EXPECT_EQ(image.format(), QImage::Format_Mono);
    ASSERT_EQ(image.colorCount(), 2);
    EXPECT_EQ(image.color(0), qRgb(0, 0, 0));
    EXPECT_EQ(image.color(1), qRgb(255, 255, 255));
    // A line drawing: mostly white paper, but far from blank.
    long black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) black += image.pixelIndex(x, y) == 0 ? 1 : 0;
    EXPECT_GT(black, 543L * 313L / 50);
    EXPECT_LT(black, 543L * 313L / 5);
}

}  // namespace
}  // namespace acw
