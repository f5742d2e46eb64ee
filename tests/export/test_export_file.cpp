// The BMP encoding and the negative composition, byte by byte.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "export/BmpFile.h"
#include "export/ScopeExport.h"

namespace acw {
namespace {

quint32 u32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

TEST(BmpFile, HeaderOfTheScopeSizedPicture) {
    QImage image(309, 213, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QByteArray file = encodeBmp24(image);

    const int rowBytes = 928;  // 309 * 3 = 927, padded to a multiple of 4
    ASSERT_EQ(file.size(), 54 + rowBytes * 213);
    EXPECT_EQ(file.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(file, 2), static_cast<quint32>(file.size()));
    EXPECT_EQ(u32(file, 10), 54u);  // pixels right after the headers
    EXPECT_EQ(u32(file, 14), 40u);
    EXPECT_EQ(u32(file, 18), 309u);
    EXPECT_EQ(u32(file, 22), 213u);  // positive height: bottom-up rows
    EXPECT_EQ(u16(file, 26), 1u);
    EXPECT_EQ(u16(file, 28), 24u);
    EXPECT_EQ(u32(file, 30), 0u);  // BI_RGB
    EXPECT_EQ(u32(file, 34), static_cast<quint32>(rowBytes * 213));
}

TEST(BmpFile, RowsAreBottomUpBgrAndZeroPadded) {
    QImage image(3, 2, QImage::Format_RGB32);
    const QRgb colours[2][3] = {{qRgb(10, 20, 30), qRgb(40, 50, 60), qRgb(70, 80, 90)},
                                {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(170, 170, 170)}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) image.setPixel(x, y, colours[y][x]);
    }
    const QByteArray file = encodeBmp24(image);
    ASSERT_EQ(file.size(), 54 + 12 * 2);
    // The first stored row is the picture's bottom row.
    EXPECT_EQ(file.mid(54, 12), QByteArray("\x03\x02\x01\x06\x05\x04\xaa\xaa\xaa\0\0\0", 12));
    EXPECT_EQ(file.mid(66, 12), QByteArray("\x1e\x14\x0a\x3c\x32\x28\x5a\x50\x46\0\0\0", 12));
}

TEST(BmpFile, OlderFileIsReplacedWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString path = dir.filePath("old.bmp");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));  // longer than the new picture
    old.close();
    ASSERT_TRUE(writeBmp24File(path, image));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), encodeBmp24(image));
}

TEST(Negative, SrcInvertComplementsTheScopeColours) {
    QImage scope(5, 1, QImage::Format_RGB32);
    scope.setPixel(0, 0, qRgb(0, 0, 0));        // background
    scope.setPixel(1, 0, qRgb(255, 255, 255));  // trace drawn for export
    scope.setPixel(2, 0, qRgb(85, 85, 85));     // graticule
    scope.setPixel(3, 0, qRgb(0, 255, 0));      // a green trace left from another picture
    scope.setPixel(4, 0, qRgb(0x0f, 0xf0, 0x55));
    const QImage negative = composeNegative(scope);
    ASSERT_EQ(negative.size(), scope.size());
    EXPECT_EQ(negative.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(negative.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(negative.pixel(2, 0), qRgb(170, 170, 170));
    EXPECT_EQ(negative.pixel(3, 0), qRgb(255, 0, 255));
    EXPECT_EQ(negative.pixel(4, 0), qRgb(0xf0, 0x0f, 0xaa));

    // On a coloured canvas it is a true XOR; pixels outside the source stay.
    QImage canvas(2, 1, QImage::Format_RGB32);
    canvas.fill(qRgb(9, 9, 9));
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.setPixel(0, 0, qRgb(0xff, 0x0f, 0));
    paintSrcInvert(canvas, dot);
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0xf6, 0x06, 9));
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(9, 9, 9));
}

}  // namespace
}  // namespace acw
