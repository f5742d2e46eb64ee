#pragma once

#include <QImage>

#include "scope/DrawingSurface.h"

namespace acw {

// The persistent off-screen image of the scope screen `GraphBox`: a 309 x 213 pixel RGB32
// image (the client area of the 313 x 217 pixel box inside its 2-pixel 3-D border) with the
// user coordinate system (-1500, -70) at the top-left corner to (20500, 490) at the
// bottom-right corner, y growing downwards (scale height 560).
//
// User units map to pixels by flooring: px = floor((x + 1500) * 309 / 22000),
// py = floor((y + 70) * 213 / 560). Segments are one pixel wide, solid, not antialiased, both
// end points included, and clipped to the image; coordinates far outside or non-finite are
// harmless. Every pen width is drawn one pixel wide (the scope only uses 1). A new surface is
// black with a green pen.
//
// The window paints image() on screen; the picture export reads it.
class ImageSurface : public DrawingSurface {
public:
    static constexpr int kWidthPixels = 309;
    static constexpr int kHeightPixels = 213;
    static constexpr double kLeftUnits = -1500.0;
    static constexpr double kTopUnits = -70.0;
    static constexpr double kWidthUnits = 22000.0;
    static constexpr double kHeightUnits = 560.0;

    ImageSurface();

    // Fills the whole image with one colour (the blank scope background is black).
    void clear(Rgb colour = Rgb{0, 0, 0});

    const QImage& image() const { return image_; }

    // Pixel column and row of a user coordinate (may lie outside the image).
    static long long pixelX(double x);
    static long long pixelY(double y);

    void setPenColour(Rgb colour) override { penColour_ = colour; }
    void setPenWidth(int pixels) override { penWidth_ = pixels; }
    void drawLine(float x1, float y1, float x2, float y2) override;
    void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override;
    double scaleHeight() const override { return kHeightUnits; }

    Rgb penColour() const { return penColour_; }

private:
    QImage image_;
    Rgb penColour_{0, 255, 0};
    int penWidth_ = 1;
};

}  // namespace acw
