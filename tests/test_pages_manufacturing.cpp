// The Manufacturing page: the ID number text, what is enabled for which
// product, the interface choice and what each box shows and writes. (Host
// mode in the window: PagesAgainstKeyboard; the message log box: MessageLog.)

#include "pages/CManufacturing.h"
#include "test_pages_support.h"

#include <QLineEdit>

#include <tuple>
#include <utility>

namespace {

constexpr int IdEdit = 1077, SetId = 1081, HostEnable = 1085, HostLed = 1086, HostBeeper = 1087,
              MessageLog = 1027, Left = 1051, Right = 1052, Pressure = 1053, Sensor4 = 1054,
              Backlight = 1098, ConfigSwitch = 1099, AutoSense = 1100, Usb = 1104, Ps2 = 1105,
              ReEnumerate = 1106;

class ManufacturingPage : public PageFixture<CManufacturing> {
protected:
    void SetUp() override {
        SetUpPage(&CPropSheet::m_manufacturing, true);
        Unlock(true);
        m_page->EnableControls(true, 0x0705);
    }
    bool Enabled(int id) const { return m_page->Control(id)->isEnabled(); }
    bool Ticked(int id) const { return Button(id)->isChecked(); }
};

TEST_F(ManufacturingPage, IdNumberTextIsReadLikeStrtoulAndCutTo16Bits) {
    for (auto [text, stored] :
         {std::tuple{"12ab", 12}, std::tuple{"", 0}, std::tuple{"65536", 0},
          std::tuple{"70000", 4464}, std::tuple{"-1", 65535}, std::tuple{"-99999999999", 65535}}) {
        SCOPED_TRACE(text);
        ClearPending();
        qobject_cast<QLineEdit*>(m_page->Control(IdEdit))->setText(text);
        Click(SetId);
        EXPECT_EQ(g_settings.IdNumber, stored);
        EXPECT_EQ(Pending(), "I");
    }
}

// With host mode and "Disable AutoSense" ticked only the lock and the product
// decide: the product without a beeper lacks four switches and the interface.
TEST_F(ManufacturingPage, EnablingFollowsTheLockAndTheProduct) {
    KeyboardSettings record;
    record.HostModeEnable = record.DisableAutoSense = 1;
    m_page->ShowSettings(record);
    for (auto [unlocked, product] : {std::pair{false, 0}, std::pair{true, 0x0703},
                                     std::pair{false, 0x0703}, std::pair{true, 0x0705}}) {
        SCOPED_TRACE(testing::Message() << "product " << product << " unlocked " << unlocked);
        m_page->EnableControls(unlocked, static_cast<uint16_t>(product));
        for (int id : {IdEdit, SetId, HostEnable, HostLed, HostBeeper, MessageLog, Left, Right,
                       Pressure, Sensor4})
            EXPECT_EQ(Enabled(id), unlocked) << id;
        for (int id : {Backlight, ConfigSwitch, AutoSense, ReEnumerate, Usb, Ps2})
            EXPECT_EQ(Enabled(id), unlocked && product != 0x0703) << id;
    }
}

TEST_F(ManufacturingPage, InterfaceButtonsFollowDisableAutoSense) {
    EXPECT_FALSE(Enabled(Usb) || Enabled(HostLed) || Enabled(HostBeeper)); // the two switches off
    Click(AutoSense);
    ASSERT_TRUE(Enabled(Usb) && Enabled(Ps2));
    Click(Ps2);
    EXPECT_EQ(g_settings.Ps2Keyboard, 1);
    Click(Usb);
    EXPECT_EQ(g_settings.Ps2Keyboard, 0);
    Click(Ps2);
    ClearPending();
    Click(AutoSense); // unticked: the choice is locked but kept
    EXPECT_EQ(g_settings.Ps2Keyboard, 1);
    EXPECT_EQ(Pending(), "O");
    EXPECT_FALSE(Enabled(Usb) || Enabled(Ps2));
    g_settings.Ps2Keyboard = 0; // a refresh shows either choice
    m_page->ShowSettings(g_settings);
    EXPECT_TRUE(Ticked(Usb) && !Ticked(Ps2));
}

// A refresh ticks each box from its own field without running a handler; a
// click writes that field alone and asks for the flags report.
TEST_F(ManufacturingPage, EachBoxShowsAndWritesItsOwnField) {
    using S = KeyboardSettings;
    const std::pair<int, uint8_t DeviceStatus::*> boxes[] = {
        {Left, &S::DisableSensorLeft},          {Right, &S::DisableSensorReft},
        {Pressure, &S::DisableSensorPressure},  {Sensor4, &S::DisableSensor4},
        {Backlight, &S::DisableBacklight},      {ConfigSwitch, &S::DisableConfig},
        {ReEnumerate, &S::EnableReEnumeration}, {AutoSense, &S::DisableAutoSense},
        {HostEnable, &S::HostModeEnable}};
    for (auto [box, field] : boxes) {
        SCOPED_TRACE(box);
        KeyboardSettings record;
        record.*field = 1;
        g_settings = record;
        ClearPending();
        m_page->ShowSettings(record);
        EXPECT_TRUE(Ticked(box));
        EXPECT_EQ(Pending(), "");
        Click(box);
        EXPECT_TRUE(g_settings.Block() == KeyboardSettings{}.Block());
        EXPECT_EQ(Pending(), "O");
    }
}

} // namespace
