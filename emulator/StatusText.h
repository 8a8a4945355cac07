#pragma once

#include "settings/DeviceStatus.h"

#include <string>

// A DeviceStatus as one line of "Name=value" pairs, in field order, so that a
// keyboard running in another process can show its state to a test.
std::string FormatStatus(const DeviceStatus& status);

// Reads the pairs FormatStatus writes. Fields not named keep their values.
// False on an unknown name or a value that does not fit the field.
bool ParseStatus(const std::string& text, DeviceStatus& status);

// The fields that differ, as "Name: a -> b" separated by "; ". Empty when equal.
std::string StatusDifferences(const DeviceStatus& a, const DeviceStatus& b);
