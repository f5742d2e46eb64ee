// The help window and its single instance.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include "help/HelpText.h"
#include "help/HelpWindow.h"

namespace acw {
namespace {

void runDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

int openHelpWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Helpnow*>(w) != nullptr && w->isVisible()) ++n;
    }
    return n;
}

TEST(HelpWindow, LayoutAndText) {
    HelpLauncher launcher;
    Helpnow* help = launcher.showHelp();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Help"));
    EXPECT_EQ(help->size(), QSize(744, 599));
    EXPECT_EQ(help->minimumSize(), help->maximumSize());  // not resizable
    EXPECT_FALSE(help->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(help->parentWidget(), nullptr);  // no owner
    EXPECT_FALSE(help->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QPlainTextEdit* text1 = help->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(text1->document()->blockCount(), 55);
    EXPECT_EQ(text1->toPlainText().split(QLatin1Char('\n')),
              buildHelpText().split(QStringLiteral("\r\n")));
    EXPECT_EQ(help->builtText(), buildHelpText());
    EXPECT_EQ(text1->property("builtText").toString(), buildHelpText());
    // The text scrolls down to its last piece.
    EXPECT_GT(text1->verticalScrollBar()->maximum(), 0);

    QLabel* picture1 = help->findChild<QLabel*>(QStringLiteral("Picture1"));
    ASSERT_NE(picture1, nullptr);
    EXPECT_EQ(picture1->pixmap().size(), QSize(543, 313));

    QLabel* label1 = help->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label1, nullptr);
    EXPECT_EQ(label1->text(), schematicNote());
    EXPECT_TRUE(label1->wordWrap());
    EXPECT_EQ(label1->font().pixelSize(), 13);
}

TEST(HelpWindow, HelpTwiceGivesOneWindow) {
    HelpLauncher launcher;
    Helpnow* first = launcher.showHelp();
    QPlainTextEdit* text1 = first->Text1();
    text1->appendPlainText(QStringLiteral("typed by the user"));
    Helpnow* second = launcher.showHelp();
    EXPECT_EQ(first, second);
    EXPECT_EQ(openHelpWindows(), 1);
    // Raising it does not build the text again.
    EXPECT_TRUE(text1->toPlainText().endsWith(QStringLiteral("typed by the user")));
}

TEST(HelpWindow, ReopeningBuildsTheTextAfresh) {
    HelpLauncher launcher;
    QPointer<Helpnow> first = launcher.showHelp();
    first->Text1()->selectAll();
    QTest::keyClicks(first->Text1(), QStringLiteral("scribble"));
    EXPECT_EQ(first->Text1()->toPlainText(), QStringLiteral("scribble"));

    EXPECT_TRUE(first->close());
    EXPECT_EQ(launcher.window(), nullptr);  // gone at once, even before its deletion
    EXPECT_EQ(openHelpWindows(), 0);
    // "Help" before the deletion has run must not bring back the closing window.
    Helpnow* second = launcher.showHelp();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    runDeferredDeletes();
    EXPECT_TRUE(first.isNull());  // closing destroys it
    EXPECT_EQ(launcher.window(), second);
    EXPECT_EQ(second->Text1()->document()->blockCount(), 55);
    EXPECT_EQ(second->Text1()->toPlainText().split(QLatin1Char('\n')),
              buildHelpText().split(QStringLiteral("\r\n")));
    EXPECT_EQ(openHelpWindows(), 1);
}

}  // namespace
}  // namespace acw
