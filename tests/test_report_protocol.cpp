// Byte layouts of every report. The request, the store and reports 5 and 6
// as written: CliTest's message log; report 5's bytes as read back in report
// 2: InputReports; the report text and the event log's lines: ReaderTest.

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

using S = DeviceStatus;

// Report 7's flags: the byte after the report's number each is in, and its bit.
const struct {
    uint8_t S::*field;
    std::size_t byte;
    uint8_t mask;
} kFlags[] = {{&S::EnableTimer, 1, 0x02},           {&S::EnableKeystroke, 1, 0x04},
              {&S::LedEnableStatus, 1, 0x08},       {&S::HostLedOn, 1, 0x10},
              {&S::BeeperEnableStatus, 1, 0x20},    {&S::HostBeeperOn, 1, 0x40},
              {&S::PowerOnWipe, 1, 0x80},           {&S::HostModeEnable, 2, 0x01},
              {&S::Ps2Keyboard, 2, 0x02},           {&S::DisableBacklight, 2, 0x20},
              {&S::DisableConfig, 2, 0x40},         {&S::DisableAutoSense, 2, 0x80},
              {&S::DisableSensorLeft, 3, 0x01},     {&S::DisableSensorReft, 3, 0x02},
              {&S::DisableSensorPressure, 3, 0x04}, {&S::DisableSensor4, 3, 0x08},
              {&S::EnableReEnumeration, 4, 0x01}};

// Every flag, the clean state and the number of sensors at their lowest or
// highest.
DeviceStatus AllFlags(uint8_t value) {
    DeviceStatus s;
    for (const auto& f : kFlags)
        s.*f.field = value;
    s.CleanActive = value;
    s.NumberOfSensors = value ? 7 : 0;
    return s;
}

} // namespace

// Report 4 carries report 7's flags in the same bytes and bits, and so each
// case checks both, each way.
TEST(OutputReports, EachConfigurationFlagHasItsOwnBitAndTheKeyboardReadsItBack) {
    // The read-only items (clean state, number of sensors) never travel out.
    EXPECT_EQ(Bytes(EncodeConfigurationFlags(AllFlags(1))),
              (std::vector<uint8_t>{0x07, 0xFE, 0xE3, 0x0F, 0x01}));
    for (const auto& c : kFlags) {
        DeviceStatus s = AllFlags(0);
        s.*c.field = 1;
        const Payload p = EncodeConfigurationFlags(s);
        std::vector<uint8_t> expected{0x07, 0, 0, 0, 0};
        expected[c.byte] = c.mask;
        EXPECT_EQ(Bytes(p), expected);
        Report r{};
        std::copy(p.bytes.begin(), p.bytes.begin() + 5, r.begin() + 1);
        DeviceStatus back = AllFlags(0);
        ASSERT_TRUE(ApplyOutputReport(r.data(), back));
        EXPECT_EQ(back, s);
        // Every flag of report 4 is written, set or clear.
        r[1] = TypeConfigurationFlags;
        EXPECT_EQ(EncodeInputReport(TypeConfigurationFlags, s), r);
        back = AllFlags(1);
        EXPECT_EQ(DecodeInputReport(r.data(), back), DecodeOutcome::Reply);
        EXPECT_EQ(back, s);
    }
}

TEST(InputReports, EachTypeStoresOnlyItsOwnFieldsAndTheKeyboardSendsThatLayout) {
    // Live status with the three alarm bits as given.
    const auto live = [](uint8_t led, uint8_t beeper, uint8_t clean) {
        return [=](DeviceStatus& e) {
            std::tie(e.LeftLevel, e.RightLevel, e.PressureLevel, e.Sensor4Level, e.KeystrokeCount) =
                std::make_tuple(0, 255, 30, 40, 0xFE34);
            std::tie(e.LedAlarmOn, e.BeeperAlarmOn, e.CleanActive) =
                std::make_tuple(led, beeper, clean);
        };
    };
    struct Case {
        Report report;
        std::function<void(DeviceStatus&)> expect;
    } cases[] = {
        // Each alarm bit set once, and any two of them unlike in one row.
        {{0, 1, 0, 255, 30, 40, 0xFE, 0x34, 0x03}, live(1, 1, 0)},
        {{0, 1, 0, 255, 30, 40, 0xFE, 0x34, 0x06}, live(0, 1, 1)},
        // One byte each, widened with nothing above it; the trigger big-endian.
        {{0, 2, 0x2C, 0xC8, 7, 99, 12, 0x56, 0x78},
         [](DeviceStatus& e) {
             std::tie(e.LowThreshold, e.HighThreshold, e.IntervalTimer, e.AlarmTimer, e.CleanTimer,
                      e.KeystrokeAlarmTrigger) = std::make_tuple(44, 200, 7, 99, 12, 0x5678);
         }},
        {{0, 3, 0xFF, 0xFE}, [](DeviceStatus& e) { e.IdNumber = 65534; }},
        // Beside report 7's flags, two read-only items: the clean state in
        // bit 0 of byte 2, the number of sensors in bits 2-4 of byte 3.
        {{0, 4, 0x01, 0x1C},
         [](DeviceStatus& e) {
             e = AllFlags(0);
             e.CleanActive = 1;
             e.NumberOfSensors = 7;
         }},
    };
    for (const Case& c : cases) {
        DeviceStatus expected;
        c.expect(expected);
        DeviceStatus s;
        EXPECT_EQ(DecodeInputReport(c.report.data(), s), DecodeOutcome::Reply);
        EXPECT_EQ(s, expected) << "type " << int(c.report[1]);
        EXPECT_EQ(EncodeInputReport(c.report[1], expected), c.report)
            << "type " << int(c.report[1]);
    }
}
