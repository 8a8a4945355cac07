// The live status display: percentages, bar colours on screen, indicator
// pictures, number formats and sensor columns.

#include "test_app_harness.h"

#include "app/IndicatorImages.h"
#include "device/CHidDevice.h"
#include "settings/KeyboardSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QColor Green(64, 255, 64);
const QColor Blue(64, 64, 255);
const QColor Red(255, 64, 64);

QProgressBar* Bar(AppHarness& h, int id) {
    return static_cast<QProgressBar*>(h.Dlg().Control(id));
}

QColor BarColour(AppHarness& h, int id) {
    return Bar(h, id)->palette().color(QPalette::Highlight);
}

// The colour drawn near the bottom of a bar, where every non-empty bar is
// filled.
QColor DrawnColour(AppHarness& h, int id) {
    QProgressBar* bar = Bar(h, id);
    bar->repaint();
    const QImage image = bar->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() - 4);
}

bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

bool SameImage(const QLabel* label, const QPixmap& expected) {
    return label->pixmap().toImage() == expected.toImage();
}

struct Level {
    uint16_t raw;
    const char* number;
    int position;
    QColor colour;
};

} // namespace

TEST(SensorDisplay, PercentAndColourFollowTheRawLevelAgainstTheThresholds) {
    AppHarness h;
    h.Dlg().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.Dlg()));
    g_settings.LowThreshold = 100;
    g_settings.HighThreshold = 200;
    const Level levels[] = {
        {200, "78", 78, Blue},   {201, "79", 79, Red},       {100, "39", 39, Green},
        {101, "39", 39, Blue},   {255, "100", 100, Red},     {128, "50", 50, Blue},
        {50, "20", 20, Green},   {1, "0", 0, Green},         {0, "0", 0, Green},
        {1000, "391", 100, Red}, {65535, "25600", 100, Red},
    };
    for (const Level& l : levels) {
        g_settings.LeftLevel = l.raw;
        h.Dlg().RefreshLiveStatus();
        EXPECT_EQ(h.Text(1007), l.number) << l.raw;
        EXPECT_EQ(Bar(h, 1028)->value(), l.position) << l.raw;
        EXPECT_EQ(BarColour(h, 1028), l.colour) << l.raw;
        if (l.position > 5) {
            const QColor drawn = DrawnColour(h, 1028);
            EXPECT_TRUE(Near(drawn, l.colour)) << l.raw << " drawn " << qPrintable(drawn.name());
        }
    }
}

TEST(SensorDisplay, EachColumnShowsItsOwnLevel) {
    AppHarness h;
    g_settings.LeftLevel = 26;     // 10
    g_settings.RightLevel = 51;    // 20
    g_settings.PressureLevel = 77; // 30
    g_settings.Sensor4Level = 102; // 40
    g_settings.LowThreshold = 60;
    g_settings.HighThreshold = 90;
    h.Dlg().RefreshLiveStatus();
    EXPECT_EQ(h.Text(1007), "10");
    EXPECT_EQ(h.Text(1009), "20");
    EXPECT_EQ(h.Text(1013), "30");
    EXPECT_EQ(h.Text(1025), "40");
    EXPECT_EQ(BarColour(h, 1028), Green);
    EXPECT_EQ(BarColour(h, 1029), Green);
    EXPECT_EQ(BarColour(h, 1030), Blue);
    EXPECT_EQ(BarColour(h, 1031), Red);
}

TEST(SensorDisplay, LowAboveHighNeverShowsBlue) {
    AppHarness h;
    g_settings.LowThreshold = 200;
    g_settings.HighThreshold = 100;
    for (uint16_t raw : {50, 100, 150, 200, 201}) {
        g_settings.RightLevel = raw;
        h.Dlg().RefreshLiveStatus();
        EXPECT_EQ(BarColour(h, 1029), raw > 100 ? Red : Green) << raw;
    }
}

