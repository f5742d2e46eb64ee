// The BMP encoding, the negative composition and the all-or-nothing file write.
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

QImage filled(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(BmpFile, HeaderOfTheScopeSizedPicture) {
    const QByteArray file = encodeBmp24(filled(309, 213, qRgb(255, 255, 255)));
    const int rowBytes = 928;  // 309 * 3 = 927, padded to a multiple of 4
    ASSERT_EQ(file.size(), 54 + rowBytes * 213);
    EXPECT_EQ(file.left(2), QByteArray("BM"));
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(file.constData() + at); };
    // size, pixel offset, info size, width, height (positive: bottom-up), BI_RGB, image size
    EXPECT_EQ(u32(2), static_cast<quint32>(file.size()));
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 309u);
    EXPECT_EQ(u32(22), 213u);
    EXPECT_EQ(u16(26), 1u);
    EXPECT_EQ(u16(28), 24u);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), static_cast<quint32>(rowBytes * 213));
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
    EXPECT_EQ(file.mid(54, 12), QByteArray("\x03\x02\x01\x06\x05\x04\xaa\xaa\xaa\0\0\0", 12));
    EXPECT_EQ(file.mid(66, 12), QByteArray("\x1e\x14\x0a\x3c\x32\x28\x5a\x50\x46\0\0\0", 12));
}

// A size limit fails the write after exactly `limit` bytes, as a full disk: at every byte the
// older (longer) file stays whole and no temporary file is left; then it is replaced whole.
TEST(BmpFile, WriteFailingAtAnyByteLeavesTheOlderFileWhole) {
    QTemporaryDir dir;
    const QImage image = filled(5, 3, qRgb(170, 170, 170));
    const QByteArray picture = encodeBmp24(image);
    const QString path = dir.filePath("shot.bmp");
    const QByteArray old(500, 'x');
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
    const QImage image = filled(2, 2, qRgb(0, 0, 0));
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
    // background, white export trace, grid, a stale green trace, an arbitrary colour
    const QRgb screen[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(85, 85, 85), qRgb(0, 255, 0),
                           qRgb(0x0f, 0xf0, 0x55)};
    const QRgb print[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(170, 170, 170),
                          qRgb(255, 0, 255), qRgb(0xf0, 0x0f, 0xaa)};
    QImage scope(5, 1, QImage::Format_RGB32);
    for (int x = 0; x < 5; ++x) scope.setPixel(x, 0, screen[x]);
    const QImage negative = composeNegative(scope);
    ASSERT_EQ(negative.size(), scope.size());
    for (int x = 0; x < 5; ++x) EXPECT_EQ(negative.pixel(x, 0), print[x]) << x;

    // On a coloured canvas it is a true XOR; pixels outside the source stay.
    QImage canvas = filled(2, 1, qRgb(9, 9, 9));
    paintSrcInvert(canvas, filled(1, 1, qRgb(0xff, 0x0f, 0)));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0xf6, 0x06, 9));
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(9, 9, 9));
}

}  // namespace
}  // namespace acw
