// Byte layouts of every report, the event-log line.

#include "device/ReportProtocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

using namespace protocol;

namespace {

std::vector<uint8_t> Bytes(const Payload& p) {
    return {p.bytes.begin(), p.bytes.begin() + static_cast<long>(p.length)};
}

DeviceStatus AllFlags(uint8_t value) {
    DeviceStatus s;
    for (uint8_t* f : {&s.EnableTimer, &s.EnableKeystroke, &s.LedEnableStatus, &s.HostLedOn,
                       &s.BeeperEnableStatus, &s.HostBeeperOn, &s.PowerOnWipe, &s.HostModeEnable,
                       &s.Ps2Keyboard, &s.DisableBacklight, &s.DisableConfig, &s.DisableAutoSense,
                       &s.DisableSensorLeft, &s.DisableSensorReft, &s.DisableSensorPressure,
                       &s.DisableSensor4, &s.EnableReEnumeration, &s.CleanActive}) {
        *f = value;
    }
    return s;
}

} // namespace

TEST(OutputReports, ThresholdsIdNumberRequestAndStore) {
    DeviceStatus s;
    s.LowThreshold = 300; // travels as 300 - 256
    s.HighThreshold = 200;
    s.IntervalTimer = 60;
    s.AlarmTimer = 1440; // 0x5A0: only A0 travels
    s.CleanTimer = 255;
    s.KeystrokeAlarmTrigger = 1100;
    s.IdNumber = 1234;
    EXPECT_EQ(Bytes(EncodeThresholdsAndTimers(s)),
              (std::vector<uint8_t>{0x05, 0x2C, 0xC8, 0x3C, 0xA0, 0xFF, 0x04, 0x4C}));
    EXPECT_EQ(Bytes(EncodeIdNumber(s)), (std::vector<uint8_t>{0x06, 0x04, 0xD2}));
    EXPECT_EQ(Bytes(EncodeRequest(3)), (std::vector<uint8_t>{0x08, 0x03}));
    EXPECT_EQ(Bytes(EncodeStore()), (std::vector<uint8_t>{0x09}));
}

TEST(OutputReports, EachConfigurationFlagHasItsOwnBitAndTheKeyboardReadsItBack) {
    // The read-only items (clean state, number of sensors) never travel out.
    DeviceStatus all = AllFlags(1);
    all.NumberOfSensors = 7;
    EXPECT_EQ(Bytes(EncodeConfigurationFlags(all)),
              (std::vector<uint8_t>{0x07, 0xFE, 0xE3, 0x0F, 0x01}));
    using S = DeviceStatus;
    struct Case {
        uint8_t S::*field;
        std::size_t byte;
        uint8_t mask;
    } cases[] = {{&S::EnableTimer, 1, 0x02},           {&S::EnableKeystroke, 1, 0x04},
                 {&S::LedEnableStatus, 1, 0x08},       {&S::HostLedOn, 1, 0x10},
                 {&S::BeeperEnableStatus, 1, 0x20},    {&S::HostBeeperOn, 1, 0x40},
                 {&S::PowerOnWipe, 1, 0x80},           {&S::HostModeEnable, 2, 0x01},
                 {&S::Ps2Keyboard, 2, 0x02},           {&S::DisableBacklight, 2, 0x20},
                 {&S::DisableConfig, 2, 0x40},         {&S::DisableAutoSense, 2, 0x80},
                 {&S::DisableSensorLeft, 3, 0x01},     {&S::DisableSensorReft, 3, 0x02},
                 {&S::DisableSensorPressure, 3, 0x04}, {&S::DisableSensor4, 3, 0x08},
                 {&S::EnableReEnumeration, 4, 0x01}};
    for (const Case& c : cases) {
        DeviceStatus s = AllFlags(0);
        s.*c.field = 1;
        const Payload p = EncodeConfigurationFlags(s);
        std::vector<uint8_t> expected{0x07, 0, 0, 0, 0};
        expected[c.byte] = c.mask;
        EXPECT_EQ(Bytes(p), expected);
        // The keyboard side reads back exactly that flag.
        Report r{};
        std::copy(p.bytes.begin(), p.bytes.begin() + 5, r.begin() + 1);
        DeviceStatus back = AllFlags(0);
        ASSERT_TRUE(ApplyOutputReport(r.data(), back));
        EXPECT_EQ(back, s);
    }
}

