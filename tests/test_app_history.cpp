// The sensor history: what the polling machine puts in it, its ring, and the
// window that shows and exports it.

#include "test_app_harness.h"

#include "app/HistoryPlot.h"
#include "app/HistoryTableModel.h"
#include "app/SensorHistoryWindow.h"
#include "res/ControlIds.h"

#include <QFile>
#include <QProgressBar>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

void SetLeftLevel(AppHarness& h, uint16_t level) {
    h.Bus().WithFirmware([level](KeyboardFirmware& firmware) {
        DeviceStatus s = firmware.State();
        s.LeftLevel = level;
        firmware.SetState(s);
    });
}

} // namespace

// A modeless window, opened with Ctrl+H, shows each status reply (not the
// full read's, nor another reply) with the thresholds in force; the main
// window's bar takes the colour of the level's place against them. The table,
// the plot's description and the CSV read as the main window does; the CSV
// adds the raw values.
TEST(History, WindowShowsEachStatusReplyAsTheMainWindowDoes) {
    AppHarness h;
    ScriptedPrompts prompts;
    ASSERT_TRUE(h.ShowActive());
    QTest::keyClick(&h.Dlg(), Qt::Key_H, Qt::ControlModifier);
    SensorHistoryWindow* window = h.Dlg().HistoryWindow();
    ASSERT_TRUE(window && window->isVisible() && !window->isModal());
    ASSERT_TRUE(h.Connect());
    const SensorHistory& history = h.Core().History();
    g_settings.LowThreshold = 60;
    g_settings.HighThreshold = 220;
    const uint16_t levels[] = {40, 93, 250};
    const auto* bar = static_cast<QProgressBar*>(h.Dlg().Control(IDC_LEFT_BAR));
    std::vector<QColor> colours; // below Low, above Low, above High
    for (uint16_t level : levels) {
        SetLeftLevel(h, level);
        ASSERT_TRUE(h.StatusRound());
        colours.push_back(bar->palette().color(QPalette::Highlight));
        g_settings.LowThreshold += 7; // as the Threshold page sets it
    }
    EXPECT_EQ(colours, (std::vector<QColor>{{64, 255, 64}, {64, 64, 255}, {255, 64, 64}}));
    g_settings.LowThreshold -= 7;
    h.Core().RequestStore(); // a reply that is no status reply
    ASSERT_TRUE(h.StatusRound());
    ASSERT_EQ(history.Samples().Size(), 3u);
    for (uint16_t i = 0; i < 3; ++i) // the last one's level is checked as shown below
        EXPECT_EQ(history.Samples()[i].lowThreshold, 60 + 7 * i);
    const QString left = h.Text(IDC_LEFT_VALUE);
    const QString low = h.Text(IDC_LOW_VALUE);
    QAbstractItemModel* model = window->Model();
    const int last = model->rowCount() - 1;
    EXPECT_EQ(model->index(last, HistoryTableModel::Left).data().toString(), left);
    EXPECT_EQ(model->index(last, HistoryTableModel::LowThreshold).data().toString(), low);
    const QString description = window->Plot()->accessibleDescription();
    EXPECT_TRUE(description.contains("Left " + left + ",") &&
                description.contains("Low threshold " + low + ",") &&
                description.contains("Left went from above Low to above High"))
        << qPrintable(description);

    prompts.savePath = h.Dir() + "history.csv";
    ASSERT_TRUE(window->SaveCsv());
    QFile file(prompts.savePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), model->rowCount() + 1);
    const QStringList names = rows[0].split(','), fields = rows.last().split(',');
    ASSERT_EQ(fields.size(), names.size());
    auto field = [&](const char* name) { return fields.value(names.indexOf(name)); };
    EXPECT_EQ(field("left_percent"), left);
    EXPECT_EQ(field("low_threshold_raw"), QString::number(g_settings.LowThreshold));
}

// New samples are appended under the rows already read; the oldest go only
// when the core's ring drops them, which keeps the newest in order.
TEST(History, TableDropsOnlyWhatTheRingDrops) {
    SensorHistory history;
    DeviceStatus status;
    status.KeystrokeCount = 0; // counts the samples
    auto add = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, ++status.KeystrokeCount)
            history.AddSample(status);
    };
    add(5);
    SensorHistoryWindow window(history, {});
    window.SetSensorCount(4);
    window.show();
    window.Table()->setCurrentIndex(window.Model()->index(2, 0));
    add(10);
    window.Refresh();
    EXPECT_EQ(window.Model()->rowCount(), 15);
    EXPECT_EQ(window.Table()->currentIndex().row(), 2);

    add(SensorHistory::SampleCapacity - 5); // the first 10 samples are dropped
    window.Refresh();
    ASSERT_EQ(window.Model()->rowCount(), int(SensorHistory::SampleCapacity));
    // The ring keeps the newest, oldest first.
    EXPECT_EQ(window.Model()->Samples().front().keystrokes, 10u);
    EXPECT_EQ(window.Model()->Samples().back().keystrokes, SensorHistory::SampleCapacity + 9);
}
