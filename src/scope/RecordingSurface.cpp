#include "scope/RecordingSurface.h"

namespace acw {

void RecordingSurface::drawLine(float x1, float y1, float x2, float y2) {
    segments_.push_back(Segment{x1, y1, x2, y2, penColour_, penWidth_, true});
}

void RecordingSurface::drawLine(float x1, float y1, float x2, float y2, Rgb colour) {
    segments_.push_back(Segment{x1, y1, x2, y2, colour, penWidth_, false});
}

double RecordingSurface::scaleHeight() const {
    ++heightReads_;
    return scaleHeight_;
}

}  // namespace acw
