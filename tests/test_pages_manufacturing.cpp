// The Manufacturing page: the ID number text, the enabling rules for the
// product without a beeper and the others, host mode, the interface choice,
// refreshes, and the message log switch.

#include "pages/CManufacturing.h"
#include "test_pages_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace {

enum {
    IdEdit = 1077,
    SetId = 1081,
    HostEnable = 1085,
    HostLed = 1086,
    HostBeeper = 1087,
    MessageLog = 1027,
    Left = 1051,
    Right = 1052,
    Pressure = 1053,
    Sensor4 = 1054,
    Backlight = 1098,
    ConfigSwitch = 1099,
    AutoSense = 1100,
    Usb = 1104,
    Ps2 = 1105,
    ReEnumerate = 1106,
};
constexpr int kAllControls[] = {IdEdit,    SetId, HostEnable, HostLed,    HostBeeper, MessageLog,
                                Left,      Right, Pressure,   Sensor4,    Backlight,  ConfigSwitch,
                                AutoSense, Usb,   Ps2,        ReEnumerate};

class ManufacturingPage : public PageFixture<CManufacturing> {
protected:
    void SetUp() override { SetUpPage(true); }
    void TearDown() override {
        m_main->EnableMessageLog(false);
        PageFixture::TearDown();
    }

    bool Enabled(int id) const { return m_page->Control(id)->isEnabled(); }
    bool Ticked(int id) const { return Button(id)->isChecked(); }
    void UnlockFor(uint16_t productId) {
        Unlock(true);
        m_page->EnableControls(true, productId);
    }
    void SetIdText(const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(m_page->Control(IdEdit));
        edit->clear();
        QTest::keyClicks(edit, text);
    }
};

TEST_F(ManufacturingPage, IdNumberTextIsReadLikeStrtoulAndCutTo16Bits) {
    UnlockFor(0x0705);
    struct Case {
        const char* text;
        uint16_t stored;
    };
    const Case cases[] = {
        {"", 0},
        {"12ab", 12},
        {"65535", 65535},
        {"65536", 0},
        {"70000", 4464},
        {"-1", 65535},
        {"  42", 42},
        {"+7", 7},
        {"abc", 0},
        {"-65536", 0},
        {"0x10", 0},
        {"00077", 77},
        // Too large for 32 bits: the largest value, whatever the sign.
        {"4294967296", 65535},
        {"99999999999", 65535},
        {"-99999999999", 65535},
        {"4294967295", 65535},
        {"4294901760", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        g_settings.IdNumber = 1234;
        ClearPending();
        SetIdText(QString::fromUtf8(c.text));
        Click(SetId);
        EXPECT_EQ(g_settings.IdNumber, c.stored);
        EXPECT_TRUE(m_main->m_bIdNumberPending);
        EXPECT_FALSE(m_main->m_bOptionsPending);
        // The box keeps what was typed.
        EXPECT_EQ(qobject_cast<QLineEdit*>(m_page->Control(IdEdit))->text(), c.text);
    }
}

TEST_F(ManufacturingPage, LockedBeforeTheFirstRefreshEverythingIsDisabledAndUnticked) {
    m_page->EnableControls(false, 0);
    for (int id : kAllControls) {
        EXPECT_FALSE(Enabled(id)) << id;
        if (id != IdEdit && id != SetId) {
            EXPECT_FALSE(Ticked(id)) << id;
        }
    }
}

TEST_F(ManufacturingPage, ProductWithoutBeeperKeepsItsMissingSwitchesDisabled) {
    KeyboardSettings record;
    record.HostModeEnable = 1;
    record.DisableAutoSense = 1;
    m_page->ShowSettings(record);
    UnlockFor(0x0703);
    for (int id : {ConfigSwitch, Backlight, AutoSense, ReEnumerate, Usb, Ps2})
        EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {Left, Right, Pressure, Sensor4, HostEnable, HostLed, HostBeeper, IdEdit, SetId,
                   MessageLog})
        EXPECT_TRUE(Enabled(id)) << id;

    // Locking disables everything, whatever the product.
    m_page->EnableControls(false, 0x0705);
    for (int id : kAllControls)
        EXPECT_FALSE(Enabled(id)) << id;
}

