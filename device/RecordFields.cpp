#include "device/RecordFields.h"

#include "device/ReportProtocol.h"

#include <array>

namespace {

using protocol::CmdConfigurationFlags;
using protocol::CmdIdNumber;
using protocol::CmdThresholdsAndTimers;

constexpr RecordField Word(const char* name, uint16_t DeviceStatus::*field, uint8_t type,
                           uint8_t command, bool inFile) {
    return {name, field, nullptr, type, command, inFile, LargestValue(field)};
}
constexpr RecordField Flag(const char* name, uint8_t DeviceStatus::*field, uint8_t type,
                           uint8_t command, bool inFile) {
    return {name, nullptr, field, type, command, inFile, LargestValue(field)};
}

using S = DeviceStatus;
constexpr uint8_t Live = protocol::TypeLiveStatus;
constexpr uint8_t Thresholds = protocol::TypeThresholdsAndTimers;
constexpr uint8_t Id = protocol::TypeIdNumber;
constexpr uint8_t Flags = protocol::TypeConfigurationFlags;

constexpr std::array<RecordField, 33> Fields = {
    Word("LowThreshold", &S::LowThreshold, Thresholds, CmdThresholdsAndTimers, true),
    Word("HighThreshold", &S::HighThreshold, Thresholds, CmdThresholdsAndTimers, true),
    Word("LeftLevel", &S::LeftLevel, Live, 0, false),
    Word("RightLevel", &S::RightLevel, Live, 0, false),
    Word("PressureLevel", &S::PressureLevel, Live, 0, false),
    Word("Sensor4Level", &S::Sensor4Level, Live, 0, false),
    Word("IntervalTimer", &S::IntervalTimer, Thresholds, CmdThresholdsAndTimers, true),
    Word("AlarmTimer", &S::AlarmTimer, Thresholds, CmdThresholdsAndTimers, true),
    Word("CleanTimer", &S::CleanTimer, Thresholds, CmdThresholdsAndTimers, true),
    Word("KeystrokeAlarmTrigger", &S::KeystrokeAlarmTrigger, Thresholds, CmdThresholdsAndTimers,
         true),
    Word("KeystrokeCount", &S::KeystrokeCount, Live, 0, false),
    Word("IdNumber", &S::IdNumber, Id, CmdIdNumber, false),
    Flag("CleanActive", &S::CleanActive, Live, 0, false),
    Flag("EnableTimer", &S::EnableTimer, Flags, CmdConfigurationFlags, true),
    Flag("EnableKeystroke", &S::EnableKeystroke, Flags, CmdConfigurationFlags, true),
    Flag("LedEnableStatus", &S::LedEnableStatus, Flags, CmdConfigurationFlags, true),
    Flag("LedAlarmOn", &S::LedAlarmOn, Live, 0, false),
    Flag("BeeperEnableStatus", &S::BeeperEnableStatus, Flags, CmdConfigurationFlags, true),
    Flag("BeeperAlarmOn", &S::BeeperAlarmOn, Live, 0, false),
    Flag("PowerOnWipe", &S::PowerOnWipe, Flags, CmdConfigurationFlags, true),
    Flag("HostModeEnable", &S::HostModeEnable, Flags, CmdConfigurationFlags, false),
    Flag("HostLedOn", &S::HostLedOn, Flags, CmdConfigurationFlags, false),
    Flag("HostBeeperOn", &S::HostBeeperOn, Flags, CmdConfigurationFlags, false),
    Word("NumberOfSensors", &S::NumberOfSensors, Flags, 0, false),
    Flag("DisableSensorLeft", &S::DisableSensorLeft, Flags, CmdConfigurationFlags, true),
    Flag("DisableSensorReft", &S::DisableSensorReft, Flags, CmdConfigurationFlags, true),
    Flag("DisableSensorPressure", &S::DisableSensorPressure, Flags, CmdConfigurationFlags, true),
    Flag("DisableSensor4", &S::DisableSensor4, Flags, CmdConfigurationFlags, true),
    Flag("DisableConfig", &S::DisableConfig, Flags, CmdConfigurationFlags, true),
    Flag("DisableBacklight", &S::DisableBacklight, Flags, CmdConfigurationFlags, true),
    Flag("DisableAutoSense", &S::DisableAutoSense, Flags, CmdConfigurationFlags, true),
    Flag("Ps2Keyboard", &S::Ps2Keyboard, Flags, CmdConfigurationFlags, true),
    Flag("EnableReEnumeration", &S::EnableReEnumeration, Flags, CmdConfigurationFlags, true),
};

} // namespace

std::span<const RecordField> RecordFields() {
    return Fields;
}

const RecordField* FindRecordField(std::string_view name) {
    for (const RecordField& field : Fields)
        if (name == field.name)
            return &field;
    return nullptr;
}

unsigned FieldValue(const RecordField& field, const DeviceStatus& status) {
    return field.word ? status.*field.word : status.*field.flag;
}

void SetFieldValue(const RecordField& field, DeviceStatus& status, unsigned value) {
    if (field.word)
        status.*field.word = static_cast<uint16_t>(value);
    else
        status.*field.flag = value != 0 ? 1 : 0;
}

unsigned LargestHeldValue(const RecordField& field) {
    return field.largest;
}

unsigned HeldValue(const RecordField& field, unsigned value) {
    if (field.flag)
        return value != 0 ? 1 : 0;
    return value & LargestHeldValue(field);
}

std::string SettingsDifferences(const DeviceStatus& sent, const DeviceStatus& read) {
    std::string out;
    for (const RecordField& field : Fields) {
        if (field.command == 0)
            continue;
        const unsigned held = HeldValue(field, FieldValue(field, sent));
        const unsigned got = FieldValue(field, read);
        if (held == got)
            continue;
        if (!out.empty())
            out += "; ";
        out += std::string(field.name) + " sent " + std::to_string(held) + ", keyboard has " +
               std::to_string(got);
    }
    return out;
}
