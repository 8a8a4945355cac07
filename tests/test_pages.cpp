// The settings pages, inside the real main window, shown so that their
// sliders paint, with a fresh record and no keyboard. In test mode Simulate is
// ticked: the configuration unlocks, and a tick drops the reports asked for
// without sending them.

#include "pages/CTimers.h"
#include "res/ControlIds.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>

#include <string>
#include <tuple>

namespace {

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override { Show(true); }
    // Locked outside test mode; in it unlocked, with every switch (no product is known).
    void Show(bool testMode) {
        m_app = std::make_unique<AppHarness>(
            AppHarness::Setup{.testMode = testMode, .pluggedIn = false});
        m_app->Button(IDC_SIMULATE)->setChecked(testMode);
        m_sheet = m_app->Dlg().m_pPropSheet;
        // Activation, showing a page and losing the focus repaint the
        // sliders; let that happen now, then start from a clean record.
        ASSERT_TRUE(m_app->ShowActive());
        for (int i = m_sheet->count() - 1; i >= 0; --i) {
            m_sheet->setCurrentIndex(i);
            QTest::qWait(10);
        }
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QTest::qWait(10);
        g_settings = KeyboardSettings{};
        m_app->Dlg().SetConfigurationUnlocked(testMode);
        ClearPending();
    }

    void ClearPending() { m_app->Tick(); }
    // The reports asked for: T thresholds and timers, O flags, I ID number.
    std::string Pending() const {
        const PollingMachine::Pending& p = m_app->Core().PendingReports();
        return std::string(p.thresholds ? "T" : "") + (p.options ? "O" : "") +
               (p.idNumber ? "I" : "");
    }
    QSlider* Slider(int id) { return static_cast<QSlider*>(m_app->Widget(id)); }
    std::string Text(int id) { return m_app->Text(id).toStdString(); }
    bool Ticked(int id) { return m_app->Ticked(id); }
    void Click(int id) { m_app->Click(id); }

    std::unique_ptr<AppHarness> m_app;
    CPropSheet* m_sheet = nullptr;
};

using ThresholdPage = PagesTest;
using TimersPage = PagesTest;
using ManufacturingPage = PagesTest;

// A slider, the label showing its value, and the record's field it writes.
struct Setting {
    int slider, label;
    uint16_t KeyboardSettings::*field;
};
constexpr Setting kLow{IDC_LOW_SLIDER, IDC_LOW_VALUE, &KeyboardSettings::LowThreshold};
constexpr Setting kHigh{IDC_HIGH_SLIDER, IDC_HIGH_VALUE, &KeyboardSettings::HighThreshold};
constexpr Setting kInterval{IDC_INTERVAL_SLIDER, IDC_INTERVAL_VALUE,
                            &KeyboardSettings::IntervalTimer};
constexpr Setting kKeys{IDC_KEY_LIMIT_SLIDER, IDC_KEY_LIMIT_VALUE,
                        &KeyboardSettings::KeystrokeAlarmTrigger};
constexpr Setting kClean{IDC_CLEAN_SLIDER, IDC_CLEAN_VALUE, &KeyboardSettings::CleanTimer};

// A refresh puts each slider at the position nearest the record's value and
// its label shows the value itself; a paint changes neither the record nor
// the label and asks for nothing. A key moves the slider one position: its
// field takes the value of the new position, and the report is asked for.
TEST_F(ThresholdPage, ShowingWritesNothingAndOnlyAMoveChangesItsOwnField) {
    // Setting, value shown, position and text shown, value and text after Up.
    using Row = std::tuple<Setting, uint16_t, int, const char*, uint16_t, const char*>;
    for (const auto& [s, shown, position, text, moved, movedText] :
         {Row{kHigh, 253, 1, "99", 255, "100"}, Row{kLow, 0, 100, "0", 3, "1"},
          Row{kKeys, 65535, 1, "65535", 65000, "65000"}, Row{kInterval, 7, 53, "7 sec", 8, "8 sec"},
          Row{kClean, 300, 0, "300 sec", 300, "300 sec"}}) {
        SCOPED_TRACE(testing::Message() << "slider " << s.slider << " shown " << shown);
        g_settings = KeyboardSettings{};
        g_settings.LowThreshold = 1;
        g_settings.HighThreshold = 254;
        g_settings.KeystrokeAlarmTrigger = 1100;
        g_settings.*s.field = shown;
        m_app->Dlg().RefreshDisplay();
        EXPECT_EQ(Slider(s.slider)->value(), position);
        ClearPending();
        m_sheet->currentWidget()->repaint();
        EXPECT_EQ(g_settings.*s.field, shown);
        EXPECT_EQ(Text(s.label), text);
        EXPECT_EQ(Pending(), "");

        Slider(s.slider)->setFocus();
        QTest::keyClick(Slider(s.slider), Qt::Key_Up);
        EXPECT_EQ(Text(s.label), movedText);
        EXPECT_EQ(Pending(), moved != shown ? "T" : "");
        EXPECT_EQ(g_settings.*s.field, moved); // the others: the generated scenarios
    }
}