TEST_F(ManufacturingPage, InterfaceButtonsFollowDisableAutoSense) {
    UnlockFor(0x0705);
    for (int id : {ConfigSwitch, Backlight, AutoSense, ReEnumerate})
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(Usb));
    EXPECT_FALSE(Enabled(Ps2));
    EXPECT_FALSE(Enabled(HostLed)); // host mode is off

    Click(AutoSense);
    EXPECT_EQ(g_settings.DisableAutoSense, 1);
    EXPECT_TRUE(m_main->m_bOptionsPending);
    ASSERT_TRUE(Enabled(Usb));
    ASSERT_TRUE(Enabled(Ps2));

    Click(Ps2);
    EXPECT_EQ(g_settings.Ps2Keyboard, 1);
    EXPECT_FALSE(Ticked(Usb));
    Click(Usb);
    EXPECT_EQ(g_settings.Ps2Keyboard, 0);
    Click(Ps2);

    // Unticking locks the choice but keeps it in the record.
    ClearPending();
    Click(AutoSense);
    EXPECT_EQ(g_settings.DisableAutoSense, 0);
    EXPECT_EQ(g_settings.Ps2Keyboard, 1);
    EXPECT_TRUE(m_main->m_bOptionsPending);
    EXPECT_FALSE(Enabled(Usb));
    EXPECT_FALSE(Enabled(Ps2));

    // A refresh shows the same choice.
    m_page->ShowSettings(g_settings);
    EXPECT_TRUE(Ticked(Ps2));
    EXPECT_FALSE(Ticked(Usb));
}

TEST_F(ManufacturingPage, HostModeKeepsLedAndBeeperWhenSwitchedOff) {
    UnlockFor(0x0705);
    g_settings.HostLedOn = 0;
    g_settings.HostBeeperOn = 1;

    Click(HostEnable);
    EXPECT_EQ(g_settings.HostModeEnable, 1);
    // Switching on takes LED and beeper from their (unticked) boxes.
    EXPECT_EQ(g_settings.HostLedOn, 0);
    EXPECT_EQ(g_settings.HostBeeperOn, 0);
    ASSERT_TRUE(Enabled(HostLed));
    ASSERT_TRUE(Enabled(HostBeeper));

    Click(HostLed);
    Click(HostBeeper);
    EXPECT_EQ(g_settings.HostLedOn, 1);
    EXPECT_EQ(g_settings.HostBeeperOn, 1);

    ClearPending();
    Click(HostEnable);
    EXPECT_EQ(g_settings.HostModeEnable, 0);
    EXPECT_EQ(g_settings.HostLedOn, 1);
    EXPECT_EQ(g_settings.HostBeeperOn, 1);
    EXPECT_TRUE(m_main->m_bOptionsPending);
    EXPECT_FALSE(Enabled(HostLed));
    EXPECT_FALSE(Enabled(HostBeeper));
}

// A refresh can untick "Enable" while "LED On" stays enabled; clicking it
// then changes nothing and asks for nothing.
TEST_F(ManufacturingPage, LedAndBeeperDoNothingWhileHostModeIsOff) {
    KeyboardSettings record;
    record.HostModeEnable = 1;
    m_page->ShowSettings(record);
    UnlockFor(0x0705);
    record.HostModeEnable = 0;
    m_page->ShowSettings(record);
    ASSERT_TRUE(Enabled(HostLed));

    g_settings.HostLedOn = 0;
    g_settings.HostBeeperOn = 0;
    ClearPending();
    Click(HostLed);
    Click(HostBeeper);
    EXPECT_EQ(g_settings.HostLedOn, 0);
    EXPECT_EQ(g_settings.HostBeeperOn, 0);
    EXPECT_FALSE(m_main->m_bOptionsPending);
}

