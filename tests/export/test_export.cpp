// SPDX-License-Identifier: GPL-3.0-or-later
// "Save Screen1 as bmp" on the running window: the negative of the scope as a 24-bit BMP file,
// cancel, a failed write, and the screen restored after each.

#include "../window/WindowRig.h"
#include "export/BmpFile.h"

namespace acw::test {

// Two saves in a row, of the sweep and of the XY picture: each file is the print of its own
// screen (traces black, background and graticule complemented). Cancel writes and says nothing;
// a file that cannot be written is reported with its name and the reason. The screen comes back
// every time.
TEST(Export, SavesWriteTheNegativeOfTheScreenAndFailuresAreReported) {
    Rig rig;
    const QDir dir(rig.dir.path());  // holds no settings file before shutdown
    QString chosen;
    // The dialog is asked with this filter and no initial name; otherwise nothing is chosen.
    rig.window.menuCommands().setSaveFileChooser([&](const QString& filter, const QString& name) {
        return filter == "All Files (*.bmp)" && name.isEmpty() ? chosen : QString();
    });
    click(rig.c().startButton);
    SyntheticSignal sine(SyntheticSignal::sine(60.0, 9000.0, 4000.0, 30.0));
    for (const int mode : {2, 3}) {
        rig.scope().scopeMode = static_cast<std::int16_t>(mode);
        rig.feed(sine, 2);
        const QImage before = rig.image();
        chosen = dir.filePath(QString("shot%1").arg(mode));  // a typed name gets no extension
        rig.c().saveScopeAction->trigger();
        const QByteArray bytes = readAll(chosen);
        EXPECT_EQ(bytes.left(54).toHex(),  // 309 x 213, bottom-up, 24 bits, 197718 bytes
                  "424d5604030000000000360000002800000035010000d5000000010018000000000020040300c4"
                  "0e0000c40e00000000000000000000");
        ASSERT_EQ(bytes.size(), 197718);
        const QImage file = QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < 213; ++y) {
            for (int x = 0; x < 309; ++x) {
                const QRgb s = before.pixel(x, y) & 0xFFFFFFu, f = file.pixel(x, y) & 0xFFFFFFu;
                ASSERT_EQ(f, s == kBlackPx || s == kGridPx ? ~s & 0xFFFFFFu : 0u) << x << ',' << y;
            }
        }
        EXPECT_EQ(joined(rig.image() == before, rig.scope().exportMode), "true 0");
    }
    const QImage before = rig.image();
    chosen.clear();  // cancel
    rig.c().saveScopeAction->trigger();
    chosen = dir.filePath("missing/scope.bmp");
    rig.c().saveScopeAction->trigger();
    EXPECT_EQ(rig.reports.join('|'),
              chosen + ": the folder " + dir.filePath("missing") + " does not exist");
    EXPECT_EQ(joined(rig.image() == before, rig.scope().exportMode,
                     dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(',')),
              "true 0 shot2,shot3");
    EXPECT_EQ(exportFailureMessage("/f.bmp", "REASON"),
              "Could not save the scope picture to /f.bmp: REASON.");
}

// Rows bottom-up, each pixel blue, green, red, rows padded with zeros to 4 bytes.
TEST(BmpFile, RowsAreBottomUpBgrAndZeroPadded) {
    QImage image(3, 2, QImage::Format_RGB32);
    for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, qRgb(i, 16 + i, 32 + i));
    EXPECT_EQ(encodeBmp24(image).mid(54).toHex(),
              "231303241404251505000000201000211101221202000000");
}

}  // namespace acw::test
