// SPDX-License-Identifier: GPL-3.0-or-later
// The all-or-nothing file write, through both of its users: the settings file and the picture.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>

#include "FileFaults.h"
#include "export/BmpFile.h"
#include "settings/SettingsStore.h"

using namespace acw;

static QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "(none)";
}

// A size limit fails a write after exactly `limit` bytes, as a disk that fills up: at every byte
// the old file stays whole and no temporary file is left. Places the file cannot go are left as
// they were, and the reason says why; only the settings file creates a missing folder.
TEST(AtomicFile, AllOrNothingForBothUsers) {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(170, 170, 170));
    for (const bool settings : {true, false}) {
        const QByteArray bytes =
            settings ? QByteArray::fromStdString(writeSettingsText({})) : encodeBmp24(image);
        const auto write = [&](const QString& path, QString* why) {
            return settings ? SettingsStore(path).save({}, why) : writeBmp24File(path, image, why);
        };
        QTemporaryDir dir;
        const QString old = dir.filePath("old"), file = dir.filePath("file");
        for (const QString& path : {old, file}) std::ofstream(path.toStdString()) << "kept";
        ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        for (qsizetype limit = 0; limit < bytes.size(); ++limit) {
            QString why;
            const bool written = [&] {
                const test::FileSizeLimit full(static_cast<rlim_t>(limit));
                return write(old, &why);
            }();
            EXPECT_TRUE(!written && why == "File too large") << limit << why.toStdString();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
        ASSERT_TRUE(QFile::setPermissions(old, QFile::ReadOwner));
        const QString newFolder = dir.filePath("new");
        const std::pair<QString, QString> cases[] = {
            {old, "Permission denied"},
            {dir.path(), "it is a folder, not a file"},
            {dir.filePath("fifo"), "it is not a regular file"},
            {"/proc/picture", "the folder /proc cannot be written ("},
            {file + "/sub/x", settings
                                  ? "a file is in the way: " + file + " is a file, not a folder"
                                  : "the folder " + file + "/sub does not exist"},
            {newFolder + "/x", settings ? "" : "the folder " + newFolder + " does not exist"},
            {dir.filePath("x"), ""},
        };
        const test::ObeyFilePermissions asAUser;
        for (const auto& [path, reason] : cases) {
            if (path == old && !asAUser.obeyed()) continue;  // root keeps its overrides
            QString why = "";
            EXPECT_EQ(write(path, &why), reason.isEmpty()) << path.toStdString();
            EXPECT_TRUE(why.startsWith(reason)) << why.toStdString();
            EXPECT_EQ(reason.isEmpty() ? readAll(path) : bytes, bytes);  // never opens the pipe
        }
        EXPECT_EQ(readAll(old) + readAll(file), "keptkept");
    }
}