TEST(SensorDisplay, RecolouringKeepsPositionsAndNumbers) {
    AppHarness h;
    g_settings.LeftLevel = 150;
    g_settings.LowThreshold = 100;
    g_settings.HighThreshold = 200;
    h.Dlg().RefreshLiveStatus();
    ASSERT_EQ(BarColour(h, 1028), Blue);
    g_settings.HighThreshold = 120;
    g_settings.LeftLevel = 10; // not redrawn until the next refresh
    h.Dlg().RecolourSensorBars();
    EXPECT_EQ(BarColour(h, 1028), Green);
    EXPECT_EQ(h.Text(1007), "59");
    EXPECT_EQ(Bar(h, 1028)->value(), 59);
}

TEST(KeystrokeDisplay, RedOnlyAboveTheTriggerNeverBlue) {
    AppHarness h;
    g_settings.KeystrokeAlarmTrigger = 1100;
    g_settings.LowThreshold = 0;
    g_settings.HighThreshold = 65535;
    g_settings.KeystrokeCount = 1100;
    h.Dlg().RefreshLiveStatus();
    EXPECT_EQ(BarColour(h, 1042), Green);
    EXPECT_EQ(h.Text(1041), "1100");
    EXPECT_EQ(Bar(h, 1042)->value(), 1100);
    g_settings.KeystrokeCount = 1101;
    h.Dlg().RefreshLiveStatus();
    EXPECT_EQ(BarColour(h, 1042), Red);
    g_settings.KeystrokeCount = 65535;
    h.Dlg().RefreshLiveStatus();
    EXPECT_EQ(Bar(h, 1042)->value(), 65535);

    // Moving the trigger recolours at once.
    g_settings.KeystrokeAlarmTrigger = 65535;
    h.Dlg().KeystrokeTriggerChanged();
    EXPECT_EQ(BarColour(h, 1042), Green);
}

TEST(Display, DefaultsBeforeAnyReplyInSimulateMode) {
    AppHarness h({.testMode = true, .pluggedIn = false});
    static_cast<QCheckBox*>(h.Dlg().Control(1088))->setChecked(true);
    h.Tick(); // state 2 to 0
    h.Tick(); // simulated dispatch redraws from the record
    for (int id : {1007, 1009})
        EXPECT_EQ(h.Text(id), "391") << id;
    EXPECT_EQ(Bar(h, 1028)->value(), 100);
    EXPECT_EQ(BarColour(h, 1028), Green);
    EXPECT_EQ(h.Text(1041), "20000");
    EXPECT_EQ(BarColour(h, 1042), Red);
    EXPECT_EQ(h.Text(1082), "01234");
    EXPECT_EQ(h.Text(1101), "0x0000");
    EXPECT_TRUE(h.Ticked(1015));
    EXPECT_FALSE(h.Ticked(1021));
    EXPECT_FALSE(h.Ticked(1034));
}

TEST(Display, StatusLineShowsTheReportTextInTestMode) {
    AppHarness normal;
    ASSERT_TRUE(normal.Connect());
    ASSERT_TRUE(normal.StatusRound());
    EXPECT_EQ(normal.Text(1014), "Keyboard connected and active");
    normal.Destroy();

    AppHarness test({.testMode = true});
    ASSERT_TRUE(test.Connect());
    ASSERT_TRUE(test.StatusRound());
    const QString text = test.Text(1014);
    EXPECT_EQ(text.size(), 27);
    EXPECT_TRUE(text.startsWith("00 01 ")) << qPrintable(text);
    EXPECT_TRUE(text.endsWith(' '));
}

