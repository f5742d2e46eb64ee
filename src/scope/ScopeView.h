#pragma once

#include <string>

namespace acw {

// The two controls of the scope frame that the renderer touches. The window implements it;
// tests use a fake.
class ScopeView {
public:
    virtual ~ScopeView() = default;

    // True when the check box `LockCheck` ("Lock L  R") is checked. Read once per picture.
    virtual bool lockCheckChecked() const = 0;
    // Sets the caption of the time-per-division label `lblTB1`; may come several times per
    // picture (the last text counts).
    virtual void setLblTB1Text(const std::string& text) = 0;
};

}  // namespace acw
