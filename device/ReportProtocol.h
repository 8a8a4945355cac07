#pragma once

// The keyboard's report protocol: every report is 9 bytes, byte 0 the HID
// report ID 0, byte 1 the output command or input type. 16-bit values travel
// big-endian. Both directions live here so that the program and the built-in
// keyboard share one description of the layouts.

#include "settings/DeviceStatus.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace protocol {

// Output commands (program to keyboard), byte 1.
enum Command : uint8_t {
    CmdThresholdsAndTimers = 5,
    CmdIdNumber = 6,
    CmdConfigurationFlags = 7,
    CmdRequest = 8,
    CmdStore = 9,
};

// Input report types (keyboard to program), byte 1.
enum InputType : uint8_t {
    TypeLiveStatus = 1,
    TypeThresholdsAndTimers = 2,
    TypeIdNumber = 3,
    TypeConfigurationFlags = 4,
    TypeReply = 10,
    TypeEvent = 11,
};

using Report = std::array<uint8_t, 9>;

// An output report without its report ID: the command byte and its data.
struct Payload {
    std::array<uint8_t, 8> bytes{};
    std::size_t length = 0;
};

// ---- program side: output reports -------------------------------------
Payload EncodeThresholdsAndTimers(const DeviceStatus& s);
Payload EncodeIdNumber(const DeviceStatus& s);
Payload EncodeConfigurationFlags(const DeviceStatus& s);
Payload EncodeRequest(uint8_t inputType);
Payload EncodeStore();

// Message-log lines, each ending in "\n".
std::string WriteReportLogLine(const Payload& p); // "WriteReport: " then " %2.2hX" per byte
std::string GetReportLogLine(const Payload& p);   // "GetReport:" then " %2.2hX" per byte

// ---- program side: input reports --------------------------------------
// "%2.2X " for each of the 9 bytes: always 27 characters, ending in a blank.
std::string ReportText(const uint8_t* report);

enum class DecodeOutcome {
    Reply,   // types 1-4 and 10: counts as the answer to a request
    Event,   // type 11: no fields, goes to the event log
    Unknown, // any other type: no fields change
};

// Stores the fields that the report's type carries into `status`; fields the
// type does not carry keep their values.
DecodeOutcome DecodeInputReport(const uint8_t* report, DeviceStatus& status);

// The local time of `t`, on every platform.
std::tm LocalTime(std::time_t t);
// The 24-character local time text with its line end, like asctime's but
// with the day of month always two digits: "Sun Dec 06 20:34:39 2026\n".
std::string TimeText(const std::tm& t);
// The event-log line: report text, a colon, the time text.
std::string EventLogLine(const std::string& reportText, const std::tm& t);

// ---- keyboard side (used by the built-in keyboard) ---------------------
Report EncodeInputReport(uint8_t inputType, const DeviceStatus& s);
// Applies an output report of type 5, 6 or 7 to `s`. Returns false for other
// commands (which carry no settings).
bool ApplyOutputReport(const uint8_t* report, DeviceStatus& s);

} // namespace protocol
