// The BMP encoding and the negative composition, checked byte by byte.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "export/BmpFile.h"
#include "export/ScopeExport.h"

namespace acw {
namespace {

quint16 u16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// The colour of pixel (x, y) of an image as stored in a 24-bit bottom-up file.
QRgb filePixel(const QByteArray& file, int x, int y) {
    const int width = static_cast<int>(u32(file, 18));
    const int height = static_cast<int>(u32(file, 22));
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    const int at = static_cast<int>(u32(file, 10)) + (height - 1 - y) * rowBytes + 3 * x;
    const auto* p = reinterpret_cast<const uchar*>(file.constData() + at);
    return qRgb(p[2], p[1], p[0]);
}

TEST(BmpFile, HeaderOfTheScopeSizedPicture) {
    QImage image(309, 213, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(308, 0, qRgb(255, 0, 0));
    image.setPixel(0, 212, qRgb(170, 170, 170));
    const QByteArray file = encodeBmp24(image);

    const int rowBytes = 928;  // 309 * 3 = 927, padded to a multiple of 4
    ASSERT_EQ(file.size(), 54 + rowBytes * 213);
    EXPECT_EQ(file.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(file, 2), static_cast<quint32>(file.size()));
    EXPECT_EQ(u32(file, 6), 0u);
    EXPECT_EQ(u32(file, 10), 54u);
    EXPECT_EQ(u32(file, 14), 40u);
    EXPECT_EQ(u32(file, 18), 309u);
    EXPECT_EQ(u32(file, 22), 213u);  // positive height: bottom-up rows
    EXPECT_EQ(u16(file, 26), 1u);
    EXPECT_EQ(u16(file, 28), 24u);
    EXPECT_EQ(u32(file, 30), 0u);  // BI_RGB
    EXPECT_EQ(u32(file, 34), static_cast<quint32>(rowBytes * 213));
    EXPECT_EQ(u32(file, 46), 0u);  // no palette
    EXPECT_EQ(filePixel(file, 308, 0), qRgb(255, 0, 0));
    EXPECT_EQ(filePixel(file, 0, 212), qRgb(170, 170, 170));
    EXPECT_EQ(filePixel(file, 100, 100), qRgb(255, 255, 255));
}

TEST(BmpFile, RowsAreBottomUpBgrAndZeroPadded) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(1, 0, qRgb(40, 50, 60));
    image.setPixel(2, 0, qRgb(70, 80, 90));
    image.setPixel(0, 1, qRgb(1, 2, 3));
    image.setPixel(1, 1, qRgb(4, 5, 6));
    image.setPixel(2, 1, qRgb(170, 170, 170));
    const QByteArray file = encodeBmp24(image);

    ASSERT_EQ(file.size(), 54 + 12 * 2);
    // The first stored row is the picture's bottom row.
    const QByteArray bottom = file.mid(54, 12);
    EXPECT_EQ(bottom, QByteArray("\x03\x02\x01\x06\x05\x04\xaa\xaa\xaa\x00\x00\x00", 12));
    const QByteArray top = file.mid(66, 12);
    EXPECT_EQ(top, QByteArray("\x1e\x14\x0a\x3c\x32\x28\x5a\x50\x46\x00\x00\x00", 12));
}

TEST(BmpFile, ReadsBackWithTheSameColours) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(5, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            image.setPixel(x, y, qRgb(x * 50, y * 60, (x + y) * 17));
        }
    }
    const QString path = dir.filePath("colours.bmp");
    QString reason;
    ASSERT_TRUE(writeBmp24File(path, image, &reason)) << reason.toStdString();
    const QImage back(path);
    ASSERT_EQ(back.size(), image.size());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(back.pixel(x, y), image.pixel(x, y)) << x << "," << y;
        }
    }
}

TEST(BmpFile, FailuresSayWhyAndWriteNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::black);

    QString reason;
    const QString inMissingFolder = dir.filePath("no/such/folder/x.bmp");
    EXPECT_FALSE(writeBmp24File(inMissingFolder, image, &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFile::exists(inMissingFolder));

    reason.clear();
    EXPECT_FALSE(writeBmp24File(QString(), image, &reason));
    EXPECT_FALSE(reason.isEmpty());

    reason.clear();
    EXPECT_FALSE(writeBmp24File(dir.filePath("null.bmp"), QImage(), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("null.bmp")));
}

TEST(BmpFile, ReplacesAnOlderFileWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.bmp");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500000, 'x'));  // longer than the new picture
    }
    QImage image(309, 213, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(writeBmp24File(path, image));
    QFile back(path);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), encodeBmp24(image));
}

TEST(Negative, SrcInvertIsDestinationXorSource) {
    QImage destination(2, 1, QImage::Format_RGB32);
    destination.setPixel(0, 0, qRgb(0x0f, 0xf0, 0x55));
    destination.setPixel(1, 0, qRgb(9, 9, 9));
    QImage source(1, 1, QImage::Format_RGB32);  // smaller: pixel (1, 0) stays
    source.setPixel(0, 0, qRgb(0xff, 0xff, 0x0f));
    paintSrcInvert(destination, source);
    EXPECT_EQ(destination.pixel(0, 0), qRgb(0xf0, 0x0f, 0x5a));
    EXPECT_EQ(destination.pixel(1, 0), qRgb(9, 9, 9));
}

TEST(Negative, ScopeColoursBecomeTheirComplements) {
    QImage scope(4, 1, QImage::Format_RGB32);
    scope.setPixel(0, 0, qRgb(0, 0, 0));        // background
    scope.setPixel(1, 0, qRgb(255, 255, 255));  // trace drawn for export
    scope.setPixel(2, 0, qRgb(85, 85, 85));     // graticule
    scope.setPixel(3, 0, qRgb(0, 255, 0));      // a green trace left from another picture
    const QImage negative = composeNegative(scope);
    ASSERT_EQ(negative.size(), scope.size());
    EXPECT_EQ(negative.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(negative.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(negative.pixel(2, 0), qRgb(170, 170, 170));
    EXPECT_EQ(negative.pixel(3, 0), qRgb(255, 0, 255));
}

}  // namespace
}  // namespace acw
