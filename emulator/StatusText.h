#pragma once

#include "settings/DeviceStatus.h"

#include <map>
#include <string>

// A DeviceStatus as one line of "Name=value" pairs, in field order, so that a
// keyboard running in another process can show its state to a test.
std::string FormatStatus(const DeviceStatus& status);

// Reads the pairs FormatStatus writes. Fields not named keep their values.
// False on an unknown name or a value that does not fit the field.
bool ParseStatus(const std::string& text, DeviceStatus& status);

// The fields that differ, as "Name: a -> b" separated by "; ". Empty when equal.
std::string StatusDifferences(const DeviceStatus& a, const DeviceStatus& b);

// What a built-in keyboard keeps between commands, each as FormatStatus text:
// the settings it holds (those reports 5, 6 and 7 set), and the copy "store"
// kept. An empty text names no field.
struct KeptState {
    std::string holds, stored;
    bool operator==(const KeptState&) const = default;
};
KeptState KeptStateOf(const DeviceStatus& holds, const DeviceStatus& stored);

// The built-in keyboards' state file: a header line, then "N holds ..." and
// "N stored ..." for keyboard N.
std::string FormatStateFile(const std::map<int, KeptState>& keyboards);
// Reads it back. An empty text names no keyboard; the older form without a
// header (lines "N Name=value ...": what keyboard N stored, and so holds) is
// read too. Any other text is not a state file: false, `error` naming the
// first line that does not read.
bool ParseStateFile(const std::string& text, std::map<int, KeptState>& keyboards,
                    std::string& error);
