// The pieces around the built-in keyboard: the state as text, the choice of
// bus from the environment, and the uhid front's report-ID adaptation.

#include "emulator/BusSelection.h"
#include "emulator/EmulatorBus.h"
#include "emulator/StatusText.h"
#ifdef __linux__
#include "emulator/uhid/UhidKeyboard.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Every field a different value, none equal to its default.
DeviceStatus Distinct() {
    DeviceStatus s;
    uint16_t wide = 300;
    for (uint16_t* f :
         {&s.LowThreshold, &s.HighThreshold, &s.LeftLevel, &s.RightLevel, &s.PressureLevel,
          &s.Sensor4Level, &s.IntervalTimer, &s.AlarmTimer, &s.CleanTimer, &s.KeystrokeAlarmTrigger,
          &s.KeystrokeCount, &s.IdNumber, &s.NumberOfSensors})
        *f = wide += 1001;
    for (uint8_t* f : {&s.CleanActive,       &s.EnableTimer,
                       &s.EnableKeystroke,   &s.LedEnableStatus,
                       &s.LedAlarmOn,        &s.BeeperEnableStatus,
                       &s.BeeperAlarmOn,     &s.PowerOnWipe,
                       &s.HostModeEnable,    &s.HostLedOn,
                       &s.HostBeeperOn,      &s.DisableSensorLeft,
                       &s.DisableSensorReft, &s.DisableSensorPressure,
                       &s.DisableSensor4,    &s.DisableConfig,
                       &s.DisableBacklight,  &s.DisableAutoSense,
                       &s.Ps2Keyboard,       &s.EnableReEnumeration})
        *f = static_cast<uint8_t>(*f + 2);
    return s;
}

} // namespace

TEST(StatusText, CarriesEveryFieldBothWays) {
    const DeviceStatus s = Distinct();
    const std::string text = FormatStatus(s);
    EXPECT_EQ(text.rfind("LowThreshold=1301 HighThreshold=2302 ", 0), 0u) << text;
    DeviceStatus back;
    ASSERT_TRUE(ParseStatus(text, back));
    EXPECT_EQ(back, s);
    EXPECT_EQ(StatusDifferences(back, s), "");

    DeviceStatus partial = s;
    ASSERT_TRUE(ParseStatus("IdNumber=0x10 Ps2Keyboard=0", partial));
    EXPECT_EQ(StatusDifferences(s, partial), "IdNumber: 12312 -> 16; Ps2Keyboard: 2 -> 0");
}

TEST(StatusText, RefusesWhatDoesNotFit) {
    DeviceStatus s;
    for (const char* bad : {"Nope=1", "IdNumber", "IdNumber=", "IdNumber=65536", "CleanActive=256",
                            "IdNumber=-1", "IdNumber=12x", "=5"})
        EXPECT_FALSE(ParseStatus(bad, s)) << bad;
    EXPECT_TRUE(ParseStatus("IdNumber=65535 CleanActive=255", s));
    EXPECT_EQ(s.IdNumber, 65535);
    EXPECT_TRUE(ParseStatus("", s));
}

TEST(BusSelection, EmulatorOnlyWhenAskedFor) {
    EXPECT_FALSE(EmulatorOptionsFrom(nullptr, "0x0703"));
    EXPECT_FALSE(EmulatorOptionsFrom("", nullptr));
    EXPECT_FALSE(EmulatorOptionsFrom("Emulator", nullptr));
    EXPECT_FALSE(EmulatorOptionsFrom("hidapi", nullptr));

    const uint16_t standard = EmulatorBus::Options{}.productId;
    EXPECT_EQ(EmulatorOptionsFrom("emulator", nullptr)->productId, standard);
    EXPECT_EQ(EmulatorOptionsFrom("emulator", "0x0703")->productId, 0x0703);
    EXPECT_EQ(EmulatorOptionsFrom("emulator", "1904")->productId, 1904);
    for (const char* bad : {"", "junk", "0x10000", "-1", "0x07zz"})
        EXPECT_EQ(EmulatorOptionsFrom("emulator", bad)->productId, standard) << bad;
}

TEST(BusSelection, EnvironmentPicksTheBus) {
    setenv("KBCONFIG_DEVICE", "emulator", 1);
    setenv("KBCONFIG_EMULATOR_PRODUCT", "0x0703", 1);
    auto bus = CreateBusFromEnvironment();
    ASSERT_NE(dynamic_cast<EmulatorBus*>(bus.get()), nullptr);
    ASSERT_FALSE(bus->enumerate().empty());
    EXPECT_EQ(bus->enumerate().back().productId, 0x0703);

    unsetenv("KBCONFIG_DEVICE");
    unsetenv("KBCONFIG_EMULATOR_PRODUCT");
    bus = CreateBusFromEnvironment();
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(dynamic_cast<EmulatorBus*>(bus.get()), nullptr);
}

#ifdef __linux__
TEST(UhidFront, OutputReportsLoseTheReportIdByteUhidKeeps) {
    const protocol::Report expected{0, 8, 3, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ToFirmwareReport({0, 8, 3, 0, 0, 0, 0, 0, 0}), expected) << "as uhid hands it on";
    EXPECT_EQ(ToFirmwareReport({8, 3, 0, 0, 0, 0, 0, 0}), std::nullopt)
        << "written without the report ID";
    EXPECT_EQ(ToFirmwareReport({1, 8, 3, 0, 0, 0, 0, 0, 0}), std::nullopt) << "no report IDs but 0";
    EXPECT_EQ(ToFirmwareReport({0, 8, 3}), std::nullopt);
    EXPECT_EQ(ToFirmwareReport(std::vector<uint8_t>(10, 0)), std::nullopt);
}
#endif
