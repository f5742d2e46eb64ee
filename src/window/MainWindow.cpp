#include "window/MainWindow.h"

#include <QCloseEvent>
#include <QLayout>
#include <QPointer>

#include "session/MeasurementSession.h"
#include "window/CalibrationControls.h"
#include "window/CaptureControls.h"
#include "window/MenuCommands.h"
#include "window/ReadoutPanel.h"
#include "window/ScopePanel.h"

namespace acw {

MainWindow::MainWindow(MeasurementSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    buildFace();
    scopePanel_ = std::make_unique<ScopePanel>(controls_, scopeImage_);
    readoutPanel_ = std::make_unique<ReadoutPanel>(controls_);
    captureControls_ = std::make_unique<CaptureControls>(controls_, session_, *scopePanel_, this);
    calibrationControls_ = std::make_unique<CalibrationControls>(controls_, session_, this);
    menuCommands_ = std::make_unique<MenuCommands>(controls_, *scopePanel_, this);
    // A buffer shows in this order: the readouts and lamps, then the new scope picture.
    session_.addObserver(*readoutPanel_);
    session_.addObserver(*scopePanel_);
    session_.addObserver(*calibrationControls_);
    session_.addObserver(*this);
}

MainWindow::~MainWindow() {
    session_.removeObserver(*this);
    session_.removeObserver(*calibrationControls_);
    session_.removeObserver(*scopePanel_);
    session_.removeObserver(*readoutPanel_);
    // The parts are QObject children of the window or refer to its controls: they go first,
    // while the controls and the scope image still exist.
    menuCommands_.reset();
    calibrationControls_.reset();
    captureControls_.reset();
    QList<QPointer<QObject>> owned;
    for (QObject* child : children()) {
        if (qobject_cast<QLayout*>(child) == nullptr) owned.append(child);
    }
    for (const QPointer<QObject>& child : owned) delete child.data();
}

void MainWindow::captureStarted() {
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::setCloseHandler(std::function<void()> handler) {
    closeHandler_ = std::move(handler);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window always closes; the handler runs the shutdown sequence first.
    if (closeHandler_) closeHandler_();
    event->accept();
}

}  // namespace acw
