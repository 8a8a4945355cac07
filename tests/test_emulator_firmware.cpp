// The firmware model: what the built-in keyboard answers, keeps and does
// over simulated time.

#include "emulator/KeyboardFirmware.h"
#include "emulator/StatusText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;
using protocol::Report;

namespace {

// An output report as it reaches the keyboard: report ID 0, then the payload.
Report Output(const protocol::Payload& p) {
    Report r{};
    std::copy_n(p.bytes.begin(), p.length, r.begin() + 1);
    return r;
}

void Send(KeyboardFirmware& fw, const protocol::Payload& p) {
    const Report r = Output(p);
    fw.HandleOutputReport(r.data(), r.size());
}

int CountType(const std::vector<Report>& reports, uint8_t type, int code = -1) {
    return static_cast<int>(std::count_if(reports.begin(), reports.end(), [&](const Report& r) {
        return r[1] == type && (code < 0 || r[2] == code);
    }));
}

// A state in which every setting differs from the factory's.
DeviceStatus OtherSettings() {
    DeviceStatus s;
    s.LowThreshold = 33;
    s.HighThreshold = 222;
    s.IntervalTimer = 7;
    s.AlarmTimer = 99;
    s.CleanTimer = 12;
    s.KeystrokeAlarmTrigger = 0x1234;
    s.IdNumber = 0xBEEF;
    s.EnableTimer = 0;
    s.EnableKeystroke = 0;
    s.LedEnableStatus = 0;
    s.HostLedOn = 1;
    s.BeeperEnableStatus = 0;
    s.HostBeeperOn = 1;
    s.PowerOnWipe = 1;
    s.HostModeEnable = 1;
    s.Ps2Keyboard = 1;
    s.DisableBacklight = 1;
    s.DisableConfig = 1;
    s.DisableAutoSense = 1;
    s.DisableSensorLeft = 1;
    s.DisableSensorReft = 1;
    s.DisableSensorPressure = 1;
    s.DisableSensor4 = 1;
    s.EnableReEnumeration = 1;
    return s;
}

} // namespace

TEST(KeyboardFirmware, RequestsAreAnsweredWithTheirTypeFromTheState) {
    KeyboardFirmware fw;
    for (uint8_t type = 1; type <= 4; ++type) {
        Send(fw, protocol::EncodeRequest(type));
        const auto out = fw.TakeOutput();
        ASSERT_EQ(out.size(), 1u) << "type " << int(type);
        EXPECT_EQ(out[0], protocol::EncodeInputReport(type, fw.State())) << "type " << int(type);
    }
    // The answers decode back to the keyboard's own values.
    DeviceStatus decoded;
    for (uint8_t type = 1; type <= 4; ++type) {
        Send(fw, protocol::EncodeRequest(type));
        EXPECT_EQ(protocol::DecodeInputReport(fw.TakeOutput().at(0).data(), decoded),
                  protocol::DecodeOutcome::Reply);
    }
    EXPECT_EQ(StatusDifferences(decoded, fw.State()), "");
}

TEST(KeyboardFirmware, ReportsWithoutMeaningGetNoAnswer) {
    KeyboardFirmware fw;
    const DeviceStatus before = fw.State();
    for (uint8_t type : {0, 5, 10, 11, 12, 255})
        Send(fw, protocol::EncodeRequest(type));
    for (uint8_t command : {0, 1, 4, 10, 12, 255}) {
        Report r{};
        r[1] = command;
        r[2] = 0xFF;
        fw.HandleOutputReport(r.data(), r.size());
    }
    const uint8_t tooShort[] = {0};
    fw.HandleOutputReport(tooShort, 1);
    fw.HandleOutputReport(nullptr, 9);
    EXPECT_FALSE(fw.HasOutput());
    EXPECT_EQ(fw.State(), before);
}

