// SPDX-License-Identifier: GPL-3.0-or-later
// The help text, the schematic, and the single help window opened from the main window.

#include "../window/WindowRig.h"
#include "help/HelpText.h"
#include "help/HelpWindow.h"
#include "help/Schematic.h"

namespace acw::test {

// The text: 55 lines joined by CR LF (no other line ends), the second one empty, ending on a
// blank; the checksum covers every character. The schematic: a one-bit black-on-white line
// drawing at its natural size, mostly white paper but far from blank.
TEST(HelpContent, FiftyFiveLinesOfTextAndTheSchematic) {
    const QString text = buildHelpText();
    const QStringList lines = text.split("\r\n");
    EXPECT_EQ(joined(lines.size(), text.count('\r'), text.count('\n'), lines.indexOf(""),
                     lines.count("")),
              "55 54 54 1 1");
    EXPECT_EQ(qChecksum(text.toUtf8()), 54652);
    const QImage image = drawSchematic();
    EXPECT_EQ(joined(image.width(), image.height(), image.format() == QImage::Format_Mono),
              "543 313 true");
    EXPECT_EQ(image.colorTable(), (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    long black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) black += image.pixelIndex(x, y) == 0 ? 1 : 0;
    EXPECT_TRUE(black > 543 * 313 / 50 && black < 543 * 313 / 5) << black;
}

// "Help" twice gives one window, without an owner and not modal, showing the text and the
// schematic; what was typed into it stays while it is open. Closing deletes the window, and the
// next "Help" builds it afresh (also before the old one's deletion ran); shutdown closes it.
TEST(HelpWindow, OneModelessWindowRebuiltOnReopeningAndClosedAtShutdown) {
    Rig rig({"Card A"}, nullptr, false);  // the program closes the help window
    rig.c().helpAction->trigger();
    QPointer<Helpnow> help = rig.window.menuCommands().helpLauncher().window();
    ASSERT_FALSE(help.isNull());
    QTest::keyClicks(help->Text1(), "typed");
    rig.c().helpAction->trigger();
    EXPECT_EQ(joined(rig.window.menuCommands().helpLauncher().window() == help, help->isVisible(),
                     help->parentWidget() == nullptr, help->isModal(),
                     QApplication::activeModalWidget() == nullptr),
              "true true true false true");
    EXPECT_EQ(help->Text1()->toPlainText(), "typed" + buildHelpText().replace("\r\n", "\n"));
    EXPECT_EQ(help->Picture1()->pixmap().size(), QSize(543, 313));

    help->close();
    rig.c().helpAction->trigger();
    QPointer<Helpnow> again = rig.window.menuCommands().helpLauncher().window();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(joined(help.isNull(), !again.isNull() && again->isVisible()), "true true");
    EXPECT_EQ(again->Text1()->toPlainText(), buildHelpText().replace("\r\n", "\n"));
    rig.window.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(again.isNull());
}

}  // namespace acw::test
