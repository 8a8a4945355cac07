// The Timers page: the alarm slider and its labels in and out of test mode,
// the presets, and the three switches with what they ask of the main window.

#include "settings/CTimers.h"
#include "test_pages_support.h"

#include <QCheckBox>

namespace {

enum { AlarmSlider = 1016, AlarmText = 1017, OneMinute = 1020, EnablesGroup = 1065 };
enum { Preset24 = 1012, Preset8 = 1018, Preset4 = 1019, Preset3 = 1021 };
enum { TimerBox = 1035, KeystrokeBox = 1036, CleanOnPowerUpBox = 1022 };

class TimersPage : public PageFixture<CTimers> {
protected:
    void SetUp() override { SetUpPage(false); }

    void Refresh(uint16_t hours) {
        KeyboardSettings record = g_settings;
        record.AlarmTimer = hours;
        m_page->ShowSettings(record);
    }
    // Which of the main window's three LED pictures is on show.
    int LedImage() const {
        const QImage shown = qobject_cast<QLabel*>(m_main->Control(1023))->pixmap().toImage();
        for (int i = 0; i < 3; ++i) {
            if (shown == m_main->m_hLedBitmap[i].toImage())
                return i;
        }
        return -1;
    }
};

// In test mode the main window shows the "1 Min" preset.
class TimersPageInTestMode : public TimersPage {
protected:
    void SetUp() override {
        SetUpPage(true);
        m_page->Control(OneMinute)->show();
    }
};

TEST_F(TimersPage, RefreshShowsTheAlarmTimeAndThePaintStoresThePosition) {
    struct Case {
        uint16_t shown;
        int position;
        const char* textBefore;
        uint16_t stored;
        const char* textAfter;
    };
    for (const Case& c : {Case{24, 24, "24 hrs", 24, "24 hrs"}, Case{1, 47, "1 hrs", 1, "1 hrs"},
                          Case{48, 0, "48 hrs", 48, "48 hrs"}, Case{50, 0, "50 hrs", 48, "48 hrs"},
                          // Outside test mode the bottom end means 0 hours.
                          Case{0, 48, "1 min", 0, "0 hrs"}}) {
        SCOPED_TRACE(c.shown);
        g_settings.AlarmTimer = c.shown;
        Refresh(c.shown);
        EXPECT_EQ(Slider(AlarmSlider)->value(), c.position);
        EXPECT_EQ(Text(AlarmText), c.textBefore);
        Slider(AlarmSlider)->repaint();
        EXPECT_EQ(g_settings.AlarmTimer, c.stored);
        EXPECT_EQ(Text(AlarmText), c.textAfter);
    }
}

TEST_F(TimersPage, SliderPositionsGiveHoursFromTheTop) {
    for (auto [position, hours] :
         {std::pair{0, 48}, std::pair{45, 3}, std::pair{40, 8}, std::pair{48, 0}}) {
        SCOPED_TRACE(position);
        MoveAndPaint(AlarmSlider, position);
        EXPECT_EQ(g_settings.AlarmTimer, hours);
        EXPECT_EQ(Text(AlarmText), QStringLiteral("%1 hrs").arg(hours));
    }
    EXPECT_EQ(Slider(AlarmSlider)->maximum(), 48);
    EXPECT_EQ(Slider(AlarmSlider)->tickInterval(), 4);
    EXPECT_EQ(Slider(AlarmSlider)->pageStep(), 4);
    EXPECT_EQ(Slider(AlarmSlider)->accessibleName(), "Alarm Timer");
}

TEST_F(TimersPageInTestMode, BottomEndIsTheOneMinuteAlarm) {
    g_settings.AlarmTimer = 0;
    Refresh(0);
    Slider(AlarmSlider)->repaint();
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_EQ(Text(AlarmText), "1 min");

    MoveAndPaint(AlarmSlider, 47);
    EXPECT_EQ(Text(AlarmText), "1 hrs");

    Unlock(true);
    m_page->EnableControls(true, 0x0705);
    MoveAndPaint(AlarmSlider, 0);
    Click(OneMinute);
    EXPECT_EQ(Slider(AlarmSlider)->value(), 48);
    EXPECT_EQ(Text(AlarmText), "1 min");
    EXPECT_EQ(g_settings.AlarmTimer, 0);
    EXPECT_TRUE(m_main->m_bThresholdsPending);
}

TEST_F(TimersPage, PaintRequestsTheReportOnlyWhileUnlocked) {
    MoveAndPaint(AlarmSlider, 10);
    EXPECT_EQ(g_settings.AlarmTimer, 38);
    EXPECT_FALSE(m_main->m_bThresholdsPending);
    Unlock(true);
    Slider(AlarmSlider)->repaint();
    EXPECT_TRUE(m_main->m_bThresholdsPending);
    EXPECT_FALSE(m_main->m_bOptionsPending);
}

TEST_F(TimersPage, PresetsMoveTheSliderAndAreOnlyClickableWhileUnlocked) {
    m_page->EnableControls(false, 0x0705);
    g_settings.AlarmTimer = 24;
    Refresh(24);
    Click(Preset8);
    EXPECT_EQ(g_settings.AlarmTimer, 24);
    EXPECT_EQ(Slider(AlarmSlider)->value(), 24);

    Unlock(true);
    m_page->EnableControls(true, 0x0705);
    EXPECT_TRUE(m_page->Control(OneMinute)->isHidden()); // enabling does not show it
    struct Case {
        int button;
        uint16_t hours;
        int position;
    };
    for (const Case& c : {Case{Preset8, 8, 40}, Case{Preset4, 4, 44}, Case{Preset3, 3, 45},
                          Case{Preset24, 24, 24}}) {
        SCOPED_TRACE(c.hours);
        ClearPending();
        Click(c.button);
        EXPECT_EQ(Slider(AlarmSlider)->value(), c.position);
        EXPECT_EQ(Text(AlarmText), QStringLiteral("%1 hrs").arg(c.hours));
        EXPECT_EQ(g_settings.AlarmTimer, c.hours);
        EXPECT_TRUE(m_main->m_bThresholdsPending);
        EXPECT_FALSE(m_main->m_bOptionsPending);
    }
}

TEST_F(TimersPage, SwitchesWriteTheirFlagAndRequestTheFlagsReport) {
    Unlock(true);
    m_page->EnableControls(true, 0x0705);
    m_page->ShowSettings(g_settings);
    QTest::qWait(10); // the newly enabled slider repaints
    struct Case {
        int box;
        uint8_t KeyboardSettings::*field;
    };
    for (const Case& c : {Case{TimerBox, &KeyboardSettings::EnableTimer},
                          Case{KeystrokeBox, &KeyboardSettings::EnableKeystroke},
                          Case{CleanOnPowerUpBox, &KeyboardSettings::PowerOnWipe}}) {
        SCOPED_TRACE(c.box);
        const uint8_t before = g_settings.*c.field;
        ClearPending();
        Click(c.box);
        EXPECT_EQ(g_settings.*c.field, before ? 0 : 1);
        EXPECT_TRUE(m_main->m_bOptionsPending);
        EXPECT_FALSE(m_main->m_bThresholdsPending);
        Click(c.box);
        EXPECT_EQ(g_settings.*c.field, before);
    }

    // Locked, the boxes cannot be clicked and nothing is requested.
    Unlock(false);
    m_page->EnableControls(false, 0x0705);
    ClearPending();
    const uint8_t timer = g_settings.EnableTimer;
    Click(TimerBox);
    EXPECT_EQ(g_settings.EnableTimer, timer);
    EXPECT_FALSE(m_main->m_bOptionsPending);
}

TEST_F(TimersPage, OnlyTimerAndKeystrokeRedrawTheAlarmImages) {
    Unlock(true);
    m_page->EnableControls(true, 0x0705);
    g_settings.LedEnableStatus = 1;
    g_settings.LedAlarmOn = 0;
    g_settings.EnableTimer = 1;
    g_settings.EnableKeystroke = 0;
    m_page->ShowSettings(g_settings);
    m_main->UpdateAlarmIndicators();
    const int armed = LedImage();
    EXPECT_EQ(armed, 0);

    // No alarm armed any more, but "Clean On Power Up" leaves the image alone.
    g_settings.EnableTimer = 0;
    Click(CleanOnPowerUpBox);
    EXPECT_EQ(LedImage(), armed);

    // "Timer" redraws it: with both alarms off the LED shows disabled.
    Click(TimerBox); // unticked
    EXPECT_EQ(LedImage(), 2);
    Click(KeystrokeBox); // the keystroke alarm is armed
    EXPECT_EQ(LedImage(), armed);
}

TEST_F(TimersPage, ShowSettingsSetsTheBoxesWithoutRequestingAnything) {
    Unlock(true);
    KeyboardSettings record;
    record.EnableTimer = 0;
    record.EnableKeystroke = 1;
    record.PowerOnWipe = 1;
    m_page->ShowSettings(record);
    EXPECT_FALSE(qobject_cast<QCheckBox*>(Button(TimerBox))->isChecked());
    EXPECT_TRUE(qobject_cast<QCheckBox*>(Button(KeystrokeBox))->isChecked());
    EXPECT_TRUE(qobject_cast<QCheckBox*>(Button(CleanOnPowerUpBox))->isChecked());
    EXPECT_FALSE(m_main->m_bOptionsPending);
    EXPECT_EQ(g_settings.EnableTimer, 1); // the record is not written from the boxes
    EXPECT_EQ(m_page->Title(), "Timers");
}

} // namespace