TEST_F(ManufacturingPage, FlagBoxesWriteTheirFieldsAndRequestTheFlagsReport) {
    UnlockFor(0x0705);
    struct Case {
        int box;
        uint8_t KeyboardSettings::*field;
    };
    for (const Case& c : {Case{Left, &KeyboardSettings::DisableSensorLeft},
                          Case{Right, &KeyboardSettings::DisableSensorReft},
                          Case{Pressure, &KeyboardSettings::DisableSensorPressure},
                          Case{Sensor4, &KeyboardSettings::DisableSensor4},
                          Case{Backlight, &KeyboardSettings::DisableBacklight},
                          Case{ConfigSwitch, &KeyboardSettings::DisableConfig},
                          Case{ReEnumerate, &KeyboardSettings::EnableReEnumeration}}) {
        SCOPED_TRACE(c.box);
        const KeyboardSettings before = g_settings;
        ClearPending();
        Click(c.box);
        EXPECT_EQ(g_settings.*c.field, 1);
        EXPECT_TRUE(m_main->m_bOptionsPending);
        EXPECT_FALSE(m_main->m_bIdNumberPending);
        // Nothing else in the record moved.
        KeyboardSettings expected = before;
        expected.*c.field = 1;
        EXPECT_TRUE(g_settings.Block() == expected.Block());
        Click(c.box);
        EXPECT_EQ(g_settings.*c.field, 0);
    }

    // While locked the mark is not set, though nothing can be clicked anyway.
    Unlock(false);
    m_page->EnableControls(false, 0x0705);
    ClearPending();
    Click(Left);
    EXPECT_EQ(g_settings.DisableSensorLeft, 0);
    EXPECT_FALSE(m_main->m_bOptionsPending);
}

TEST_F(ManufacturingPage, ShowSettingsSetsEveryBoxAndChangesNothingElse) {
    KeyboardSettings record;
    record.DisableSensorLeft = 1;
    record.DisableSensor4 = 1;
    record.EnableReEnumeration = 1;
    record.DisableConfig = 1;
    record.HostModeEnable = 1;
    record.HostBeeperOn = 1;
    record.DisableAutoSense = 1;
    record.Ps2Keyboard = 1;
    SetIdText("321");
    m_page->EnableControls(false, 0x0705);
    Unlock(true);
    m_page->ShowSettings(record);

    for (auto [id, ticked] :
         {std::pair{Left, true}, std::pair{Right, false}, std::pair{Pressure, false},
          std::pair{Sensor4, true}, std::pair{ReEnumerate, true}, std::pair{Backlight, false},
          std::pair{ConfigSwitch, true}, std::pair{AutoSense, true}, std::pair{HostEnable, true},
          std::pair{HostLed, false}, std::pair{HostBeeper, true}, std::pair{Ps2, true},
          std::pair{Usb, false}, std::pair{MessageLog, false}})
        EXPECT_EQ(Ticked(id), ticked) << id;
    EXPECT_EQ(qobject_cast<QLineEdit*>(m_page->Control(IdEdit))->text(), "321");
    EXPECT_FALSE(m_main->m_bOptionsPending);
    EXPECT_FALSE(m_main->m_bIdNumberPending);
    // Enabled states wait for the next EnableControls.
    for (int id : kAllControls)
        EXPECT_FALSE(Enabled(id)) << id;
    m_page->EnableControls(true, 0x0705);
    for (int id : {HostLed, HostBeeper, Usb, Ps2})
        EXPECT_TRUE(Enabled(id)) << id;

    record.Ps2Keyboard = 0;
    m_page->ShowSettings(record);
    EXPECT_TRUE(Ticked(Usb));
    EXPECT_FALSE(Ticked(Ps2));
}

TEST_F(ManufacturingPage, MessageLogSwitchOpensTheLogOrUnticksItself) {
    UnlockFor(0x0705);
    Click(MessageLog);
    EXPECT_TRUE(Ticked(MessageLog));
    EXPECT_NE(g_messageLog, nullptr);
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("debug.txt")));
    EXPECT_FALSE(m_main->m_bOptionsPending);
    Click(MessageLog);
    EXPECT_FALSE(Ticked(MessageLog));
    EXPECT_EQ(g_messageLog, nullptr);

    // The program directory cannot take the file: the box does not stay ticked.
    m_main->m_strDir = m_dir.filePath("missing") + "/";
    Click(MessageLog);
    EXPECT_FALSE(Ticked(MessageLog));
    EXPECT_EQ(g_messageLog, nullptr);
}

} // namespace
