#pragma once

#include <cstdint>
#include <initializer_list>

// The keyboard's fields: its settings and the last status it reported.
// The settings record and the reader thread each hold one block of this type,
// so that a full pull can take the reader's block over in one assignment.
// Flags are stored as 0 or 1 in one byte each.
struct DeviceStatus {
    uint16_t LowThreshold = 1000;
    uint16_t HighThreshold = 1000;
    uint16_t LeftLevel = 1000;
    uint16_t RightLevel = 1000;
    uint16_t PressureLevel = 1000;
    uint16_t Sensor4Level = 1000;
    uint16_t IntervalTimer = 3;
    uint16_t AlarmTimer = 24;
    uint16_t CleanTimer = 50;
    uint16_t KeystrokeAlarmTrigger = 1100;
    uint16_t KeystrokeCount = 20000;
    uint16_t IdNumber = 1234;
    uint8_t CleanActive = 0;
    uint8_t EnableTimer = 1;
    uint8_t EnableKeystroke = 1;
    uint8_t LedEnableStatus = 1;
    uint8_t LedAlarmOn = 0;
    uint8_t BeeperEnableStatus = 0;
    uint8_t BeeperAlarmOn = 0;
    uint8_t PowerOnWipe = 0;
    uint8_t HostModeEnable = 0;
    uint8_t HostLedOn = 0;
    uint8_t HostBeeperOn = 0;
    uint16_t NumberOfSensors = 2;
    uint8_t DisableSensorLeft = 0;
    uint8_t DisableSensorReft = 0;
    uint8_t DisableSensorPressure = 0;
    uint8_t DisableSensor4 = 0;
    uint8_t DisableConfig = 0;
    uint8_t DisableBacklight = 0;
    uint8_t DisableAutoSense = 0;
    uint8_t Ps2Keyboard = 0;
    uint8_t EnableReEnumeration = 0;

    bool operator==(const DeviceStatus&) const = default;
};

// The largest value the keyboard keeps in each field: the thresholds and the
// three timers travel to it as one byte each, the other 16-bit fields as two,
// and a flag is 0 or 1.
constexpr unsigned LargestValue(uint16_t DeviceStatus::*field) {
    for (uint16_t DeviceStatus::*byte :
         {&DeviceStatus::LowThreshold, &DeviceStatus::HighThreshold, &DeviceStatus::IntervalTimer,
          &DeviceStatus::AlarmTimer, &DeviceStatus::CleanTimer})
        if (field == byte)
            return 0xFF;
    return 0xFFFF;
}
constexpr unsigned LargestValue(uint8_t DeviceStatus::*) {
    return 1;
}
