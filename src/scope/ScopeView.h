#pragma once

#include <string>

namespace acw {

// The one control of the scope frame that the renderer writes: the time-per-division label
// `lblTB1`. The scope panel of the window implements it; tests use a fake.
class ScopeView {
public:
    virtual ~ScopeView() = default;

    // Sets the caption of the time-per-division label; may come several times per picture (the
    // last text counts).
    virtual void setTimeBaseText(const std::string& text) = 0;
};

}  // namespace acw
