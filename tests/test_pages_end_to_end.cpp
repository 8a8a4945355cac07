// The pages inside the real main window, against the built-in keyboard:
// changes made on the pages reach the keyboard, configuration flags first.

#include "pages/CPropSheet.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

#include <QSlider>
#include <QTest>

#include <algorithm>
#include <tuple>

namespace {

TEST(PagesAgainstKeyboard, SliderAndBoxChangesReachTheKeyboardFlagsFirst) {
    AppHarness app{AppHarness::Setup{.testMode = true}};
    app.Dlg().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.Dlg()) && app.Connect());
    app.Click(6); // "Configure"
    ASSERT_TRUE(app.Dlg().Core().ConfigurationUnlocked());
    app.TakeCommands();
    CPropSheet* sheet = app.Dlg().m_pPropSheet;

    sheet->setCurrentWidget(&sheet->m_threshold);
    qobject_cast<QSlider*>(sheet->m_threshold.Control(1004))->setValue(30); // "Low"
    ASSERT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 179; }));
    sheet->setCurrentWidget(&sheet->m_timers);
    QTest::mouseClick(sheet->m_timers.Control(1022), Qt::LeftButton); // "Clean On Power Up"
    // Host mode on with LED and beeper, then off again: the two bits stay.
    sheet->setCurrentWidget(&sheet->m_manufacturing);
    for (int id : {1085, 1086, 1087, 1085})
        QTest::mouseClick(sheet->m_manufacturing.Control(id), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        app.Tick();
        const auto& pending = app.Dlg().Core().PendingReports();
        return !pending.options && !pending.thresholds;
    }));

    // Low, Clean On Power Up, host mode, LED and beeper on the keyboard.
    const DeviceStatus k = app.Bus().FirmwareState();
    EXPECT_EQ(
        std::tuple(k.LowThreshold, k.PowerOnWipe, k.HostModeEnable, k.HostLedOn, k.HostBeeperOn),
        std::tuple(179, 1, 0, 1, 1));
    const std::vector<int> sent = app.TakeCommands();
    const auto thresholds = std::find(sent.begin(), sent.end(), 5);
    ASSERT_NE(thresholds, sent.end());
    EXPECT_LT(std::find(sent.begin(), sent.end(), 7), thresholds);
}

} // namespace
