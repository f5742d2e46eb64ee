// The help window and its single instance.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include "help/HelpText.h"
#include "help/HelpWindow.h"

namespace acw {
namespace {

int openHelpWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<Helpnow*>(w) != nullptr && w->isVisible() ? 1 : 0;
    return n;
}

// Text1 shows the built text line by line.
void expectBuiltText(Helpnow* help) {
    EXPECT_EQ(help->Text1()->toPlainText().split(QLatin1Char('\n')),
              buildHelpText().split(QStringLiteral("\r\n")));
}

TEST(HelpWindow, HelpTwiceGivesOneOwnerlessModelessWindow) {
    HelpLauncher launcher;
    Helpnow* first = launcher.showHelp();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_FALSE(first->isModal());
    expectBuiltText(first);
    EXPECT_EQ(first->Picture1()->pixmap().size(), QSize(543, 313));
    first->Text1()->appendPlainText(QStringLiteral("typed by the user"));
    EXPECT_EQ(launcher.showHelp(), first);
    EXPECT_EQ(openHelpWindows(), 1);
    // Raising it does not build the text again.
    EXPECT_TRUE(first->Text1()->toPlainText().endsWith(QStringLiteral("typed by the user")));
}

TEST(HelpWindow, ReopeningAfterCloseBuildsTheTextAfresh) {
    HelpLauncher launcher;
    QPointer<Helpnow> first = launcher.showHelp();
    first->Text1()->selectAll();
    QTest::keyClicks(first->Text1(), QStringLiteral("scribble"));
    EXPECT_TRUE(first->close());
    EXPECT_EQ(launcher.window(), nullptr);  // gone at once, even before its deletion
    // "Help" before the deletion has run must not bring back the closing window.
    Helpnow* second = launcher.showHelp();
    EXPECT_NE(second, first.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(launcher.window(), second);
    expectBuiltText(second);
    EXPECT_EQ(openHelpWindows(), 1);
}

}  // namespace
}  // namespace acw
