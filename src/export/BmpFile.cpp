#include "export/BmpFile.h"

#include <QtEndian>

#include "common/AtomicFile.h"

namespace acw {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes;
// 96 dots per inch expressed in pixels per metre, rounded.
constexpr quint32 kPixelsPerMetre = 3780;

void putU16(char* at, quint16 value) { qToLittleEndian(value, at); }
void putU32(char* at, quint32 value) { qToLittleEndian(value, at); }

}  // namespace

QByteArray encodeBmp24(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    const quint32 pixelBytes = static_cast<quint32>(rowBytes) * static_cast<quint32>(height);
    const quint32 fileBytes = kPixelOffset + pixelBytes;

    QByteArray out(static_cast<qsizetype>(fileBytes), '\0');
    char* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    putU32(p + 2, fileBytes);
    putU32(p + 6, 0);  // two reserved words
    putU32(p + 10, kPixelOffset);

    char* info = p + kFileHeaderBytes;
    putU32(info + 0, kInfoHeaderBytes);
    putU32(info + 4, static_cast<quint32>(width));
    putU32(info + 8, static_cast<quint32>(height));  // positive: rows stored bottom-up
    putU16(info + 12, 1);                            // planes
    putU16(info + 14, 24);                           // bits per pixel
    putU32(info + 16, 0);                            // BI_RGB, no compression
    putU32(info + 20, pixelBytes);
    putU32(info + 24, kPixelsPerMetre);
    putU32(info + 28, kPixelsPerMetre);
    putU32(info + 32, 0);  // no palette
    putU32(info + 36, 0);

    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        char* dst = p + kPixelOffset + static_cast<qsizetype>(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = static_cast<char>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<char>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<char>(qRed(src[x]));
        }
    }
    return out;
}

bool writeBmp24File(const QString& path, const QImage& image, QString* errorText) {
    if (image.isNull()) {
        if (errorText != nullptr) *errorText = QStringLiteral("there is no picture to save");
        return false;
    }
    return writeFileAtomically(path, encodeBmp24(image), errorText);
}

}  // namespace acw
