// The Timers page: the alarm slider and its labels in and out of test mode,
// the presets, and the three switches with what they ask of the main window.

#include "pages/CTimers.h"
#include "test_pages_support.h"

#include <QSignalSpy>

#include <tuple>

namespace {

constexpr int AlarmSlider = 1016, AlarmText = 1017, OneMinute = 1020, Preset24 = 1012,
              Preset8 = 1018, Preset4 = 1019, Preset3 = 1021, TimerBox = 1035, KeystrokeBox = 1036,
              CleanOnPowerUpBox = 1022;

class TimersPage : public PageFixture<CTimers> {
protected:
    void SetUp() override { SetUpPage(&CPropSheet::m_timers, false); }
};

// A refresh puts the slider at the nearest end for hours it cannot show and
// the label shows the hours held; a paint writes nothing. Outside test mode 0
// hours shows as "1 min" but moving to the bottom end reads as 0 hours.
// Locked, the presets cannot be clicked.
TEST_F(TimersPage, AlarmTimeFromRefreshesMovesAndPresets) {
    // Hours shown, position and text shown.
    using Row = std::tuple<uint16_t, int, const char*>;
    for (const auto& [shown, position, text] :
         {Row{24, 24, "24 hrs"}, Row{1, 47, "1 hrs"}, Row{48, 0, "48 hrs"},
          Row{251, 0, "251 hrs"}, Row{0, 48, "1 min"}}) {
        SCOPED_TRACE(shown);
        KeyboardSettings record;
        record.AlarmTimer = g_settings.AlarmTimer = shown;
        m_page->ShowSettings(record);
        EXPECT_EQ(Slider(AlarmSlider)->value(), position);
        Slider(AlarmSlider)->repaint();
        EXPECT_EQ(g_settings.AlarmTimer, shown);
        EXPECT_EQ(Text(AlarmText), text);
    }
    Slider(AlarmSlider)->setValue(47); // the technician moves it down to the end
    Slider(AlarmSlider)->triggerAction(QSlider::SliderSingleStepAdd);
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(Text(AlarmText), "0 hrs");
    m_page->EnableControls(false, 0x0705); // locked, a preset cannot be clicked
    Click(Preset8);
    EXPECT_EQ(g_settings.AlarmTimer, 0);

    m_page->EnableControls(true, 0x0705);
    EXPECT_TRUE(m_page->Control(OneMinute)->isHidden()); // enabling does not show it
    // In test mode the main window shows "1 Min", and the bottom end of the
    // slider reads as the one-minute alarm.
    SetUpPage(&CPropSheet::m_timers, true);
    Unlock(true);
    using Preset = std::tuple<int, uint16_t, int, const char*>; // button, hours, position, text
    for (const auto& [button, hours, position, text] :
         {Preset{Preset8, 8, 40, "8 hrs"}, Preset{Preset4, 4, 44, "4 hrs"},
          Preset{Preset3, 3, 45, "3 hrs"}, Preset{Preset24, 24, 24, "24 hrs"},
          Preset{OneMinute, 0, 48, "1 min"}}) {
        SCOPED_TRACE(text);
        ClearPending();
        Click(button);
        EXPECT_EQ(Slider(AlarmSlider)->value(), position);
        EXPECT_EQ(Text(AlarmText), text);
        EXPECT_EQ(g_settings.AlarmTimer, hours);
        EXPECT_EQ(Pending(), "T");
    }
    ClearPending();
    Slider(AlarmSlider)->triggerAction(QSlider::SliderPageStepSub); // a click on the groove
    EXPECT_EQ(g_settings.AlarmTimer, 4);
    EXPECT_EQ(Text(AlarmText), "4 hrs");
    EXPECT_EQ(Pending(), "T");
    Slider(AlarmSlider)->triggerAction(QSlider::SliderToMaximum); // the bottom end
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(Text(AlarmText), "1 min");
}

// A refresh ticks the boxes without running their handlers. A click writes the
// box's state and asks for the flags; only two boxes redraw the alarm images.
TEST_F(TimersPage, BoxesShowTheRecordWriteTheirFlagAndRedrawTheAlarmImages) {
    SetUpPage(&CPropSheet::m_timers, true);
    Unlock(true);
    KeyboardSettings record;
    record.EnableTimer = 0;
    record.EnableKeystroke = record.PowerOnWipe = 1;
    g_settings = record;
    m_page->ShowSettings(record);
    EXPECT_EQ(Pending(), "");
    QSignalSpy redrawn(m_page, &CTimers::alarmSwitchesChanged);
    using Field = uint8_t KeyboardSettings::*;
    for (const auto& [box, field, ticked, redraws] :
         {std::tuple<int, Field, bool, bool>{TimerBox, &KeyboardSettings::EnableTimer, false, true},
          {KeystrokeBox, &KeyboardSettings::EnableKeystroke, true, true},
          {CleanOnPowerUpBox, &KeyboardSettings::PowerOnWipe, true, false}}) {
        SCOPED_TRACE(box);
        EXPECT_EQ(Button(box)->isChecked(), ticked);
        ClearPending();
        redrawn.clear();
        Click(box);
        EXPECT_EQ(g_settings.*field, ticked ? 0 : 1);
        EXPECT_EQ(Pending(), "O");
        EXPECT_EQ(redrawn.size(), redraws ? 1 : 0);
    }
}

} // namespace
