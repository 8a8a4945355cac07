#pragma once

#include "device/RecordFields.h"

#include <string>
#include <vector>

// One "KEY=VALUE" of the set command, checked.
struct Assignment {
    const RecordField* field = nullptr;
    unsigned value = 0;
};

// Reads every "KEY=VALUE". The keys are those of a settings file and IdNumber;
// a value is a decimal number (leading blanks and a plus sign allowed) that
// the keyboard holds as it is: 0 or 1 for a switch, 0 to 255 for the
// thresholds and timers (the keyboard keeps one byte of them), 0 to 65535 for
// the keystroke alarm trigger and the ID number. The ID number is converted
// as the Manufacturing page converts it. On the first bad one, returns false
// with a one-line message in `error`.
bool ParseAssignments(const std::vector<std::string>& texts, std::vector<Assignment>& out,
                      std::string& error);
