#pragma once

#include <QImage>

namespace acw {

// The adaptor schematic shown in the help window: a black-on-white line drawing, 543 x 313
// pixels, one bit per pixel (QImage::Format_Mono, palette index 0 black, index 1 white), of the
// AC line monitor to sound-card interface: the line through the current transformer T1 to the
// load, T1's burden and divider feeding the right channel (30 mV per ampere), and the 120 VAC to
// 12 VAC transformer T2 with its divider feeding the left channel (1 VAC at 120 VAC). Both
// channels are clamped by back-to-back 5.1 V zeners and filtered by 0.01 uF.
// Drawn anew on every call; the result is the same every time.
QImage drawSchematic();

inline constexpr int kSchematicWidth = 543;
inline constexpr int kSchematicHeight = 313;

}  // namespace acw