// In test mode each preset, "1 Min" among them, and a click on the groove
// write the hours and ask for the thresholds; the bottom end reads as the
// one-minute alarm. Outside it a refresh puts the slider at the nearest end
// for hours it cannot show and the label shows the hours held; moving to the
// bottom end reads as 0 hours. Locked, the
// presets cannot be clicked; enabled, "1 Min" stays hidden.
TEST_F(TimersPage, PresetsAndTheBottomEndInAndOutsideTestMode) {
    using Preset = std::tuple<int, uint16_t, int, const char*>; // button, hours, position, text
    for (const auto& [button, hours, position, text] :
         {Preset{IDC_PRESET_8_HRS, 8, 40, "8 hrs"}, Preset{IDC_PRESET_24_HRS, 24, 24, "24 hrs"},
          Preset{IDC_PRESET_1_MIN, 0, 48, "1 min"}}) {
        SCOPED_TRACE(text);
        ClearPending();
        Click(button);
        EXPECT_EQ(Slider(IDC_ALARM_TIMER_SLIDER)->value(), position);
        EXPECT_EQ(Text(IDC_ALARM_TIMER_VALUE), text);
        EXPECT_EQ(g_settings.AlarmTimer, hours);
        EXPECT_EQ(Pending(), "T");
    }
    Slider(IDC_ALARM_TIMER_SLIDER)->triggerAction(QSlider::SliderPageStepSub);
    EXPECT_EQ(g_settings.AlarmTimer, 4);
    Slider(IDC_ALARM_TIMER_SLIDER)->triggerAction(QSlider::SliderToMaximum);
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(Text(IDC_ALARM_TIMER_VALUE), "1 min");

    Show(false);
    g_settings.AlarmTimer = 251; // beyond the slider's end
    m_app->Dlg().RefreshDisplay();
    EXPECT_EQ(Slider(IDC_ALARM_TIMER_SLIDER)->value(), 0);
    Slider(IDC_ALARM_TIMER_SLIDER)->repaint();
    EXPECT_EQ(g_settings.AlarmTimer, 251);
    EXPECT_EQ(Text(IDC_ALARM_TIMER_VALUE), "251 hrs");
    Slider(IDC_ALARM_TIMER_SLIDER)->setValue(47); // the technician moves it down to the end
    Slider(IDC_ALARM_TIMER_SLIDER)->triggerAction(QSlider::SliderSingleStepAdd);
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(Text(IDC_ALARM_TIMER_VALUE), "0 hrs");
    Click(IDC_PRESET_8_HRS);
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    m_sheet->m_timers.EnableControls(true, 0x0705);
    EXPECT_TRUE(m_app->Widget(IDC_PRESET_1_MIN)->isHidden());
}

// A refresh ticks each box of the Timers and Manufacturing pages from its own
// field without running a handler; a click writes that field alone and asks
// for the flags report. Only the two alarm switches redraw the alarm pictures.
TEST_F(ManufacturingPage, EachBoxShowsAndWritesItsOwnField) {
    QSignalSpy redrawn(&m_sheet->m_timers, &CTimers::alarmSwitchesChanged);
    using S = KeyboardSettings;
    const std::tuple<int, uint8_t DeviceStatus::*, bool> boxes[] = {
        {IDC_TIMER_ENABLE, &S::EnableTimer, true},
        {IDC_KEYSTROKE_ENABLE, &S::EnableKeystroke, true},
        {IDC_CLEAN_ON_POWER_UP, &S::PowerOnWipe, false},
        {IDC_DISABLE_LEFT, &S::DisableSensorLeft, false},
        {IDC_DISABLE_RIGHT, &S::DisableSensorReft, false},
        {IDC_DISABLE_PRESSURE, &S::DisableSensorPressure, false},
        {IDC_DISABLE_SENSOR4, &S::DisableSensor4, false},
        {IDC_DISABLE_BACKLIGHT, &S::DisableBacklight, false},
        {IDC_DISABLE_CONFIG, &S::DisableConfig, false},
        {IDC_REENUMERATE, &S::EnableReEnumeration, false},
        {IDC_DISABLE_AUTOSENSE, &S::DisableAutoSense, false},
        {IDC_HOST_MODE_ENABLE, &S::HostModeEnable, false}};
    for (auto [box, field, redraws] : boxes) {
        SCOPED_TRACE(box);
        KeyboardSettings record;
        record.*field ^= 1; // the other state than by default
        g_settings = record;
        ClearPending();
        m_app->Dlg().RefreshDisplay();
        EXPECT_EQ(Ticked(box), record.*field != 0);
        EXPECT_EQ(Pending(), "");
        redrawn.clear();
        Click(box);
        EXPECT_TRUE(g_settings.Block() == KeyboardSettings{}.Block());
        EXPECT_EQ(Pending(), "O");
        EXPECT_EQ(redrawn.size(), redraws ? 1 : 0);
    }
}

// Set ID Number reads the text like strtoul, cuts it to 16 bits and asks for
// the report.
TEST_F(ManufacturingPage, SetIdNumberReadsTheTextLikeStrtoul) {
    for (auto [text, stored] :
         {std::tuple{"12ab", 12}, std::tuple{"70000", 4464}, std::tuple{"-1", 65535},
          std::tuple{"-99999999999", 65535}}) {
        SCOPED_TRACE(text);
        ClearPending();
        static_cast<QLineEdit*>(m_app->Widget(IDC_ID_NUMBER_EDIT))->setText(text);
        Click(IDC_SET_ID_NUMBER);
        EXPECT_EQ(g_settings.IdNumber, stored);
        EXPECT_EQ(Pending(), "I");
    }
}

} // namespace
