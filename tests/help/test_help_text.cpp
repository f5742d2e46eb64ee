// The help text as built, line by line, and the schematic picture.
#include <gtest/gtest.h>

#include <QStringList>
#include <array>

#include "help/HelpText.h"
#include "help/Schematic.h"

namespace acw {
namespace {

QStringList builtLines() { return buildHelpText().split(QStringLiteral("\r\n")); }

int leadingBlanks(const QString& s) {
    int n = 0;
    while (n < s.size() && s[n] == QLatin1Char(' ')) ++n;
    return n;
}

TEST(HelpText, FiftyFiveLinesWithAnEmptySecondLine) {
    const QString text = buildHelpText();
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 54);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 54);  // no bare line feeds
    EXPECT_EQ(text.count(QLatin1Char('\r')), 54);  // no bare carriage returns
    EXPECT_FALSE(text.endsWith(QLatin1Char('\n')));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n ")));  // the last piece is one blank

    const QStringList lines = builtLines();
    ASSERT_EQ(lines.size(), 55);
    EXPECT_EQ(lines[0], QStringLiteral("     Help with Morvane Laboratories KR-460 AC Wattmeter"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2],
              QString(36, QLatin1Char(' ')) + QStringLiteral("rev. 1.00  build 07-Feb-04"));
    EXPECT_EQ(lines[3], QStringLiteral(" "));
    EXPECT_EQ(lines[4], QStringLiteral("  SETUP -"));
    EXPECT_EQ(lines[54], QStringLiteral(" "));
}

TEST(HelpText, EveryPieceKeepsItsLeadingBlanks) {
    // Leading blanks of pieces 1..54 in order.
    constexpr std::array<int, 54> kLeading{5, 36, 1, 2, 1, 2, 3, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2,
                                           2, 2,  2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 2, 2,
                                           2, 1,  2, 2, 2, 1, 2, 2, 2, 2, 1, 2, 2, 1, 1, 3, 1, 1};
    const QStringList lines = builtLines();
    ASSERT_EQ(lines.size(), 55);
    for (int piece = 1; piece <= 54; ++piece) {
        const int line = piece == 1 ? 0 : piece;  // the empty line sits after piece 1
        EXPECT_EQ(leadingBlanks(lines[line]), kLeading[piece - 1]) << "piece " << piece;
    }
    // Pieces made only of blanks look empty but keep their blanks.
    for (int piece : {3, 5, 9, 23, 25, 31, 38, 42, 47, 50, 51, 53, 54}) {
        EXPECT_EQ(lines[piece], QStringLiteral(" ")) << "piece " << piece;
    }
    EXPECT_EQ(lines[34], QStringLiteral("   "));
}

TEST(HelpText, TrailingBlanksAndTheContactLine) {
    const QStringList lines = builtLines();
    ASSERT_EQ(lines.size(), 55);
    EXPECT_EQ(lines[8], QStringLiteral("  selections for the soundcard of choice. "));
    EXPECT_EQ(lines[14],
              QStringLiteral(
                  "  hooked to the right channel of the soundcard and have a 30mV/A ratio. The "));
    EXPECT_EQ(lines[24], QStringLiteral("  USE - "));
    EXPECT_TRUE(lines[48].endsWith(QStringLiteral("as an inverted Grayscale .bmp. Use ")));
    EXPECT_EQ(lines[44],
              QStringLiteral("  the LOCK L R checkbox. Also you may force the Left/Right displays "
                             "apart by checking the x x box."));
    EXPECT_EQ(lines[52], QStringLiteral("   For the latest updates visit:  "
                                        "https://ac-wattmeter.example.org  or email:  "
                                        "maintainers@ac-wattmeter.example.org"));
}

TEST(Schematic, OneBitBlackOnWhiteAtItsNaturalSize) {
    const QImage image = drawSchematic();
    EXPECT_EQ(image.size(), QSize(543, 313));
    EXPECT_EQ(image.format(), QImage::Format_Mono);
    ASSERT_EQ(image.colorCount(), 2);
    EXPECT_EQ(image.color(0), qRgb(0, 0, 0));
    EXPECT_EQ(image.color(1), qRgb(255, 255, 255));

    long black = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelIndex(x, y) == 0) ++black;
        }
    }
    // A line drawing: mostly white paper, but far from blank.
    const long total = 543L * 313L;
    EXPECT_GT(black, total / 50);
    EXPECT_LT(black, total / 5);
    EXPECT_EQ(image.pixelIndex(0, 0), 1);  // white corner

    EXPECT_EQ(drawSchematic(), image);  // the same drawing every time
}

}  // namespace
}  // namespace acw
