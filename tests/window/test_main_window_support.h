#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QTest>
#include <map>
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

    // The caption or text of a label, text box, button or action, or a frame's title.
    QString text(const char* name) {
        QObject* o = child<QObject>(name);
        if (auto* frame = qobject_cast<QGroupBox*>(o)) return frame->title();
        return o == nullptr ? QString() : o->property("text").toString();
    }

    ScopeState& scope() { return window->scope(); }

    QRgb pixel(int x, int y) { return window->graphBox().image().pixel(x, y) & 0xFFFFFFu; }

    std::unique_ptr<TGNCounter> window;
};

// Pixel rows and columns of user coordinates on the scope image.
inline int rowOf(double y) { return static_cast<int>(ImageSurface::pixelY(y)); }
inline int columnOf(double x) { return static_cast<int>(ImageSurface::pixelX(x)); }

// Where each colour of the scope image lies: its first and last row, and its pixel count.
struct Coverage {
    int top = -1;
    int bottom = -1;
    int pixels = 0;
};
inline std::map<QRgb, Coverage> coverage(const QImage& image) {
    std::map<QRgb, Coverage> found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            Coverage& c = found[image.pixel(x, y) & 0xFFFFFFu];
            if (c.pixels++ == 0) c.top = y;
            c.bottom = y;
        }
    }
    return found;
}

inline constexpr QRgb kBlackPx = 0x000000;
inline constexpr QRgb kGridPx = 0x555555;
inline constexpr QRgb kGreenPx = 0x00FF00;
inline constexpr QRgb kYellowPx = 0xFFFF00;

}  // namespace acw::test
