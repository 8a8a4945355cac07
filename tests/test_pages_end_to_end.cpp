// The pages inside the real main window, against the built-in keyboard:
// changes made on the pages reach the keyboard, configuration flags first.

#include "pages/CPropSheet.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSlider>
#include <QTest>

#include <algorithm>

namespace {

class PagesAgainstKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.Dlg().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_app.Dlg()));
        ASSERT_TRUE(m_app.Connect());
        m_app.Click(6); // "Configure"
        ASSERT_TRUE(m_app.Dlg().m_bConfigUnlocked);
        m_sheet = m_app.Dlg().m_pPropSheet;
    }

    void ShowPage(QWidget* page) {
        m_sheet->setCurrentWidget(page);
        QTest::qWait(20);
    }
    void Click(QWidget* page, int id) { QTest::mouseClick(FindIn(page, id), Qt::LeftButton); }
    static QWidget* FindIn(QWidget* page, int id) {
        return page->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
    }

    // Runs the polling state machine until `done` holds.
    template <typename Done> bool TickUntil(Done done) {
        return QTest::qWaitFor(
            [&] {
                m_app.Tick();
                return done();
            },
            5000);
    }
    bool Sent() {
        return TickUntil([&] {
            const CKeyboardConfigDlg& d = m_app.Dlg();
            return !d.m_bOptionsPending && !d.m_bThresholdsPending && !d.m_bIdNumberPending;
        });
    }

    AppHarness m_app{AppHarness::Setup{.testMode = true}};
    CPropSheet* m_sheet = nullptr;
};

TEST_F(PagesAgainstKeyboard, SliderAndBoxChangesReachTheKeyboardFlagsFirst) {
    m_app.TakeCommands();

    ShowPage(&m_sheet->m_threshold);
    auto* low = qobject_cast<QSlider*>(m_sheet->m_threshold.Control(1004));
    low->setValue(30); // the slider paints, and its value goes into the record
    ASSERT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 179; }));

    ShowPage(&m_sheet->m_timers);
    Click(&m_sheet->m_timers, 1022); // "Clean On Power Up"
    ASSERT_TRUE(m_app.Dlg().m_bOptionsPending);
    ASSERT_TRUE(m_app.Dlg().m_bThresholdsPending);

    ASSERT_TRUE(Sent());
    const DeviceStatus keyboard = m_app.Bus().FirmwareState();
    EXPECT_EQ(keyboard.LowThreshold, 179);
    EXPECT_EQ(keyboard.PowerOnWipe, 1);

    const std::vector<int> sent = m_app.TakeCommands();
    const auto flags = std::find(sent.begin(), sent.end(), 7);
    const auto thresholds = std::find(sent.begin(), sent.end(), 5);
    ASSERT_NE(flags, sent.end());
    ASSERT_NE(thresholds, sent.end());
    EXPECT_LT(flags, thresholds);
}

TEST_F(PagesAgainstKeyboard, HostModeOffKeepsTheLedAndBeeperBitsOnTheKeyboard) {
    CManufacturing* page = &m_sheet->m_manufacturing;
    ShowPage(page);
    for (int id : {1085, 1086, 1087}) // "Enable", "LED On", "Beeper On"
        Click(page, id);
    ASSERT_TRUE(Sent());
    EXPECT_EQ(m_app.Bus().FirmwareState().HostBeeperOn, 1);

    Click(page, 1085); // host mode off
    ASSERT_TRUE(Sent());
    const DeviceStatus keyboard = m_app.Bus().FirmwareState();
    EXPECT_EQ(keyboard.HostModeEnable, 0);
    EXPECT_EQ(keyboard.HostLedOn, 1);
    EXPECT_EQ(keyboard.HostBeeperOn, 1);
}

TEST_F(PagesAgainstKeyboard, IdNumberPresetAndKeyLimitReachTheKeyboard) {
    CManufacturing* page = &m_sheet->m_manufacturing;
    ShowPage(page);
    QTest::keyClicks(FindIn(page, 1077), "70000");
    Click(page, 1081); // "Set ID Number"
    ASSERT_TRUE(Sent());
    EXPECT_EQ(m_app.Bus().FirmwareState().IdNumber, 4464);

    ShowPage(&m_sheet->m_timers);
    Click(&m_sheet->m_timers, 1018); // "8 Hrs"
    ASSERT_TRUE(Sent());
    EXPECT_EQ(m_app.Bus().FirmwareState().AlarmTimer, 8);

    ShowPage(&m_sheet->m_threshold);
    qobject_cast<QSlider*>(m_sheet->m_threshold.Control(1010))->setValue(60);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_settings.KeystrokeAlarmTrigger == 6000; }));
    ASSERT_TRUE(Sent());
    EXPECT_EQ(m_app.Bus().FirmwareState().KeystrokeAlarmTrigger, 6000);
    EXPECT_EQ(qobject_cast<QLabel*>(m_sheet->m_threshold.Control(1039))->text(), "6000");
}

} // namespace
