#pragma once

#include "settings/DeviceStatus.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The record's 33 keyboard fields by name, in record order, with the reports
// that carry each: the input type that brings it from the keyboard and the
// output report that sends it (0 for the status fields, which are only read).
struct RecordField {
    const char* name;
    uint16_t DeviceStatus::*word; // exactly one of word and flag is set
    uint8_t DeviceStatus::*flag;
    uint8_t inputType;
    uint8_t command;
    bool inSettingsFile; // one of the 20 keyed lines of a settings file
    unsigned largest;    // the largest value the keyboard keeps (LargestValue)
};

std::span<const RecordField> RecordFields();
// The field of that exact name, or null.
const RecordField* FindRecordField(std::string_view name);

unsigned FieldValue(const RecordField& field, const DeviceStatus& status);
void SetFieldValue(const RecordField& field, DeviceStatus& status, unsigned value);

// The largest value the keyboard holds unchanged: 1 for a flag, 255 for the
// thresholds and timers, 65535 for the other 16-bit fields.
unsigned LargestHeldValue(const RecordField& field);
// What is left of `value` once it reached the keyboard.
unsigned HeldValue(const RecordField& field, unsigned value);

// The settings (fields of reports 5, 6 and 7) in which `read` differs from
// what sending `sent` leaves on the keyboard, as "Name sent X, keyboard has Y"
// joined by "; ". Empty when the keyboard holds everything that was sent.
std::string SettingsDifferences(const DeviceStatus& sent, const DeviceStatus& read);
