// The sensor history: what the polling machine puts in it, its ring, and the
// window that shows and exports it.

#include "test_app_harness.h"

#include "app/SensorHistoryWindow.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "settings/KeyboardSettings.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QMenu>

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

void SetLeftLevel(AppHarness& h, uint16_t level) {
    h.Bus().WithFirmware([level](KeyboardFirmware& firmware) {
        DeviceStatus s = firmware.State();
        s.LeftLevel = level;
        firmware.SetState(s);
    });
}

} // namespace

TEST(History, HoldsEachStatusReplyWithTheThresholdsInForceAndMarksEventsAndAbsence) {
    AppHarness h;
    ASSERT_TRUE(h.Connect());
    const SensorHistory& history = h.Core().History();
    EXPECT_EQ(history.Samples().Size(), 0u); // the replies of the full read are no samples
    const uint16_t low = g_settings.LowThreshold;
    for (uint16_t i = 0; i < 5; ++i) {
        if (i == 3)
            g_settings.LowThreshold = low + 7; // as the Threshold page sets it
        SetLeftLevel(h, 100 + i);
        ASSERT_TRUE(h.StatusRound());
    }
    h.Core().RequestStore(); // a reply that is no status reply
    ASSERT_TRUE(h.StatusRound());
    ASSERT_EQ(history.Samples().Size(), 5u);
    for (uint16_t i = 0; i < 5; ++i) {
        EXPECT_EQ(history.Samples()[i].levels[0], 100 + i);
        EXPECT_EQ(history.Samples()[i].lowThreshold, i < 3 ? low : low + 7);
    }

    CReaderThread& reader = *h.Core().Device().Reader;
    const uint64_t decoded = reader.ReportsDecoded;
    h.Bus().SendEvent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reader.ReportsDecoded > decoded; }));
    h.Tick();
    h.Bus().Unplug();
    ASSERT_TRUE(h.WaitReading(false));
    h.Tick();
    h.Tick();
    h.Bus().Plug();
    ASSERT_TRUE(h.WaitReading());
    h.Tick();
    std::vector<int> kinds;
    for (const HistoryMarker& m : history.Markers().Copy())
        kinds.push_back(m.kind);
    EXPECT_EQ(kinds, (std::vector<int>{HistoryMarker::Event, HistoryMarker::KeyboardLost,
                                       HistoryMarker::KeyboardFound}));
}

TEST(History, RingKeepsTheNewestSamplesInOrderWhenFull) {
    SensorHistory history;
    DeviceStatus status;
    constexpr std::size_t extra = 10, capacity = SensorHistory::SampleCapacity;
    for (std::size_t i = 0; i < capacity + extra; ++i) {
        status.KeystrokeCount = static_cast<uint16_t>(i);
        history.AddSample(status);
    }
    ASSERT_EQ(history.Samples().Size(), capacity);
    std::size_t outOfOrder = 0;
    for (std::size_t i = 0; i < capacity; ++i)
        outOfOrder += history.Samples()[i].keystrokes != i + extra;
    EXPECT_EQ(outOfOrder, 0u);
}

TEST(History, WindowOpensWithCtrlHShowsTheSamplesAndExportsThem) {
    AppHarness h;
    ScriptedPrompts prompts;
    h.Dlg().show();
    QApplication::setActiveWindow(&h.Dlg());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.Dlg()));
    QStringList entries;
    for (QAction* action : h.Dlg().SystemMenu()->actions())
        entries << action->text();
    EXPECT_EQ(entries.mid(1), (QStringList{"Sensor &History...", "&About Olvane..."}));
    QTest::keyClick(&h.Dlg(), Qt::Key_H, Qt::ControlModifier);
    SensorHistoryWindow* window = h.Dlg().HistoryWindow();
    ASSERT_TRUE(window && window->isVisible());

    ASSERT_TRUE(h.Connect());
    g_settings.LowThreshold = 180;
    g_settings.HighThreshold = 220;
    for (uint16_t level : {150, 200, 250}) {
        SetLeftLevel(h, level);
        ASSERT_TRUE(h.StatusRound());
    }
    EXPECT_EQ(window->Model()->rowCount(), 3);
    EXPECT_EQ(window->Model()->headerData(0, Qt::Horizontal).toString(), "Left");
    EXPECT_TRUE(
        window->Plot()->accessibleDescription().contains("Left 250,") &&
        window->Plot()->accessibleDescription().contains("Left went from above Low to above High"));
    window->SetPaused(true);
    ASSERT_TRUE(h.StatusRound());
    EXPECT_EQ(window->Model()->rowCount(), 3);
    window->SetPaused(false);
    EXPECT_EQ(window->Model()->rowCount(), 4);

    prompts.savePath = h.Dir() + "history.csv";
    ASSERT_TRUE(window->SaveCsv());
    QFile file(prompts.savePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const std::vector<HistorySample> samples = h.Core().History().Samples().Copy();
    ASSERT_EQ(rows.size(), qsizetype(samples.size()) + 1);
    EXPECT_TRUE(rows[0].startsWith("time,left,right,sensor3,sensor4,keystrokes,"));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const QStringList f = rows[qsizetype(i) + 1].split(',');
        ASSERT_EQ(f.size(), 12);
        HistorySample read;
        read.time = system_clock::time_point(
            milliseconds(QDateTime::fromString(f[0], Qt::ISODateWithMs).toMSecsSinceEpoch()));
        for (int k = 0; k < 4; ++k)
            read.levels[k] = f[1 + k].toUShort();
        read.keystrokes = f[5].toUShort();
        read.ledOn = f[6] == "1", read.beeperOn = f[7] == "1", read.cleanActive = f[8] == "1";
        read.lowThreshold = f[9].toUShort(), read.highThreshold = f[10].toUShort();
        read.keystrokeTrigger = f[11].toUShort();
        HistorySample expected = samples[i];
        expected.time = floor<milliseconds>(expected.time);
        EXPECT_EQ(read, expected) << qPrintable(rows[qsizetype(i) + 1]);
    }

    prompts.savePath = h.Dir() + "history.png";
    ASSERT_TRUE(window->SavePng());
    EXPECT_EQ(QImage(prompts.savePath).size(), window->Plot()->size());
}
