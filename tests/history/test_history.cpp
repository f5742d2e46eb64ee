// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "common/AtomicFile.h"
#include "history/EnergyStore.h"
#include "history/TrendChart.h"

namespace acw {
namespace {

using Status = EnergyStore::LoadResult::Status;

TEST(EnergyStore, RestoresItsTotalsAndSetsADamagedFileAside) {
    QTemporaryDir dir;
    EnergyStore store(dir.filePath(QStringLiteral("config")));  // made by the first save
    EXPECT_EQ(store.load().status, Status::None);
    const EnergyIntegrator integrator;  // the text's round trip is the integrator's own test
    ASSERT_TRUE(store.save(integrator));
    EXPECT_EQ(store.load().integrator.value().saveText(), integrator.saveText());

    const QByteArray good = QByteArray::fromStdString(integrator.saveText());
    // One changed byte, a file cut short, an empty file: each set aside whole, twice in a second.
    for (const QByteArray& bad : {QByteArray(good).replace("buffers 0", "buffers 9"),
                                  good.left(good.size() / 2), QByteArray()}) {
        ASSERT_TRUE(writeFileAtomically(store.path(), bad));
        const auto result = store.load();
        EXPECT_EQ(result.status, Status::Damaged);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_FALSE(QFile::exists(store.path()));
        QFile aside(result.setAsidePath);
        EXPECT_TRUE(aside.open(QIODevice::ReadOnly) && aside.readAll() == bad);
        EXPECT_TRUE(store.save(integrator));
    }
}

// 20 W and 10 W in turn every 100 ms for a minute, a 20 s break, then 15 W: each column of the
// first minute spans 10..20 W, the last part is flat, and nothing crosses the break.
TEST(TrendChart, DrawsEachColumnsSpanAndNoLineAcrossAGap) {
    constexpr std::int64_t kStart = 1'700'000'000'000;
    TrendHistory history(1000);
    for (int i = 0; i < 600; ++i) history.append({kStart + 100 * i, i % 2 == 0 ? 20.0f : 10.0f});
    for (int i = 0; i < 200; ++i) history.append({kStart + 80'000 + 100 * i, 15.0f});
    QImage image(400, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    const TrendFrame frame = TrendChart().draw(painter, image.rect(), history,
                                               {TrendQuantity::Watts, kStart + 99'900, 100'000});
    painter.end();
    ASSERT_TRUE(frame.plot.width() > 200 && frame.low <= 10 && frame.high >= 20);
    const auto traced = [&](std::int64_t timeMs, int y) {
        return image.pixelColor(frame.columnX(kStart + timeMs), y) == TrendChart::kTraceColour;
    };
    for (int y = frame.plot.top(); y <= frame.plot.bottom(); ++y) {
        for (const std::int64_t t : {10'000, 30'000, 55'000}) {
            EXPECT_EQ(traced(t, y), y >= frame.valueY(20) && y <= frame.valueY(10))
                << t << " " << y;
        }
        EXPECT_EQ(traced(90'000, y), y == frame.valueY(15)) << y;
        for (const std::int64_t t : {61'000, 70'000, 79'000})
            EXPECT_FALSE(traced(t, y)) << t << " " << y;
    }
}

}  // namespace
}  // namespace acw
