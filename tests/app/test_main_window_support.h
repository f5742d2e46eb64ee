#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "measure/MeasurementEngine.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeState.h"

namespace acw::test {

// A started, shown main window on the offscreen platform.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TGNCounter>();
        startWindow(*window);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget>
    T* child(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) ADD_FAILURE() << "no control " << name;
        return found;
    }

    void click(const char* name) {
        QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
    }

    // The caption or text of a label, text box, button or frame.
    QString text(const char* name) {
        QObject* o = window->findChild<QObject*>(QString::fromLatin1(name));
        if (auto* label = qobject_cast<QLabel*>(o)) return label->text();
        if (auto* box = qobject_cast<QLineEdit*>(o)) return box->text();
        if (auto* button = qobject_cast<QAbstractButton*>(o)) return button->text();
        if (auto* frame = qobject_cast<QGroupBox*>(o)) return frame->title();
        ADD_FAILURE() << "no captioned control " << name;
        return {};
    }

    ScopeState& scope() { return window->scope(); }

    QRgb pixel(int x, int y) { return window->graphBox().image().pixel(x, y) & 0xFFFFFFu; }

    std::unique_ptr<TGNCounter> window;
};

inline constexpr QRgb kBlackPx = 0x000000;
inline constexpr QRgb kGridPx = 0x555555;
inline constexpr QRgb kGreenPx = 0x00FF00;
inline constexpr QRgb kYellowPx = 0xFFFF00;

}  // namespace acw::test
