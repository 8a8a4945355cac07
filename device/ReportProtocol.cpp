#include "device/ReportProtocol.h"

#include <algorithm>
#include <cstdio>

namespace protocol {

namespace {

uint8_t Low8(uint16_t v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t High8(uint16_t v) {
    return static_cast<uint8_t>(v >> 8);
}
uint16_t BigEndian(uint8_t high, uint8_t low) {
    return static_cast<uint16_t>((high << 8) | low);
}
uint8_t Bit(uint8_t flag, int bit) {
    return flag ? static_cast<uint8_t>(1u << bit) : 0;
}
uint8_t Flag(uint8_t byte, int bit) {
    return (byte >> bit) & 1u;
}

Payload MakePayload(std::initializer_list<uint8_t> bytes) {
    Payload p;
    for (uint8_t b : bytes) {
        p.bytes[p.length++] = b;
    }
    return p;
}

// Configuration flags, shared by output report 7 and input report 4:
//   byte 2: bit0 (report 4 only: CleanActive), 1 EnableTimer, 2 EnableKeystroke,
//           3 LedEnableStatus, 4 HostLedOn, 5 BeeperEnableStatus,
//           6 HostBeeperOn, 7 PowerOnWipe
//   byte 3: bit0 HostModeEnable, 1 Ps2Keyboard,
//           2-4 (report 4 only: NumberOfSensors), 5 DisableBacklight,
//           6 DisableConfig, 7 DisableAutoSense
//   byte 4: bit0 DisableSensorLeft, 1 DisableSensorReft,
//           2 DisableSensorPressure, 3 DisableSensor4
//   byte 5: bit0 EnableReEnumeration
std::array<uint8_t, 4> FlagBytes(const DeviceStatus& s) {
    return {
        static_cast<uint8_t>(Bit(s.EnableTimer, 1) | Bit(s.EnableKeystroke, 2) |
                             Bit(s.LedEnableStatus, 3) | Bit(s.HostLedOn, 4) |
                             Bit(s.BeeperEnableStatus, 5) | Bit(s.HostBeeperOn, 6) |
                             Bit(s.PowerOnWipe, 7)),
        static_cast<uint8_t>(Bit(s.HostModeEnable, 0) | Bit(s.Ps2Keyboard, 1) |
                             Bit(s.DisableBacklight, 5) | Bit(s.DisableConfig, 6) |
                             Bit(s.DisableAutoSense, 7)),
        static_cast<uint8_t>(Bit(s.DisableSensorLeft, 0) | Bit(s.DisableSensorReft, 1) |
                             Bit(s.DisableSensorPressure, 2) | Bit(s.DisableSensor4, 3)),
        Bit(s.EnableReEnumeration, 0),
    };
}

void ApplyFlagBytes(const uint8_t* b, DeviceStatus& s) {
    s.EnableTimer = Flag(b[0], 1);
    s.EnableKeystroke = Flag(b[0], 2);
    s.LedEnableStatus = Flag(b[0], 3);
    s.HostLedOn = Flag(b[0], 4);
    s.BeeperEnableStatus = Flag(b[0], 5);
    s.HostBeeperOn = Flag(b[0], 6);
    s.PowerOnWipe = Flag(b[0], 7);
    s.HostModeEnable = Flag(b[1], 0);
    s.Ps2Keyboard = Flag(b[1], 1);
    s.DisableBacklight = Flag(b[1], 5);
    s.DisableConfig = Flag(b[1], 6);
    s.DisableAutoSense = Flag(b[1], 7);
    s.DisableSensorLeft = Flag(b[2], 0);
    s.DisableSensorReft = Flag(b[2], 1);
    s.DisableSensorPressure = Flag(b[2], 2);
    s.DisableSensor4 = Flag(b[2], 3);
    s.EnableReEnumeration = Flag(b[3], 0);
}

// Thresholds and timers, shared by output report 5 and input report 2, bytes
// 2-8: Low, High, Interval, Alarm, Clean (low 8 bits each), then
// KeystrokeAlarmTrigger big-endian.
std::array<uint8_t, 7> ThresholdBytes(const DeviceStatus& s) {
    return {Low8(s.LowThreshold),         Low8(s.HighThreshold), Low8(s.IntervalTimer),
            Low8(s.AlarmTimer),           Low8(s.CleanTimer),    High8(s.KeystrokeAlarmTrigger),
            Low8(s.KeystrokeAlarmTrigger)};
}

void ApplyThresholdBytes(const uint8_t* b, DeviceStatus& s) {
    s.LowThreshold = b[0];
    s.HighThreshold = b[1];
    s.IntervalTimer = b[2];
    s.AlarmTimer = b[3];
    s.CleanTimer = b[4];
    s.KeystrokeAlarmTrigger = BigEndian(b[5], b[6]);
}

std::string LogLine(const char* prefix, const Payload& p) {
    std::string line = prefix;
    char item[8];
    for (std::size_t i = 0; i < p.length; ++i) {
        std::snprintf(item, sizeof item, " %2.2hX", static_cast<unsigned short>(p.bytes[i]));
        line += item;
    }
    line += '\n';
    return line;
}

} // namespace

// Output report 5: command and the threshold bytes.
Payload EncodeThresholdsAndTimers(const DeviceStatus& s) {
    const auto t = ThresholdBytes(s);
    return MakePayload({CmdThresholdsAndTimers, t[0], t[1], t[2], t[3], t[4], t[5], t[6]});
}

// Output report 6: command, IdNumber big-endian.
Payload EncodeIdNumber(const DeviceStatus& s) {
    return MakePayload({CmdIdNumber, High8(s.IdNumber), Low8(s.IdNumber)});
}

// Output report 7: command and the four flag bytes.
Payload EncodeConfigurationFlags(const DeviceStatus& s) {
    const auto f = FlagBytes(s);
    return MakePayload({CmdConfigurationFlags, f[0], f[1], f[2], f[3]});
}

// Output report 8: command and the input report type wanted.
Payload EncodeRequest(uint8_t inputType) {
    return MakePayload({CmdRequest, inputType});
}

// Output report 9: the command alone.
Payload EncodeStore() {
    return MakePayload({CmdStore});
}

std::string WriteReportLogLine(const Payload& p) {
    return LogLine("WriteReport: ", p);
}
std::string GetReportLogLine(const Payload& p) {
    return LogLine("GetReport:", p);
}

std::string ReportText(const uint8_t* report) {
    std::string text;
    char item[8];
    for (std::size_t i = 0; i < 9; ++i) {
        std::snprintf(item, sizeof item, "%2.2X ", static_cast<unsigned>(report[i]));
        text += item;
    }
    return text;
}

DecodeOutcome DecodeInputReport(const uint8_t* r, DeviceStatus& s) {
    switch (r[1]) {
    case TypeLiveStatus: // levels, keystroke count, alarm and clean flags
        s.LeftLevel = r[2];
        s.RightLevel = r[3];
        s.PressureLevel = r[4];
        s.Sensor4Level = r[5];
        s.KeystrokeCount = BigEndian(r[6], r[7]);
        s.LedAlarmOn = Flag(r[8], 0);
        s.BeeperAlarmOn = Flag(r[8], 1);
        s.CleanActive = Flag(r[8], 2);
        return DecodeOutcome::Reply;
    case TypeThresholdsAndTimers: // one byte each widened, trigger big-endian
        ApplyThresholdBytes(r + 2, s);
        return DecodeOutcome::Reply;
    case TypeIdNumber:
        s.IdNumber = BigEndian(r[2], r[3]);
        return DecodeOutcome::Reply;
    case TypeConfigurationFlags: // report 7's flags plus two read-only items
        ApplyFlagBytes(r + 2, s);
        s.CleanActive = Flag(r[2], 0);
        s.NumberOfSensors = (r[3] >> 2) & 7u;
        return DecodeOutcome::Reply;
    case TypeReply:
        return DecodeOutcome::Reply;
    case TypeEvent:
        return DecodeOutcome::Event;
    default:
        return DecodeOutcome::Unknown;
    }
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

std::string TimeText(const std::tm& t) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = (t.tm_wday >= 0 && t.tm_wday < 7) ? days[t.tm_wday] : "???";
    const char* month = (t.tm_mon >= 0 && t.tm_mon < 12) ? months[t.tm_mon] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d\n", day, month, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    return text;
}

std::string EventLogLine(const std::string& reportText, const std::tm& t) {
    return reportText + ":" + TimeText(t);
}

Report EncodeInputReport(uint8_t inputType, const DeviceStatus& s) {
    Report r{};
    r[1] = inputType;
    switch (inputType) {
    case TypeLiveStatus:
        r[2] = Low8(s.LeftLevel);
        r[3] = Low8(s.RightLevel);
        r[4] = Low8(s.PressureLevel);
        r[5] = Low8(s.Sensor4Level);
        r[6] = High8(s.KeystrokeCount);
        r[7] = Low8(s.KeystrokeCount);
        r[8] = static_cast<uint8_t>(Bit(s.LedAlarmOn, 0) | Bit(s.BeeperAlarmOn, 1) |
                                    Bit(s.CleanActive, 2));
        break;
    case TypeThresholdsAndTimers: {
        const auto t = ThresholdBytes(s);
        std::copy(t.begin(), t.end(), r.begin() + 2);
        break;
    }
    case TypeIdNumber:
        r[2] = High8(s.IdNumber);
        r[3] = Low8(s.IdNumber);
        break;
    case TypeConfigurationFlags: {
        const auto f = FlagBytes(s);
        r[2] = static_cast<uint8_t>(f[0] | Bit(s.CleanActive, 0));
        r[3] = static_cast<uint8_t>(f[1] | ((s.NumberOfSensors & 7u) << 2));
        r[4] = f[2];
        r[5] = f[3];
        break;
    }
    default:
        break;
    }
    return r;
}

bool ApplyOutputReport(const uint8_t* r, DeviceStatus& s) {
    switch (r[1]) {
    case CmdThresholdsAndTimers:
        ApplyThresholdBytes(r + 2, s);
        return true;
    case CmdIdNumber:
        s.IdNumber = BigEndian(r[2], r[3]);
        return true;
    case CmdConfigurationFlags:
        ApplyFlagBytes(r + 2, s);
        return true;
    default:
        return false;
    }
}

} // namespace protocol
