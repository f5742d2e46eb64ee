#pragma once

#include <vector>

#include "scope/DrawingSurface.h"

namespace acw {

// A drawing surface that keeps a list of every segment drawn on it, with the exact coordinates
// and the colour each one was drawn in, instead of pixels. Used by tests and by anything that
// wants to inspect a scope picture without a window.
class RecordingSurface : public DrawingSurface {
public:
    struct Segment {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Rgb colour;
        int penWidth = 1;
        // True when the segment was drawn in the pen colour, false when in a given colour.
        bool withPen = true;

        friend bool operator==(const Segment&, const Segment&) = default;
    };

    // `scaleHeight` is what scaleHeight() reports (560 for the scope screen).
    explicit RecordingSurface(double scaleHeight = 560.0) : scaleHeight_(scaleHeight) {}

    void setPenColour(Rgb colour) override { penColour_ = colour; }
    void setPenWidth(int pixels) override { penWidth_ = pixels; }
    void drawLine(float x1, float y1, float x2, float y2) override;
    void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override;
    double scaleHeight() const override;

    const std::vector<Segment>& segments() const { return segments_; }
    Rgb penColour() const { return penColour_; }
    int penWidth() const { return penWidth_; }
    // How often scaleHeight() was asked.
    int heightReads() const { return heightReads_; }
    void clear() { segments_.clear(); }

private:
    double scaleHeight_;
    Rgb penColour_{0, 255, 0};
    int penWidth_ = 1;
    mutable int heightReads_ = 0;
    std::vector<Segment> segments_;
};

}  // namespace acw
