// Byte layouts of every report, the message-log and event-log lines.

#include "device/ReportProtocol.h"

#include <gtest/gtest.h>

#include <functional>
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

Report Input(std::initializer_list<uint8_t> bytes) {
    Report r{};
    std::size_t i = 0;
    for (uint8_t b : bytes) {
        r[i++] = b;
    }
    return r;
}

} // namespace

TEST(OutputReports, ThresholdsAndTimersSendLow8BitsAndBigEndianTrigger) {
    DeviceStatus s;
    s.LowThreshold = 300; // travels as 300 - 256
    s.HighThreshold = 200;
    s.IntervalTimer = 60;
    s.AlarmTimer = 1440; // 0x5A0: only A0 travels
    s.CleanTimer = 255;
    s.KeystrokeAlarmTrigger = 1100;
    EXPECT_EQ(Bytes(EncodeThresholdsAndTimers(s)),
              (std::vector<uint8_t>{0x05, 0x2C, 0xC8, 0x3C, 0xA0, 0xFF, 0x04, 0x4C}));
}

TEST(OutputReports, IdNumberRequestAndStore) {
    DeviceStatus s;
    s.IdNumber = 1234;
    EXPECT_EQ(Bytes(EncodeIdNumber(s)), (std::vector<uint8_t>{0x06, 0x04, 0xD2}));
    EXPECT_EQ(Bytes(EncodeRequest(3)), (std::vector<uint8_t>{0x08, 0x03}));
    EXPECT_EQ(Bytes(EncodeStore()), (std::vector<uint8_t>{0x09}));
}

TEST(OutputReports, ConfigurationFlagsAllSetAndNoneSet) {
    // The read-only items (clean state, number of sensors) never travel out.
    DeviceStatus all = AllFlags(1);
    all.NumberOfSensors = 7;
    EXPECT_EQ(Bytes(EncodeConfigurationFlags(all)),
              (std::vector<uint8_t>{0x07, 0xFE, 0xE3, 0x0F, 0x01}));
    EXPECT_EQ(Bytes(EncodeConfigurationFlags(AllFlags(0))),
              (std::vector<uint8_t>{0x07, 0x00, 0x00, 0x00, 0x00}));
}

TEST(OutputReports, EachFlagHasItsOwnBit) {
    struct Case {
        uint8_t DeviceStatus::*field;
        std::size_t byte;
        uint8_t mask;
    } cases[] = {
        {&DeviceStatus::EnableTimer, 1, 0x02},
        {&DeviceStatus::EnableKeystroke, 1, 0x04},
        {&DeviceStatus::LedEnableStatus, 1, 0x08},
        {&DeviceStatus::HostLedOn, 1, 0x10},
        {&DeviceStatus::BeeperEnableStatus, 1, 0x20},
        {&DeviceStatus::HostBeeperOn, 1, 0x40},
        {&DeviceStatus::PowerOnWipe, 1, 0x80},
        {&DeviceStatus::HostModeEnable, 2, 0x01},
        {&DeviceStatus::Ps2Keyboard, 2, 0x02},
        {&DeviceStatus::DisableBacklight, 2, 0x20},
        {&DeviceStatus::DisableConfig, 2, 0x40},
        {&DeviceStatus::DisableAutoSense, 2, 0x80},
        {&DeviceStatus::DisableSensorLeft, 3, 0x01},
        {&DeviceStatus::DisableSensorReft, 3, 0x02},
        {&DeviceStatus::DisableSensorPressure, 3, 0x04},
        {&DeviceStatus::DisableSensor4, 3, 0x08},
        {&DeviceStatus::EnableReEnumeration, 4, 0x01},
    };
    for (const Case& c : cases) {
        DeviceStatus s = AllFlags(0);
        s.*c.field = 1;
        const Payload p = EncodeConfigurationFlags(s);
        for (std::size_t i = 1; i < 5; ++i) {
            EXPECT_EQ(p.bytes[i], i == c.byte ? c.mask : 0)
                << "byte " << i << " mask " << int(c.mask);
        }
        // The keyboard side reads back exactly that flag.
        Report r{};
        std::copy(p.bytes.begin(), p.bytes.begin() + 5, r.begin() + 1);
        DeviceStatus back = AllFlags(0);
        ASSERT_TRUE(ApplyOutputReport(r.data(), back));
        EXPECT_EQ(back, s);
    }
}

TEST(LogLines, WriteReportAndGetReportFormats) {
    DeviceStatus s;
    s.IdNumber = 1234;
    EXPECT_EQ(WriteReportLogLine(EncodeIdNumber(s)), "WriteReport:  06 04 D2\n");
    EXPECT_EQ(GetReportLogLine(EncodeRequest(1)), "GetReport: 08 01\n");
    EXPECT_EQ(WriteReportLogLine(EncodeStore()), "WriteReport:  09\n");
}

