#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "app/SettingsStore.h"
#include "test_lifecycle_fixture.h"

namespace acw::test {
namespace {

SettingsValues sampleValues() {
    SettingsValues v;
    v.selectedDevice = 3;
    v.gainL = v.gainR = v.timeBase = 64;
    v.voltsCal = 1.0 / 3.0;
    v.ampsCal = 0.1;
    return v;
}

TEST(SettingsStore, UserFileLivesInTheConfigurationFolderWhichIsCreated) {
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(folder.isEmpty());
    QDir(folder).removeRecursively();
    const SettingsStore store;
    EXPECT_EQ(store.path(), folder + QStringLiteral("/wattmeter.ini"));
    ASSERT_TRUE(store.save(sampleValues()));
    SettingsValues back;
    ASSERT_TRUE(store.load(back));
    EXPECT_EQ(back.selectedDevice, 3);
    EXPECT_EQ(back.voltsCal, 1.0 / 3.0);
}

TEST(SettingsStore, WhatIsNotARegularFileIsNeverRead) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& path :
         {dir.filePath(QStringLiteral("missing.ini")), dir.path(), fifo, QString()}) {
        SettingsValues values = sampleValues();
        EXPECT_FALSE(SettingsStore(path).load(values)) << path.toStdString();
        EXPECT_EQ(values.selectedDevice, 3);
        EXPECT_EQ(values.voltsCal, 1.0 / 3.0);
    }
}

// A file size limit makes the write fail after exactly `limit` bytes, as a full disk would:
// at every byte of the new content the old file must stay whole and no temporary file stay.
TEST(SettingsStore, WriteFailingAtAnyByteLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wattmeter.ini"));
    const QByteArray old("0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n");
    writeAll(path, old);
    const SettingsStore store(path);
    const std::size_t size = writeSettingsText(sampleValues()).size();

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    for (std::size_t limit = 0; limit < size; ++limit) {
        rlimit small = saved;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString reason;
        const bool saved_ok = store.save(sampleValues(), &reason);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_FALSE(saved_ok) << limit;
        EXPECT_FALSE(reason.isEmpty()) << limit;
        EXPECT_EQ(readAll(path), old) << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"wattmeter.ini"}) << limit;
    }
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(store.save(sampleValues()));
    EXPECT_EQ(readAll(path), QByteArray::fromStdString(writeSettingsText(sampleValues())));
}

TEST(SettingsStore, UnwritablePlacesFailWithAReason) {
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("plain-file")), "x");
    QDir(dir.path()).mkdir(QStringLiteral("wattmeter.ini"));
    for (const QString& path : {dir.filePath(QStringLiteral("plain-file/wattmeter.ini")),
                                dir.filePath(QStringLiteral("wattmeter.ini")), QString()}) {
        QString reason;
        EXPECT_FALSE(SettingsStore(path).save(sampleValues(), &reason)) << path.toStdString();
        EXPECT_FALSE(reason.isEmpty()) << path.toStdString();
    }
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("plain-file"))), QByteArray("x"));
}

}  // namespace
}  // namespace acw::test
