#include "app/WindowMain.h"

#include <QApplication>

#include "app/MainWindow.h"
#include "measure/MeasurementEngine.h"
#include "scope/ScopeState.h"

namespace acw {

void startWindow(TGNCounter& window) {
    ScopeState& scope = window.scope();
    MeasurementEngine& engine = window.engine();
    scope.captureLength = kCaptureLength;
    engine.captureLength = kCaptureLength;
    scope.scopeMode = 2;
    scope.sampleRate = kSampleRateHz;
    engine.averagingDepth = 3;
    scope.lockToL = 1;
    engine.label2Colour = kLampBlack;
    engine.label1Colour = kLampBlack;
    window.showLamps();
    window.prepareScopeSurfaces();
    window.RefreshScopeControls();
    window.ApplyScopeSettings();
}

int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    TGNCounter window;
    startWindow(window);
    window.show();
    return QApplication::exec();
}

}  // namespace acw
