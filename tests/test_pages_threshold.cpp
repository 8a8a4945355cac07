// The Threshold page: what each slider position writes into the record, what
// a refresh shows, and when a change is asked to be sent.

#include "settings/CDialogThreshold.h"
#include "test_pages_support.h"

namespace {

enum { Low = 1004, High = 1005, Interval = 1006, KeyLimit = 1010, Clean = 1032 };
enum {
    LowText = 1008,
    HighText = 1026,
    IntervalText = 1011,
    KeyLimitText = 1039,
    CleanText = 1033
};

class ThresholdPage : public PageFixture<CDialogThreshold> {
protected:
    void SetUp() override { SetUpPage(false); }
};

TEST_F(ThresholdPage, EachSliderPositionWritesItsValueAndLabel) {
    struct Case {
        int slider, position, label;
        uint16_t KeyboardSettings::*field;
        uint16_t value;
        const char* text;
    };
    const Case cases[] = {
        {Low, 0, LowText, &KeyboardSettings::LowThreshold, 255, "100"},
        {Low, 50, LowText, &KeyboardSettings::LowThreshold, 128, "50"},
        {Low, 100, LowText, &KeyboardSettings::LowThreshold, 0, "0"},
        {High, 0, HighText, &KeyboardSettings::HighThreshold, 255, "100"},
        {High, 22, HighText, &KeyboardSettings::HighThreshold, 199, "78"},
        {High, 100, HighText, &KeyboardSettings::HighThreshold, 0, "0"},
        {KeyLimit, 0, KeyLimitText, &KeyboardSettings::KeystrokeAlarmTrigger, 65000, "65000"},
        {KeyLimit, 1, KeyLimitText, &KeyboardSettings::KeystrokeAlarmTrigger, 65000, "65000"},
        {KeyLimit, 30, KeyLimitText, &KeyboardSettings::KeystrokeAlarmTrigger, 36000, "36000"},
        {KeyLimit, 66, KeyLimitText, &KeyboardSettings::KeystrokeAlarmTrigger, 0, "0"},
        {Interval, 0, IntervalText, &KeyboardSettings::IntervalTimer, 60, "60 sec"},
        {Interval, 57, IntervalText, &KeyboardSettings::IntervalTimer, 3, "3 sec"},
        {Interval, 60, IntervalText, &KeyboardSettings::IntervalTimer, 0, "0 sec"},
        {Clean, 0, CleanText, &KeyboardSettings::CleanTimer, 255, "255 sec"},
        {Clean, 205, CleanText, &KeyboardSettings::CleanTimer, 50, "50 sec"},
        {Clean, 255, CleanText, &KeyboardSettings::CleanTimer, 0, "0 sec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "slider " << c.slider << " at " << c.position);
        g_settings.*c.field = 12345;
        MoveAndPaint(c.slider, c.position);
        EXPECT_EQ(g_settings.*c.field, c.value);
        EXPECT_EQ(Text(c.label), c.text);
    }
}

TEST_F(ThresholdPage, RefreshShowsTheRecordAndThePaintWritesBackWhatTheSliderCanHold) {
    struct Case {
        uint16_t KeyboardSettings::*field;
        int slider, label;
        uint16_t shown;
        int position;
        const char* textBefore;
        uint16_t stored;
        const char* textAfter;
    };
    const Case cases[] = {
        // A threshold goes through whole percent: 200 comes back as 199.
        {&KeyboardSettings::LowThreshold, Low, LowText, 200, 22, "78", 199, "78"},
        {&KeyboardSettings::LowThreshold, Low, LowText, 128, 50, "50", 128, "50"},
        {&KeyboardSettings::LowThreshold, Low, LowText, 0, 100, "0", 0, "0"},
        {&KeyboardSettings::LowThreshold, Low, LowText, 255, 0, "100", 255, "100"},
        // The record's default before the keyboard has been read.
        {&KeyboardSettings::HighThreshold, High, HighText, 1000, 0, "391", 255, "100"},
        {&KeyboardSettings::KeystrokeAlarmTrigger, KeyLimit, KeyLimitText, 1100, 65, "1100", 1000,
         "1000"},
        {&KeyboardSettings::KeystrokeAlarmTrigger, KeyLimit, KeyLimitText, 65535, 1, "65535", 65000,
         "65000"},
        {&KeyboardSettings::IntervalTimer, Interval, IntervalText, 90, 0, "90 sec", 60, "60 sec"},
        {&KeyboardSettings::IntervalTimer, Interval, IntervalText, 60, 0, "60 sec", 60, "60 sec"},
        {&KeyboardSettings::CleanTimer, Clean, CleanText, 300, 0, "300 sec", 255, "255 sec"},
        {&KeyboardSettings::CleanTimer, Clean, CleanText, 7, 248, "7 sec", 7, "7 sec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "slider " << c.slider << " shown " << c.shown);
        KeyboardSettings record;
        record.*c.field = c.shown;
        g_settings.*c.field = c.shown;
        m_page->ShowSettings(record);
        EXPECT_EQ(Slider(c.slider)->value(), c.position);
        EXPECT_EQ(Text(c.label), c.textBefore);
        Slider(c.slider)->repaint();
        EXPECT_EQ(g_settings.*c.field, c.stored);
        EXPECT_EQ(Text(c.label), c.textAfter);
    }
}

TEST_F(ThresholdPage, HiddenPageWritesNothing) {
    m_page->hide();
    KeyboardSettings record;
    record.LowThreshold = 200;
    record.IntervalTimer = 90;
    g_settings = record;
    m_page->ShowSettings(record);
    QTest::qWait(20);
    EXPECT_EQ(g_settings.LowThreshold, 200);
    EXPECT_EQ(g_settings.IntervalTimer, 90);
    EXPECT_EQ(Slider(Low)->value(), 22); // positioned all the same
    // Shown again, it paints and the record follows the sliders.
    m_page->show();
    EXPECT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 199; }));
    EXPECT_EQ(g_settings.IntervalTimer, 60);
}