TEST(KeyboardFirmware, SettingsReportsChangeExactlyTheirFieldsAndAreAcknowledged) {
    KeyboardFirmware fw(0x0705);
    const DeviceStatus wanted = OtherSettings();
    DeviceStatus expected = fw.State();

    Send(fw, protocol::EncodeThresholdsAndTimers(wanted));
    expected.LowThreshold = 33;
    expected.HighThreshold = 222;
    expected.IntervalTimer = 7;
    expected.AlarmTimer = 99;
    expected.CleanTimer = 12;
    expected.KeystrokeAlarmTrigger = 0x1234;
    EXPECT_EQ(StatusDifferences(expected, fw.State()), "");

    Send(fw, protocol::EncodeIdNumber(wanted));
    expected.IdNumber = 0xBEEF;
    EXPECT_EQ(StatusDifferences(expected, fw.State()), "");

    Send(fw, protocol::EncodeConfigurationFlags(wanted));
    EXPECT_EQ(fw.State().EnableTimer, 0);
    EXPECT_EQ(fw.State().HostModeEnable, 1);
    EXPECT_EQ(fw.State().EnableReEnumeration, 1);
    EXPECT_EQ(fw.State().DisableSensor4, 1);
    EXPECT_EQ(fw.State().NumberOfSensors, 4) << "read-only: report 7 cannot change it";
    EXPECT_EQ(fw.State().LeftLevel, expected.LeftLevel) << "live values are not settings";
    EXPECT_EQ(fw.State().KeystrokeCount, expected.KeystrokeCount);

    const auto out = fw.TakeOutput();
    ASSERT_EQ(out.size(), 3u);
    for (const Report& r : out)
        EXPECT_EQ(r, (Report{0, protocol::TypeReply, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(KeyboardFirmware, StoredSettingsSurviveAPowerCycleAndUnstoredOnesDoNot) {
    KeyboardFirmware fw;
    DeviceStatus s = fw.State();
    s.IdNumber = 1111;
    Send(fw, protocol::EncodeIdNumber(s));
    Send(fw, protocol::EncodeStore());
    EXPECT_EQ(CountType(fw.TakeOutput(), protocol::TypeReply), 2);
    EXPECT_EQ(fw.Stored().IdNumber, 1111);

    s.IdNumber = 2222;
    s.LowThreshold = 5;
    Send(fw, protocol::EncodeIdNumber(s));
    Send(fw, protocol::EncodeThresholdsAndTimers(s));
    fw.Advance(30s);
    const uint16_t count = fw.State().KeystrokeCount;
    fw.SendEvent();
    fw.PowerCycle();

    EXPECT_EQ(fw.State().IdNumber, 1111);
    EXPECT_EQ(fw.State().LowThreshold, KeyboardFirmware::FactoryState(0x0705).LowThreshold);
    EXPECT_EQ(fw.State().KeystrokeCount, count) << "the count is kept across power loss";
    EXPECT_FALSE(fw.HasOutput()) << "nothing sent before the power loss arrives after it";
    EXPECT_EQ(fw.State().CleanActive, 0);

    // A keyboard that wipes at power-on starts cleaning.
    s = fw.State();
    s.PowerOnWipe = 1;
    Send(fw, protocol::EncodeConfigurationFlags(s));
    Send(fw, protocol::EncodeStore());
    fw.PowerCycle();
    EXPECT_EQ(fw.State().CleanActive, 1);
}

TEST(KeyboardFirmware, ProductWithoutBeeperKeepsItsMissingPartsOff) {
    DeviceStatus all = OtherSettings();
    all.EnableTimer = all.EnableKeystroke = all.LedEnableStatus = all.BeeperEnableStatus = 1;

    KeyboardFirmware small(0x0703);
    Send(small, protocol::EncodeConfigurationFlags(all));
    EXPECT_EQ(small.State().BeeperEnableStatus, 0);
    EXPECT_EQ(small.State().DisableConfig, 0);
    EXPECT_EQ(small.State().DisableBacklight, 0);
    EXPECT_EQ(small.State().DisableAutoSense, 0);
    EXPECT_EQ(small.State().Ps2Keyboard, 0);
    EXPECT_EQ(small.State().EnableReEnumeration, 0);
    EXPECT_EQ(small.State().HostModeEnable, 1);
    EXPECT_EQ(small.State().LedEnableStatus, 1);
    EXPECT_EQ(small.State().NumberOfSensors, 2);

    KeyboardFirmware full(0x0769);
    Send(full, protocol::EncodeConfigurationFlags(all));
    EXPECT_EQ(full.State().BeeperEnableStatus, 1);
    EXPECT_EQ(full.State().DisableConfig, 1);
    EXPECT_EQ(full.State().Ps2Keyboard, 1);
    EXPECT_EQ(full.State().NumberOfSensors, 4);

    // The type-4 answer carries the sensor count in bits 2-4 of byte 3.
    Send(small, protocol::EncodeRequest(4));
    DeviceStatus decoded;
    protocol::DecodeInputReport(small.TakeOutput().back().data(), decoded);
    EXPECT_EQ(decoded.NumberOfSensors, 2);
    EXPECT_EQ(decoded.BeeperEnableStatus, 0);

    // Even a forced state cannot sound a beeper it does not have.
    DeviceStatus forced = small.State();
    forced.BeeperEnableStatus = forced.BeeperAlarmOn = 1;
    small.SetState(forced);
    EXPECT_EQ(small.State().BeeperAlarmOn, 0);
}

TEST(KeyboardFirmware, LiveValuesWanderWithinTheirRangeAndAreDeterministic) {
    KeyboardFirmware a(0x0705, 7), b(0x0705, 7), c(0x0705, 8);
    DeviceStatus start = a.State();
    start.LeftLevel = 254; // near the top: the walk must not leave 0-255
    start.RightLevel = 1;
    start.DisableSensor4 = 1;
    a.SetState(start);
    b.SetState(start);
    c.SetState(start);

    bool moved = false;
    uint16_t lastCount = a.State().KeystrokeCount;
    for (int i = 0; i < 300; ++i) {
        a.Advance(100ms);
        b.Advance(60ms);
        b.Advance(40ms); // split steps add up to the same ticks
        c.Advance(100ms);
        const DeviceStatus& s = a.State();
        for (uint16_t level : {s.LeftLevel, s.RightLevel, s.PressureLevel})
            ASSERT_LE(level, 255);
        EXPECT_EQ(s.Sensor4Level, 0) << "a disabled sensor reads 0";
        EXPECT_GE(s.KeystrokeCount, lastCount);
        lastCount = s.KeystrokeCount;
        moved = moved || s.PressureLevel != start.PressureLevel;
    }
    EXPECT_TRUE(moved);
    EXPECT_GT(a.State().KeystrokeCount, start.KeystrokeCount + 50)
        << "about five keystrokes a second";
    EXPECT_EQ(a.State(), b.State());
    EXPECT_EQ(a.TakeOutput(), b.TakeOutput());
    EXPECT_NE(a.State(), c.State());
}

TEST(KeyboardFirmware, KeystrokeAlarmLeadsToCleaningWhichClearsIt) {
    KeyboardFirmware fw(0x0705);
    fw.SetEventInterval(0ms);
    DeviceStatus s = fw.State();
    s.KeystrokeAlarmTrigger = 1000;
    s.KeystrokeCount = 990;
    s.CleanTimer = 3;
    s.EnableTimer = 0;
    fw.SetState(s);

    int ticks = 0;
    while (!fw.State().LedAlarmOn && ticks++ < 200)
        fw.Advance(KeyboardFirmware::Tick);
    ASSERT_EQ(fw.State().LedAlarmOn, 1);
    EXPECT_GE(fw.State().KeystrokeCount, 1000);
    EXPECT_EQ(fw.State().BeeperAlarmOn, 1);
    EXPECT_EQ(CountType(fw.TakeOutput(), protocol::TypeEvent, KeyboardFirmware::EventAlarmRaised),
              1);

    fw.Advance(KeyboardFirmware::AlarmResponseTime);
    EXPECT_EQ(fw.State().CleanActive, 1);
    EXPECT_EQ(fw.State().LedAlarmOn, 0) << "the alarm rests while cleaning";
    const uint16_t countWhileCleaning = fw.State().KeystrokeCount;
    fw.Advance(2s);
    EXPECT_EQ(fw.State().KeystrokeCount, countWhileCleaning) << "no typing during a cleaning run";
    fw.Advance(900ms); // the run ends 3 s after it started
    EXPECT_EQ(fw.State().CleanActive, 0);
    EXPECT_EQ(fw.State().KeystrokeCount, 0);

    const auto out = fw.TakeOutput();
    EXPECT_EQ(CountType(out, protocol::TypeEvent, KeyboardFirmware::EventCleaningStarted), 1);
    EXPECT_EQ(CountType(out, protocol::TypeEvent, KeyboardFirmware::EventCleaningFinished), 1);
}

TEST(KeyboardFirmware, AlarmFollowsItsSwitches) {
    DeviceStatus s = KeyboardFirmware::FactoryState(0x0705);
    s.KeystrokeCount = 5000; // far past the trigger
    s.EnableTimer = 0;

    KeyboardFirmware off(0x0705);
    s.EnableKeystroke = 0;
    off.SetState(s);
    off.Advance(1s);
    EXPECT_EQ(off.State().LedAlarmOn, 0);

    KeyboardFirmware ledOnly(0x0705);
    s.EnableKeystroke = 1;
    s.BeeperEnableStatus = 0;
    ledOnly.SetState(s);
    ledOnly.Advance(1s);
    EXPECT_EQ(ledOnly.State().LedAlarmOn, 1);
    EXPECT_EQ(ledOnly.State().BeeperAlarmOn, 0);

    // The alarm timer counts minutes since the last cleaning.
    KeyboardFirmware timer(0x0705);
    s = KeyboardFirmware::FactoryState(0x0705);
    s.EnableKeystroke = 0;
    s.EnableTimer = 1;
    s.AlarmTimer = 2;
    timer.SetState(s);
    timer.Advance(119s);
    EXPECT_EQ(timer.State().LedAlarmOn, 0);
    timer.Advance(1s);
    EXPECT_EQ(timer.State().LedAlarmOn, 1);

    // In host mode the host switches the indicators.
    KeyboardFirmware host(0x0705);
    s = KeyboardFirmware::FactoryState(0x0705);
    s.HostModeEnable = 1;
    s.HostLedOn = 1;
    s.HostBeeperOn = 0;
    host.SetState(s);
    host.Advance(KeyboardFirmware::Tick);
    EXPECT_EQ(host.State().LedAlarmOn, 1);
    EXPECT_EQ(host.State().BeeperAlarmOn, 0);
}

TEST(KeyboardFirmware, EventsComeNowAndThen) {
    KeyboardFirmware fw;
    fw.SetEventInterval(2s);
    fw.Advance(10s);
    const auto out = fw.TakeOutput();
    EXPECT_EQ(CountType(out, protocol::TypeEvent, KeyboardFirmware::EventHeartbeat), 5);
    for (const Report& r : out) {
        DeviceStatus untouched = fw.State();
        EXPECT_EQ(protocol::DecodeInputReport(r.data(), untouched), protocol::DecodeOutcome::Event);
        EXPECT_EQ(untouched, fw.State()) << "an event carries no status fields";
    }

    fw.SetEventInterval(0ms);
    fw.Advance(30s);
    EXPECT_EQ(CountType(fw.TakeOutput(), protocol::TypeEvent, KeyboardFirmware::EventHeartbeat), 0);

    fw.SendEvent();
    const auto requested = fw.TakeOutput();
    ASSERT_EQ(requested.size(), 1u);
    EXPECT_EQ(requested[0][1], protocol::TypeEvent);
    EXPECT_EQ((requested[0][3] << 8) | requested[0][4], fw.State().KeystrokeCount);
}

TEST(KeyboardFirmware, KeyPressesSendConsecutiveCounts) {
    KeyboardFirmware fw;
    const uint16_t start = fw.State().KeystrokeCount;
    for (int i = 0; i < 3; ++i)
        fw.PressKey();
    const auto out = fw.TakeOutput();
    ASSERT_EQ(out.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i][1], protocol::TypeLiveStatus);
        EXPECT_EQ((out[i][6] << 8) | out[i][7], start + 1 + i);
    }
}
