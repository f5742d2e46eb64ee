#pragma once

namespace acw {

class TGNCounter;

// The start-up steps of the main window that do not depend on other subsystems, in their order:
// the fixed parameters (scope mode L and R, trigger lock on, 11025 frames/s, 16384 values per
// buffer, averaging depth 3), both lamps black, the hidden scope surfaces, RefreshScopeControls
// and ApplyScopeSettings (which draws the first, empty scope picture). Call once, after the
// settings (if any) have been put into the window and before it is shown.
void startWindow(TGNCounter& window);

// The fixed parameters alone: 16384 values per buffer, scope mode L and R, 11025 frames/s,
// averaging depth 3, trigger lock on.
void setFixedParameters(TGNCounter& window);

}  // namespace acw