TEST_F(ThresholdPage, RepaintRequestsTheReportOnlyWhileUnlocked) {
    Unlock(false);
    MoveAndPaint(Clean, 55);
    EXPECT_EQ(g_settings.CleanTimer, 200); // written even while locked
    EXPECT_FALSE(m_main->m_bThresholdsPending);

    Unlock(true);
    for (int slider : {Low, High, Interval, KeyLimit, Clean}) {
        SCOPED_TRACE(slider);
        ClearPending();
        Slider(slider)->repaint(); // a repaint alone, no move
        EXPECT_TRUE(m_main->m_bThresholdsPending);
        EXPECT_FALSE(m_main->m_bOptionsPending);
    }
}

TEST_F(ThresholdPage, LowMayBeSetAboveHigh) {
    MoveAndPaint(High, 80);
    MoveAndPaint(Low, 10);
    EXPECT_EQ(g_settings.HighThreshold, 51);
    EXPECT_EQ(g_settings.LowThreshold, 230);
    EXPECT_EQ(Slider(High)->value(), 80);
}

TEST_F(ThresholdPage, SlidersAreOrdinaryVerticalSlidersWithTheirRangesAndNames) {
    struct Expect {
        int slider, maximum, tick;
        const char* name;
    };
    for (const Expect& e :
         {Expect{Low, 100, 5, "Low"}, Expect{High, 100, 5, "High"},
          Expect{Interval, 60, 5, "Interval"}, Expect{KeyLimit, 66, 6, "Key Limit"},
          Expect{Clean, 255, 15, "Clean"}}) {
        SCOPED_TRACE(e.name);
        QSlider* s = Slider(e.slider);
        EXPECT_EQ(s->orientation(), Qt::Vertical);
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), e.maximum);
        EXPECT_EQ(s->tickInterval(), e.tick);
        EXPECT_EQ(s->accessibleName(), e.name);
    }
    EXPECT_EQ(m_page->Title(), "Threshold");
    // Value labels keep their value as their name and say what they are.
    EXPECT_FALSE(m_page->Control(LowText)->accessibleDescription().isEmpty());
}

TEST_F(ThresholdPage, EnableControlsSwitchesOnlyTheSliders) {
    m_page->EnableControls(false, 0x0705);
    for (int id : {Low, High, Interval, KeyLimit, Clean})
        EXPECT_FALSE(Slider(id)->isEnabled()) << id;
    EXPECT_TRUE(m_page->Control(LowText)->isEnabled());
    m_page->EnableControls(true, 0x0703);
    for (int id : {Low, High, Interval, KeyLimit, Clean})
        EXPECT_TRUE(Slider(id)->isEnabled()) << id;
}

// Keys move the thumb the way it is drawn: Up towards position 0 at the top,
// where the largest value is; the record follows through the slider's paint.
TEST_F(ThresholdPage, KeyboardStepsMoveTowardsTheTopAndReachTheRecord) {
    MoveAndPaint(Interval, 57);
    QTest::keyClick(Slider(Interval), Qt::Key_Down);
    EXPECT_EQ(Slider(Interval)->value(), 58);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_settings.IntervalTimer == 2; }));
    EXPECT_EQ(Text(IntervalText), "2 sec");
    QTest::keyClick(Slider(Interval), Qt::Key_Up);
    QTest::keyClick(Slider(Interval), Qt::Key_Up);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_settings.IntervalTimer == 4; }));
}

} // namespace
