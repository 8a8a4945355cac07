// The pages inside the real main window, against the built-in keyboard:
// changes made on the pages reach the keyboard, configuration flags first.

#include "res/ControlIds.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

#include <QSlider>

#include <algorithm>
#include <tuple>

namespace {

TEST(PagesAgainstKeyboard, SliderAndBoxChangesReachTheKeyboardFlagsFirst) {
    AppHarness app{AppHarness::Setup{.testMode = true}};
    ASSERT_TRUE(app.ShowActive() && app.Connect());
    app.Click(IDC_CONFIGURE);
    ASSERT_TRUE(app.Dlg().Core().ConfigurationUnlocked());
    app.TakeCommands();
    static_cast<QSlider*>(app.Widget(IDC_LOW_SLIDER))->setValue(30);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 179; }));
    app.Click(IDC_CLEAN_ON_POWER_UP);
    // Host mode on with LED and beeper, then off again: the two bits stay.
    for (int id : {IDC_HOST_MODE_ENABLE, IDC_HOST_LED_ON, IDC_HOST_BEEPER_ON, IDC_HOST_MODE_ENABLE})
        app.Click(id);
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