TEST(InputReports, EachTypeStoresOnlyItsOwnFieldsAndTheKeyboardSendsThatLayout) {
    struct Case {
        Report report;
        std::function<void(DeviceStatus&)> expect;
    } cases[] = {
        {{0, 1, 10, 20, 30, 40, 0x12, 0x34, 0x05},
         [](DeviceStatus& e) {
             std::tie(e.LeftLevel, e.RightLevel, e.PressureLevel, e.Sensor4Level,
                      e.KeystrokeCount) = std::make_tuple(10, 20, 30, 40, 0x1234);
             e.LedAlarmOn = e.CleanActive = 1;
         }},
        {{0, 1, 0, 255, 1, 254, 0xFF, 0xFE, 0x02},
         [](DeviceStatus& e) {
             std::tie(e.LeftLevel, e.RightLevel, e.PressureLevel, e.Sensor4Level,
                      e.KeystrokeCount) = std::make_tuple(0, 255, 1, 254, 0xFFFE);
             e.BeeperAlarmOn = 1;
         }},
        // One byte each, widened with nothing above it; the trigger big-endian.
        {{0, 2, 0x2C, 0xC8, 7, 99, 12, 0x56, 0x78},
         [](DeviceStatus& e) {
             std::tie(e.LowThreshold, e.HighThreshold, e.IntervalTimer, e.AlarmTimer, e.CleanTimer,
                      e.KeystrokeAlarmTrigger) = std::make_tuple(44, 200, 7, 99, 12, 0x5678);
         }},
        {{0, 3, 0xFF, 0xFE}, [](DeviceStatus& e) { e.IdNumber = 65534; }},
        // Report 7's flags plus two read-only items: the clean state in bit 0
        // of byte 2, the number of sensors in bits 2-4 of byte 3.
        {{0, 4, 0xFF, 0x1C, 0x0F, 0x01},
         [](DeviceStatus& e) {
             e = AllFlags(1);
             e.HostModeEnable = e.Ps2Keyboard = e.DisableBacklight = e.DisableConfig =
                 e.DisableAutoSense = 0;
             e.NumberOfSensors = 7;
         }},
        {{0, 4, 0x00, 0xE3, 0x00, 0x00},
         [](DeviceStatus& e) {
             e = AllFlags(0);
             e.HostModeEnable = e.Ps2Keyboard = e.DisableBacklight = e.DisableConfig =
                 e.DisableAutoSense = 1;
             e.NumberOfSensors = 0;
         }},
    };
    for (const Case& c : cases) {
        DeviceStatus expected;
        c.expect(expected);
        for (uint8_t flags : {0, 1}) { // every flag of report 4 is written, set or clear
            DeviceStatus s = c.report[1] == 4 ? AllFlags(flags) : DeviceStatus{};
            EXPECT_EQ(DecodeInputReport(c.report.data(), s), DecodeOutcome::Reply);
            EXPECT_EQ(s, expected) << "type " << int(c.report[1]);
        }
        EXPECT_EQ(EncodeInputReport(c.report[1], expected), c.report)
            << "type " << int(c.report[1]);
    }
}

// The message log's lines: CliTest; the report text: ReaderTest.
TEST(LogLines, EventLogLineNamesDayAndMonth) {
    const Report r{0x00, 0x0B, 0x04, 0xD2};
    EXPECT_EQ(ReportText(r.data()), "00 0B 04 D2 00 00 00 00 00 ");
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_wday = 0;
    t.tm_hour = 20;
    t.tm_min = 4;
    t.tm_sec = 9;
    EXPECT_EQ(TimeText(t), "Sun Dec 06 20:04:09 2026\n");
    EXPECT_EQ(EventLogLine(ReportText(r.data()), t),
              "00 0B 04 D2 00 00 00 00 00 :Sun Dec 06 20:04:09 2026\n");
}
