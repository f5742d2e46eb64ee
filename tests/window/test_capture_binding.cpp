#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedInput.h"
#include "app/CaptureBinding.h"
#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "capture/CaptureCycle.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"

namespace acw {
namespace {

using test::ScriptedInput;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);

// A started, shown main window with the capture binding over a scripted input.
class CaptureBindingTest : public ::testing::Test {
protected:
    void build(QStringList names) {
        window = std::make_unique<TGNCounter>();
        auto scripted = std::make_unique<ScriptedInput>(std::move(names));
        input = scripted.get();
        binding = installCapture(
            *window, std::move(scripted),
            [this](const QString& title, const QString& text, const QString& advice) {
                errors.push_back((title + "|" + text).toStdString());
                advices.push_back(advice.toStdString());
            });
        startWindow(*window);
        binding->listDevices();
        binding->selectListEntry(binding->selectedDevice());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget>
    T* child(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) ADD_FAILURE() << "no control " << name;
        return found;
    }
    void clickLabel(const char* name) { QTest::mouseClick(child<QLabel>(name), Qt::LeftButton); }
    void clickEntry(int row) {
        auto* list = child<QListWidget>("List1");
        list->scrollToItem(list->item(row));
        const QRect r = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString caption() { return child<QGroupBox>("ScopeFrame")->title(); }
    QColor lamp(const char* name) { return child<QLabel>(name)->palette().color(QPalette::Window); }
    QWidget* picker() { return child("frmSoundcardPicker"); }

    std::unique_ptr<TGNCounter> window;
    ScriptedInput* input = nullptr;
    CaptureBinding* binding = nullptr;
    std::vector<std::string> errors;
    std::vector<std::string> advices;
};

TEST_F(CaptureBindingTest, PickerListsTheDevicesAndNamesTheChosenOneInTheCaption) {
    build({"Line In (Card A)", "Microphone Array (High Definition Audio Device)"});
    auto* list = child<QListWidget>("List1");
    ASSERT_EQ(list->count(), 2);
    // Long names are cut to 31 characters, in the list and in the caption.
    EXPECT_EQ(list->item(1)->text(), "Microphone Array (High Definiti");
    EXPECT_EQ(binding->deviceNames()[0], "Line In (Card A)");
    EXPECT_TRUE(binding->deviceNames()[2].isEmpty());
    EXPECT_EQ(list->currentRow(), 0);

    EXPECT_FALSE(picker()->isVisible());
    const int left = picker()->x();
    child<QAction>("mnuSetup")->trigger();
    EXPECT_TRUE(picker()->isVisible());
    EXPECT_EQ(picker()->y(), 2);  // 30 twips
    EXPECT_EQ(picker()->x(), left);

    clickEntry(1);
    EXPECT_EQ(binding->selectedDevice(), 1);
    clickLabel("Label64");
    EXPECT_EQ(caption(), "Scope Control - Microphone Array (High Definiti");
    EXPECT_FALSE(picker()->isVisible());
    clickLabel("Label15");
    EXPECT_EQ(input->lastOpenId, 1);
    EXPECT_TRUE(binding->isCapturing());
}

TEST_F(CaptureBindingTest, ClickingTheHighlightedEntryChoosesItAgain) {
    build({"Card A", "Card B"});
    binding->setSelectedDevice(7);  // from the settings file: names no entry
    EXPECT_FALSE(binding->selectListEntry(7));
    EXPECT_EQ(child<QListWidget>("List1")->currentRow(), 0);
    clickEntry(0);
    EXPECT_EQ(binding->selectedDevice(), 0);
}

TEST_F(CaptureBindingTest, DevicesAbove50CanBeUsedButLeaveTheCaptionAlone) {
    QStringList names;
    for (int i = 0; i < 53; ++i) names << QString("Input %1").arg(i);
    build(names);
    EXPECT_EQ(child<QListWidget>("List1")->count(), 53);
    EXPECT_EQ(binding->deviceNames()[50], "Input 50");
    binding->showSelectedDeviceInCaption();
    EXPECT_EQ(caption(), "Scope Control - Input 0");

    child<QAction>("mnuSetup")->trigger();
    clickEntry(51);
    EXPECT_EQ(binding->selectedDevice(), 51);
    clickLabel("Label64");
    EXPECT_EQ(caption(), "Scope Control - Input 0");
    EXPECT_FALSE(picker()->isVisible());
    clickLabel("Label15");
    EXPECT_EQ(input->lastOpenId, 51);
}

TEST_F(CaptureBindingTest, NegativeIdOpensTheDefaultInputAndLeavesTheCaptionAlone) {
    build({"Card A"});
    binding->showSelectedDeviceInCaption();
    binding->setSelectedDevice(-1);
    EXPECT_FALSE(binding->selectListEntry(-1));
    binding->showSelectedDeviceInCaption();
    EXPECT_EQ(caption(), "Scope Control - Card A");
    child<QAction>("mnuSetup")->trigger();
    clickLabel("Label64");
    EXPECT_EQ(caption(), "Scope Control - Card A");
    clickLabel("Label15");
    EXPECT_EQ(input->lastOpenId, -1);

    // An id within range that names no device gives a bare caption.
    binding->setSelectedDevice(9);
    binding->showSelectedDeviceInCaption();
    EXPECT_EQ(caption(), "Scope Control - ");
}

TEST_F(CaptureBindingTest, CaptureRunsFromStartToStopThroughTheWindow) {
    build({"Card A"});
    clickLabel("Label15");
    ASSERT_TRUE(binding->isCapturing());
    EXPECT_EQ(lamp("Label1"), kRed);
    EXPECT_EQ(lamp("Label2"), kRed);
    // 120 Hz is above the line frequencies, so no readout can hold it by accident.
    SyntheticSignal signal(SyntheticSignal::sine(120.0, 12000.0, 6000.0, 60.0));
    for (int i = 0; i < 4; ++i) {
        ScriptedInput::Buffer b{};
        signal.fill(b, 4096);
        input->push(b);
        ASSERT_TRUE(QTest::qWaitFor([&] { return input->taken == i + 1; }, 5000));
        EXPECT_EQ(lamp("Label2"), i < 3 ? kRed : kGreen) << "buffer " << i;
    }
    const MeasurementEngine& e = window->engine();
    EXPECT_EQ(child<QLabel>("Label37")->text().toStdString(), e.readouts.label37);
    EXPECT_NEAR(e.averageFrequency, 120.0, 1.0);
    EXPECT_NEAR(e.powerFactor, 0.5, 0.01);  // a 60 degree shift

    // Choosing a device meanwhile does not interrupt the capture.
    child<QAction>("mnuSetup")->trigger();
    clickEntry(0);
    clickLabel("Label64");
    EXPECT_TRUE(binding->isCapturing());
    EXPECT_EQ(input->openCalls, 1);

    // A second START is ignored.
    clickLabel("Label15");
    EXPECT_EQ(input->openCalls, 1);

    const QString volts = child<QLabel>("Label37")->text();
    clickLabel("Label16");
    EXPECT_EQ(input->closeCalls, 1);
    EXPECT_EQ(lamp("Label1"), kBlack);
    EXPECT_EQ(lamp("Label2"), kBlack);
    EXPECT_EQ(child<QLabel>("Label37")->text(), volts);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace acw

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
