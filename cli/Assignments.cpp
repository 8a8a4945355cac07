#include "cli/Assignments.h"

#include "settings/IdNumberText.h"

#include <cctype>

namespace {

bool Settable(const RecordField& field) {
    return field.inSettingsFile || field.word == &DeviceStatus::IdNumber;
}

std::string SettableKeys() {
    std::string keys;
    for (const RecordField& field : RecordFields())
        if (Settable(field))
            keys += (keys.empty() ? "" : ", ") + std::string(field.name);
    return keys;
}

// A decimal number with optional leading blanks and plus sign, nothing after
// it; false when there is none or it has more than nine digits.
bool ReadNumber(const std::string& text, unsigned& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    const std::size_t first = i;
    value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (i - first >= 9)
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return i > first && i == text.size();
}

} // namespace

bool ParseAssignments(const std::vector<std::string>& texts, std::vector<Assignment>& out,
                      std::string& error) {
    out.clear();
    for (const std::string& text : texts) {
        const auto eq = text.find('=');
        if (eq == std::string::npos) {
            error = "\"" + text + "\" is not KEY=VALUE";
            return false;
        }
        const std::string key = text.substr(0, eq);
        const std::string valueText = text.substr(eq + 1);
        const RecordField* field = FindRecordField(key);
        if (!field || !Settable(*field)) {
            error = "unknown key \"" + key + "\"; the keys are " + SettableKeys();
            return false;
        }
        unsigned value = 0;
        const unsigned largest = LargestHeldValue(*field);
        if (!ReadNumber(valueText, value) || value > largest) {
            error = key + ": \"" + valueText + "\" is not a number from 0 to " +
                    std::to_string(largest);
            if (field->word == &DeviceStatus::IdNumber && !valueText.empty())
                error += " (the Manufacturing page would make " +
                         std::to_string(IdNumberFromText(valueText)) + " of it)";
            return false;
        }
        if (field->word == &DeviceStatus::IdNumber)
            value = IdNumberFromText(valueText);
        out.push_back({field, value});
    }
    return true;
}
