// The BMP encoding and the negative composition, byte by byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include "../common/FileFaults.h"
#include "export/BmpFile.h"
#include "export/ScopeExport.h"

namespace acw {
namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

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

// A file size limit makes the write fail after exactly `limit` bytes, as a disk that fills up:
// at every byte of the new picture the older file must stay whole and no temporary file stay.
TEST(BmpFile, WriteFailingAtAnyByteLeavesTheOlderFileWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(170, 170, 170));
    const QByteArray picture = encodeBmp24(image);
    ASSERT_EQ(picture.size(), 54 + 16 * 3);
    const QString path = dir.filePath("shot.bmp");
    const QByteArray old("an older picture");
    writeFile(path, old);

    for (qsizetype limit = 0; limit < picture.size(); ++limit) {
        QString reason;
        bool written = false;
        {
            test::FileSizeLimit full(static_cast<rlim_t>(limit));
            written = writeBmp24File(path, image, &reason);
        }
        EXPECT_FALSE(written) << limit;
        EXPECT_EQ(reason, "File too large") << limit;
        EXPECT_EQ(readFile(path), old) << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"shot.bmp"}) << limit;
    }
    ASSERT_TRUE(writeBmp24File(path, image));
    EXPECT_EQ(readFile(path), picture);
}

// Places the picture cannot go: nothing is created or changed, and the reason says why.
TEST(BmpFile, RefusedPlacesAreLeftAsTheyWere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    const QString readOnly = dir.filePath("read-only.bmp");
    writeFile(readOnly, "kept");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const QString missing = dir.filePath("no such folder");

    const test::ObeyFilePermissions asAUser;
    if (!asAUser.obeyed()) GTEST_SKIP() << "permission bits do not apply to this process";
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {missing + "/shot.bmp", "the folder " + missing + " does not exist"},
        {readOnly, "Permission denied"},
        {locked + "/shot.bmp", "Permission denied"},
        {locked, "it is a folder, not a file"},
    };
    for (const auto& c : cases) {
        QString reason;
        EXPECT_FALSE(writeBmp24File(c.path, image, &reason)) << c.path.toStdString();
        EXPECT_TRUE(reason.startsWith(c.reason)) << reason.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(readFile(readOnly), QByteArray("kept"));
    EXPECT_TRUE(QDir(locked).isEmpty());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(exportFailureMessage(missing + "/shot.bmp", cases[0].reason),
              "Could not save the scope picture to " + missing + "/shot.bmp: the folder " +
                  missing + " does not exist.");
    EXPECT_EQ(exportFailureAdvice(cases[0].reason),
              "Choose a folder that exists (or create it first) and save again. A file already "
              "there is left unchanged.");
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
