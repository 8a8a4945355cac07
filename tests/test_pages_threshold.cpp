// The Threshold page: what a refresh shows, what each slider position writes
// back into the record, and when a change is asked to be sent.

#include "pages/CDialogThreshold.h"
#include "test_pages_support.h"

#include <tuple>

namespace {

// A slider, the label showing its value, and the record's field it writes.
struct Setting {
    int slider, label;
    uint16_t KeyboardSettings::*field;
};
constexpr Setting kLow{1004, 1008, &KeyboardSettings::LowThreshold};
constexpr Setting kHigh{1005, 1026, &KeyboardSettings::HighThreshold};
constexpr Setting kInterval{1006, 1011, &KeyboardSettings::IntervalTimer};
constexpr Setting kKeys{1010, 1039, &KeyboardSettings::KeystrokeAlarmTrigger};
constexpr Setting kClean{1032, 1033, &KeyboardSettings::CleanTimer};

class ThresholdPage : public PageFixture<CDialogThreshold> {
protected:
    void SetUp() override { SetUpPage(false); }
    void ExpectShown(const Setting& s, uint16_t value, const char* text) {
        EXPECT_EQ(g_settings.*s.field, value);
        EXPECT_EQ(Text(s.label), text);
    }
};

// A refresh shows the record's value once; the next paint of the visible page
// writes back what the slider can hold and, unlocked, asks for the report.
TEST_F(ThresholdPage, RefreshRoundTripsThroughTheSliderPosition) {
    Unlock(true);
    // Setting, value shown, position and text shown, value and text after the
    // paint. High goes first: Low may then be set above it.
    using Row = std::tuple<Setting, uint16_t, int, const char*, uint16_t, const char*>;
    for (const auto& [s, shown, position, textBefore, stored, textAfter] :
         {Row{kHigh, 1000, 0, "391", 255, "100"}, Row{kHigh, 128, 50, "50", 128, "50"},
          Row{kHigh, 0, 100, "0", 0, "0"}, Row{kLow, 255, 0, "100", 255, "100"},
          Row{kLow, 200, 22, "78", 199, "78"}, Row{kLow, 0, 100, "0", 0, "0"},
          Row{kKeys, 65535, 1, "65535", 65000, "65000"}, Row{kKeys, 6000, 60, "6000", 6000, "6000"},
          Row{kKeys, 1100, 65, "1100", 1000, "1000"}, Row{kKeys, 0, 66, "0", 0, "0"},
          Row{kInterval, 90, 0, "90 sec", 60, "60 sec"}, Row{kInterval, 3, 57, "3 sec", 3, "3 sec"},
          Row{kInterval, 0, 60, "0 sec", 0, "0 sec"},
          Row{kClean, 300, 0, "300 sec", 255, "255 sec"},
          Row{kClean, 50, 205, "50 sec", 50, "50 sec"}, Row{kClean, 0, 255, "0 sec", 0, "0 sec"}}) {
        SCOPED_TRACE(testing::Message() << "slider " << s.slider << " shown " << shown);
        KeyboardSettings record;
        record.*s.field = g_settings.*s.field = shown;
        m_page->ShowSettings(record);
        EXPECT_EQ(Slider(s.slider)->value(), position);
        ExpectShown(s, shown, textBefore);
        ClearPending();
        Slider(s.slider)->repaint();
        ExpectShown(s, stored, textAfter);
        EXPECT_EQ(Pending(), "T");
    }

    // Locked, a paint writes all the same but asks for nothing. Key Limit's
    // top position would be 66000; it stays at 65000.
    Unlock(false);
    ClearPending();
    Slider(kKeys.slider)->setValue(0);
    Slider(kKeys.slider)->repaint();
    ExpectShown(kKeys, 65000, "65000");
    EXPECT_EQ(Pending(), "");

    // A hidden page does not paint and so writes nothing until shown again.
    m_page->hide();
    g_settings.LowThreshold = 200;
    m_page->ShowSettings(g_settings);
    QTest::qWait(20);
    EXPECT_EQ(g_settings.LowThreshold, 200);
    m_page->show();
    EXPECT_TRUE(QTest::qWaitFor([] { return g_settings.LowThreshold == 199; }));
}

} // namespace