TEST(AlarmIndicators, PicturesFollowEnablesArmingAndAlarms) {
    AppHarness h;
    auto* led = static_cast<QLabel*>(h.Dlg().Control(1023));
    auto* beeper = static_cast<QLabel*>(h.Dlg().Control(1024));
    struct Case {
        uint8_t ledEnable, beeperEnable, timer, keystroke, ledOn, beeperOn;
        int ledImage, beeperImage;
    };
    const Case cases[] = {
        {1, 1, 1, 0, 0, 0, 0, 0}, {1, 1, 0, 1, 1, 1, 1, 1}, {1, 1, 0, 0, 1, 1, 2, 2},
        {0, 0, 1, 1, 1, 1, 2, 2}, {1, 0, 1, 1, 0, 1, 0, 2}, {0, 1, 1, 1, 1, 0, 2, 0},
    };
    for (const Case& c : cases) {
        g_settings.LedEnableStatus = c.ledEnable;
        g_settings.BeeperEnableStatus = c.beeperEnable;
        g_settings.EnableTimer = c.timer;
        g_settings.EnableKeystroke = c.keystroke;
        g_settings.LedAlarmOn = c.ledOn;
        g_settings.BeeperAlarmOn = c.beeperOn;
        h.Dlg().UpdateAlarmIndicators();
        EXPECT_TRUE(SameImage(led, h.Dlg().m_hLedBitmap[c.ledImage])) << c.ledImage;
        EXPECT_TRUE(SameImage(beeper, h.Dlg().m_hBeeperBitmap[c.beeperImage])) << c.beeperImage;
    }
}

TEST(AlarmIndicators, ProductWithoutBeeperAlwaysShowsTheDisabledBeeper) {
    AppHarness h({.productId = 0x0703});
    ASSERT_TRUE(h.WaitReading());
    g_settings.BeeperEnableStatus = 1;
    g_settings.BeeperAlarmOn = 1;
    g_settings.EnableTimer = 1;
    h.Dlg().UpdateAlarmIndicators();
    EXPECT_TRUE(SameImage(static_cast<QLabel*>(h.Dlg().Control(1024)), h.Dlg().m_hBeeperBitmap[2]));
}

TEST(AlarmIndicators, PicturesAreDrawnInTheirColours) {
    const QImage ledOff = indicator::LedImage(0).toImage();
    const QImage ledOn = indicator::LedImage(1).toImage();
    const QImage ledDisabled = indicator::LedImage(2).toImage();
    const QImage beeperOn = indicator::BeeperImage(1).toImage();
    const QImage beeperDisabled = indicator::BeeperImage(2).toImage();
    for (const QImage* image : {&ledOff, &ledOn, &ledDisabled, &beeperOn, &beeperDisabled})
        EXPECT_EQ(image->size(), QSize(32, 32));
    EXPECT_EQ(ledOff.pixelColor(0, 0), indicator::LightBlue);
    EXPECT_EQ(ledOff.pixelColor(16, 16), indicator::Black);
    EXPECT_EQ(ledOn.pixelColor(16, 16), indicator::Orange);
    EXPECT_EQ(ledDisabled.pixelColor(0, 0), indicator::LightGrey);
    EXPECT_EQ(ledDisabled.pixelColor(16, 16), indicator::DarkGrey);
    EXPECT_EQ(beeperOn.pixelColor(15, 16), indicator::Red);
    EXPECT_EQ(beeperDisabled.pixelColor(15, 16), indicator::DarkGrey);
    EXPECT_NE(indicator::BeeperImage(0).toImage(), beeperOn);
}

TEST(SensorColumns, RadioButtonsShowColumnsWithoutTouchingTheRecord) {
    AppHarness h({.testMode = true});
    h.Dlg().show();
    h.Click(1095); // "3"
    for (int id : {1007, 1055, 1028, 1009, 1056, 1029, 1013, 1057, 1030, 1041, 1075, 1042})
        EXPECT_TRUE(h.ShownIn(id)) << id;
    for (int id : {1025, 1058, 1031})
        EXPECT_FALSE(h.ShownIn(id)) << id;
    EXPECT_EQ(g_settings.NumberOfSensors, 2);
    EXPECT_FALSE(h.Dlg().m_bOptionsPending);

    h.Click(1092); // "0"
    for (int id : {1028, 1029, 1030, 1031})
        EXPECT_FALSE(h.ShownIn(id)) << id;
    EXPECT_TRUE(h.ShownIn(1042));

    h.Dlg().ShowSensorColumns(5); // out of range: nothing changes
    EXPECT_FALSE(h.ShownIn(1028));
    EXPECT_TRUE(h.ShownIn(1042));
}
