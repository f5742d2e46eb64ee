#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace acw {

// Encodes an image as an uncompressed Windows bitmap with 24 bits per pixel: a 14-byte file
// header ("BM", file size, pixel data offset 54), a 40-byte information header (positive height,
// one plane, 24 bpp, BI_RGB, 96 dots per inch), then the rows bottom-up, each pixel as blue,
// green, red, each row padded with zero bytes to a multiple of 4 bytes. Every colour is kept
// exactly; alpha is dropped. A null image gives an empty array.
QByteArray encodeBmp24(const QImage& image);

// Writes encodeBmp24(image) to `path` with writeFileAtomically: the file is either the complete
// new picture or, after any failure (missing folder, no permission, a read-only file, a full
// disk), whatever was there before, untouched. Returns true on success; otherwise returns false
// and, when `errorText` is given, stores the reason in it (the system's words, no closing full
// stop). An empty path or a null image fails without touching anything.
bool writeBmp24File(const QString& path, const QImage& image, QString* errorText = nullptr);

}  // namespace acw
