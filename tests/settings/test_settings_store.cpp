#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>

#include "../common/FileFaults.h"
#include "app/SettingsStore.h"
#include "test_lifecycle_fixture.h"

namespace acw::test {
namespace {

const SettingsValues kSample{3, 2, 0, 0, 0, 64, 64, 64, 1.0 / 3.0, 0.1};

TEST(SettingsStore, UserFileLivesInTheConfigurationFolderWhichIsCreated) {
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(folder.isEmpty());
    QDir(folder).removeRecursively();
    const SettingsStore store;
    EXPECT_EQ(store.path(), folder + "/wattmeter.ini");
    EXPECT_EQ(SettingsStore::fromOption(std::nullopt).path(), store.path());
    EXPECT_EQ(SettingsStore::fromOption("/elsewhere/w.ini").path(), "/elsewhere/w.ini");
    ASSERT_TRUE(store.save(kSample));
    SettingsValues back;
    ASSERT_TRUE(store.load(back));
    EXPECT_EQ(writeSettingsText(back), writeSettingsText(kSample));
}

TEST(SettingsStore, PlacesThatAreNotRegularFilesAreNeitherReadNorWritten) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    writeAll(dir.filePath("plain-file"), "x");
    // A pipe would block the reader forever; a folder or an unnamed file cannot be read.
    for (const QString& path : {dir.filePath("missing.ini"), dir.path(), fifo, QString()}) {
        SettingsValues values = kSample;
        EXPECT_FALSE(SettingsStore(path).load(values)) << path.toStdString();
        EXPECT_EQ(writeSettingsText(values), writeSettingsText(kSample));
    }
    for (const QString& path : {dir.filePath("plain-file/wattmeter.ini"), dir.path(), QString()}) {
        QString reason;
        EXPECT_FALSE(SettingsStore(path).save(kSample, &reason)) << path.toStdString();
        EXPECT_FALSE(reason.isEmpty()) << path.toStdString();
    }
    EXPECT_EQ(readAll(dir.filePath("plain-file")), QByteArray("x"));
}

// A file size limit makes the write fail after exactly `limit` bytes, as a disk that fills up:
// at every byte of the new content the old file must stay whole and no temporary file stay.
TEST(SettingsStore, WriteFailingAtAnyByteLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("wattmeter.ini");
    const QByteArray old("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");
    writeAll(path, old);
    const SettingsStore store(path);
    const std::size_t size = writeSettingsText(kSample).size();

    for (std::size_t limit = 0; limit < size; ++limit) {
        QString reason;
        bool written = false;
        {
            const FileSizeLimit full(limit);
            written = store.save(kSample, &reason);
        }
        EXPECT_FALSE(written) << limit;
        EXPECT_EQ(reason, "File too large") << limit;
        EXPECT_EQ(readAll(path), old) << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"wattmeter.ini"}) << limit;
    }
    ASSERT_TRUE(store.save(kSample));
    EXPECT_EQ(readAll(path), QByteArray::fromStdString(writeSettingsText(kSample)));
}

// Files and folders the user has locked: the file on disk is never replaced or lost, and the
// reason says what stood in the way. A missing file is a first start, not a fault.
TEST(SettingsStore, LockedFilesAndFoldersAreLeftAsTheyWere) {
    QTemporaryDir dir;
    const QByteArray old("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");
    const QString readOnly = dir.filePath("read-only/wattmeter.ini");
    const QString lockedFolder = dir.filePath("locked");
    const QString inLockedFolder = lockedFolder + "/wattmeter.ini";
    const QString uncreatable = lockedFolder + "/config/wattmeter.ini";
    const QString unreadable = dir.filePath("unreadable.ini");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("read-only")));
    ASSERT_TRUE(QDir().mkpath(lockedFolder));
    writeAll(readOnly, old);
    writeAll(inLockedFolder, old);
    writeAll(unreadable, old);
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
    ASSERT_TRUE(QFile::setPermissions(lockedFolder, QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFile::WriteOwner));

    {
        const ObeyFilePermissions asAUser;
        if (!asAUser.obeyed()) GTEST_SKIP() << "permission bits do not apply to this process";
        const struct {
            QString path;
            QString reason;
        } cases[] = {
            {readOnly, "Permission denied"},
            {inLockedFolder, "Permission denied"},
            {uncreatable, "the folder " + lockedFolder +
                              "/config does not exist and cannot be "
                              "created"},
        };
        for (const auto& c : cases) {
            QString reason;
            EXPECT_FALSE(SettingsStore(c.path).save(kSample, &reason)) << c.path.toStdString();
            EXPECT_TRUE(reason.startsWith(c.reason)) << reason.toStdString();
        }
        SettingsValues values = kSample;
        QString reason = "unset";
        EXPECT_FALSE(SettingsStore(unreadable).load(values, &reason));
        EXPECT_EQ(reason, "Permission denied");
        EXPECT_FALSE(SettingsStore(dir.filePath("missing.ini")).load(values, &reason));
        EXPECT_TRUE(reason.isEmpty());
        EXPECT_EQ(writeSettingsText(values), writeSettingsText(kSample));
    }
    EXPECT_EQ(readAll(readOnly), old);
    EXPECT_EQ(readAll(inLockedFolder), old);
    EXPECT_EQ(QDir(lockedFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"wattmeter.ini"});
    QFile::setPermissions(lockedFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace
}  // namespace acw::test
