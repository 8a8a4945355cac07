// The Threshold page: what a refresh shows, that showing and painting write
// nothing, and what a move by the technician writes and asks to be sent.

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
    void SetUp() override { SetUpPage(&CPropSheet::m_threshold, true); }
    void ExpectShown(const Setting& s, uint16_t value, const char* text) {
        EXPECT_EQ(g_settings.*s.field, value);
        EXPECT_EQ(Text(s.label), text);
    }
};

// A refresh puts each slider at the position nearest the record's value and
// its label shows the value itself; a paint changes neither the record nor
// the label and asks for nothing. A key moves the slider one position: only
// that field takes the value of the new position, and the report is asked for.
TEST_F(ThresholdPage, ShowingWritesNothingAndOnlyAMoveChangesItsOwnField) {
    // Setting, value shown, position and text shown, value and text after Up.
    using Row = std::tuple<Setting, uint16_t, int, const char*, uint16_t, const char*>;
    Unlock(true);
    for (const auto& [s, shown, position, text, moved, movedText] :
         {Row{kHigh, 1000, 0, "391", 1000, "391"}, Row{kHigh, 253, 1, "99", 255, "100"},
          Row{kLow, 248, 3, "97", 250, "98"}, Row{kLow, 0, 100, "0", 3, "1"},
          Row{kKeys, 1100, 65, "1100", 2000, "2000"}, Row{kKeys, 65535, 1, "65535", 65000, "65000"},
          Row{kInterval, 90, 0, "90 sec", 90, "90 sec"}, Row{kInterval, 7, 53, "7 sec", 8, "8 sec"},
          Row{kClean, 300, 0, "300 sec", 300, "300 sec"}, Row{kClean, 3, 252, "3 sec", 4, "4 sec"}}) {
        SCOPED_TRACE(testing::Message() << "slider " << s.slider << " shown " << shown);
        KeyboardSettings record;
        record.LowThreshold = 1;
        record.HighThreshold = 254;
        record.KeystrokeAlarmTrigger = 1100;
        record.*s.field = shown;
        g_settings = record;
        m_page->ShowSettings(record);
        EXPECT_EQ(Slider(s.slider)->value(), position);
        ClearPending();
        m_page->repaint();
        ExpectShown(s, shown, text);
        EXPECT_EQ(Pending(), "");

        m_page->EnableControls(true, 0x0705);
        Slider(s.slider)->setFocus();
        QTest::keyClick(Slider(s.slider), Qt::Key_Up);
        ExpectShown(s, moved, movedText);
        EXPECT_EQ(Pending(), moved != shown ? "T" : "");
        KeyboardSettings others = g_settings;
        others.*s.field = shown;
        EXPECT_EQ(others.Block(), record.Block()) << "another field changed";
    }

    // A hidden page shown again paints and writes nothing.
    m_page->hide();
    g_settings.LowThreshold = 200;
    m_page->ShowSettings(g_settings);
    m_page->show();
    QTest::qWait(20);
    EXPECT_EQ(g_settings.LowThreshold, 200);
}

} // namespace