TEST(ReportText, NineBytesAsHexEachFollowedByBlank) {
    const Report r = Input({0x00, 0x03, 0x04, 0xD2});
    const std::string text = ReportText(r.data());
    EXPECT_EQ(text, "00 03 04 D2 00 00 00 00 00 ");
    EXPECT_EQ(text.size(), 27u);
}

TEST(InputReports, EachTypeStoresOnlyItsOwnFields) {
    struct Case {
        Report report;
        std::function<void(DeviceStatus&)> expect;
    } cases[] = {
        {Input({0, 1, 10, 20, 30, 40, 0x4E, 0x20, 0x07}),
         [](DeviceStatus& e) {
             e.LeftLevel = 10;
             e.RightLevel = 20;
             e.PressureLevel = 30;
             e.Sensor4Level = 40;
             e.KeystrokeCount = 20000;
             e.LedAlarmOn = e.BeeperAlarmOn = e.CleanActive = 1;
         }},
        {Input({0, 2, 0x2C, 0xC8, 3, 24, 50, 0x04, 0x4C}),
         [](DeviceStatus& e) {
             e.LowThreshold = 44; // one byte widened, nothing above it
             e.HighThreshold = 200;
             e.IntervalTimer = 3;
             e.AlarmTimer = 24;
             e.CleanTimer = 50;
             e.KeystrokeAlarmTrigger = 1100;
         }},
        {Input({0, 3, 0xFF, 0xFE, 9, 9, 9, 9, 9}), [](DeviceStatus& e) { e.IdNumber = 65534; }},
    };
    for (const Case& c : cases) {
        DeviceStatus s;
        DeviceStatus expected;
        c.expect(expected);
        EXPECT_EQ(DecodeInputReport(c.report.data(), s), DecodeOutcome::Reply);
        EXPECT_EQ(s, expected) << "type " << int(c.report[1]);
    }
}

TEST(InputReports, ConfigurationFlagsIncludingReadOnlyItems) {
    DeviceStatus s = AllFlags(1);
    // Byte 3 = 1C: three sensor bits set, every flag of that byte clear.
    const Report r = Input({0, 4, 0xFF, 0x1C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(DecodeInputReport(r.data(), s), DecodeOutcome::Reply);
    EXPECT_EQ(s.NumberOfSensors, 7);
    EXPECT_EQ(s.CleanActive, 1);
    for (uint8_t v : {s.HostModeEnable, s.Ps2Keyboard, s.DisableBacklight, s.DisableConfig,
                      s.DisableAutoSense}) {
        EXPECT_EQ(v, 0);
    }
    for (uint8_t v : {s.EnableTimer, s.PowerOnWipe, s.DisableSensor4, s.EnableReEnumeration}) {
        EXPECT_EQ(v, 1);
    }
    // The whole block survives a round trip through the keyboard side.
    DeviceStatus original = AllFlags(0);
    original.EnableKeystroke = original.DisableAutoSense = original.DisableSensorReft = 1;
    original.NumberOfSensors = 3;
    original.CleanActive = 1;
    DeviceStatus back = AllFlags(1);
    const Report encoded = EncodeInputReport(TypeConfigurationFlags, original);
    DecodeInputReport(encoded.data(), back);
    back.LeftLevel = original.LeftLevel;
    EXPECT_EQ(back, original);
}

TEST(InputReports, ReplyEventAndUnknownTypesChangeNoField) {
    for (uint8_t type : {0, 5, 9, 10, 11, 12, 255}) {
        DeviceStatus s;
        const Report r = Input({0, type, 1, 2, 3, 4, 5, 6, 7});
        const DecodeOutcome outcome = DecodeInputReport(r.data(), s);
        EXPECT_EQ(s, DeviceStatus{}) << int(type);
        const DecodeOutcome expected = type == 10   ? DecodeOutcome::Reply
                                       : type == 11 ? DecodeOutcome::Event
                                                    : DecodeOutcome::Unknown;
        EXPECT_EQ(outcome, expected) << int(type);
    }
}

TEST(EventLog, TimeTextPadsDayWithZeroAndEndsWithLineEnd) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_wday = 0;
    t.tm_hour = 20;
    t.tm_min = 4;
    t.tm_sec = 9;
    EXPECT_EQ(TimeText(t), "Sun Dec 06 20:04:09 2026\n");
    EXPECT_EQ(TimeText(t).size(), 25u);
    const Report r = Input({0, 11});
    EXPECT_EQ(EventLogLine(ReportText(r.data()), t),
              "00 0B 00 00 00 00 00 00 00 :Sun Dec 06 20:04:09 2026\n");
}
