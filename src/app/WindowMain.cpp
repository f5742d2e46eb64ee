#include "app/WindowMain.h"

#include "app/MainWindow.h"
#include "measure/MeasurementEngine.h"
#include "scope/ScopeState.h"

namespace acw {

void setFixedParameters(TGNCounter& window) {
    ScopeState& scope = window.scope();
    MeasurementEngine& engine = window.engine();
    scope.captureLength = kCaptureLength;
    engine.captureLength = kCaptureLength;
    scope.scopeMode = 2;
    scope.sampleRate = kSampleRateHz;
    engine.averagingDepth = 3;
    scope.lockToL = 1;
}

void startWindow(TGNCounter& window) {
    setFixedParameters(window);
    MeasurementEngine& engine = window.engine();
    engine.label2Colour = kLampBlack;
    engine.label1Colour = kLampBlack;
    window.showLamps();
    window.prepareScopeSurfaces();
    window.RefreshScopeControls();
    window.ApplyScopeSettings();
}

}  // namespace acw
