#pragma once

#include <cstdint>

namespace acw {

// A colour as a red, green, blue triple (0..255 each).
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// The instrument's 24-bit colour value: red + 256 * green + 65536 * blue (255 is red, 65280 is
// green).
constexpr std::uint32_t colourValue(Rgb c) {
    return std::uint32_t{c.red} | (std::uint32_t{c.green} << 8) | (std::uint32_t{c.blue} << 16);
}
constexpr Rgb rgbFromColourValue(std::uint32_t value) {
    return Rgb{static_cast<std::uint8_t>(value & 0xFF),
               static_cast<std::uint8_t>((value >> 8) & 0xFF),
               static_cast<std::uint8_t>((value >> 16) & 0xFF)};
}

// Something the scope draws on: a surface with its own user coordinate system in which the
// renderer draws straight line segments.
//
// Contract:
// - Coordinates are user units as single-precision values; any value may fall outside the
//   surface (also far outside, or be non-finite): the surface clips what it cannot show and
//   never fails.
// - drawLine(x1, y1, x2, y2) draws one solid segment, end points included, in the current pen
//   colour and pen width. drawLine(..., colour) draws it in the given colour and leaves the pen
//   colour as it was.
// - setPenColour and setPenWidth change the pen for the following segments; a new surface has
//   pen width 1 and a pen colour of its own choosing.
// - scaleHeight() is the height of the surface in its own units (560 for the scope screen); it
//   is cheap and may be called for every segment.
// A surface never clears itself; clearing is the owner's business.
class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual void setPenColour(Rgb colour) = 0;
    virtual void setPenWidth(int pixels) = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2) = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2, Rgb colour) = 0;
    virtual double scaleHeight() const = 0;
};

}  // namespace acw
