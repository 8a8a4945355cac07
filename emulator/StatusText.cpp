#include "emulator/StatusText.h"

#include "device/RecordFields.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string_view>

std::string FormatStatus(const DeviceStatus& status) {
    std::ostringstream out;
    for (const RecordField& f : RecordFields()) {
        if (&f != &RecordFields().front())
            out << ' ';
        out << f.name << '=' << FieldValue(f, status);
    }
    return out.str();
}

bool ParseStatus(const std::string& text, DeviceStatus& status) {
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos || eq + 1 == pair.size())
            return false;
        const std::string_view name(pair.data(), eq);
        const std::string number = pair.substr(eq + 1);
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(number.c_str(), &end, 0);
        if (errno != 0 || *end != '\0' || number[0] == '-')
            return false;
        const RecordField* f = FindRecordField(name);
        if (!f)
            return false;
        if (f->word && value <= 0xFFFF)
            status.*f->word = static_cast<uint16_t>(value);
        else if (f->flag && value <= 0xFF)
            status.*f->flag = static_cast<uint8_t>(value);
        else
            return false;
    }
    return true;
}

std::string StatusDifferences(const DeviceStatus& a, const DeviceStatus& b) {
    std::string out;
    for (const RecordField& f : RecordFields()) {
        if (FieldValue(f, a) == FieldValue(f, b))
            continue;
        if (!out.empty())
            out += "; ";
        out += std::string(f.name) + ": " + std::to_string(FieldValue(f, a)) + " -> " +
               std::to_string(FieldValue(f, b));
    }
    return out;
}

namespace {

constexpr const char* StateFileHeader = "kbconfig built-in keyboards, state 1";
constexpr const char* Holds = "holds";
constexpr const char* Stored = "stored";

// Reads a state file's line: "N WORD FIELDS" with a word, or "N FIELDS"
// (the older form) without one.
bool ParseStateLine(const std::string& line, bool withWord, int& number, std::string& word,
                    std::string& fields) {
    std::istringstream in(line);
    if (!(in >> number) || number < 1 || (withWord && !(in >> word)))
        return false;
    std::getline(in >> std::ws, fields);
    DeviceStatus check;
    return fields.find('=') != std::string::npos && ParseStatus(fields, check);
}

} // namespace

KeptState KeptStateOf(const DeviceStatus& holds, const DeviceStatus& stored) {
    std::string settings;
    for (const RecordField& f : RecordFields())
        if (f.command != 0)
            settings += std::string(settings.empty() ? "" : " ") + f.name + '=' +
                        std::to_string(FieldValue(f, holds));
    return {settings, FormatStatus(stored)};
}

std::string FormatStateFile(const std::map<int, KeptState>& keyboards) {
    std::string text = std::string(StateFileHeader) + "\n";
    for (const auto& [number, kept] : keyboards) {
        const std::string n = std::to_string(number) + " ";
        text += n + Holds + " " + kept.holds + "\n" + n + Stored + " " + kept.stored + "\n";
    }
    return text;
}

bool ParseStateFile(const std::string& text, std::map<int, KeptState>& keyboards,
                    std::string& error) {
    keyboards.clear();
    std::istringstream in(text);
    std::string line;
    const bool headed = std::getline(in, line) && line == StateFileHeader;
    if (!headed) // the older form, or nothing at all
        in = std::istringstream(text);
    for (int at = headed ? 2 : 1; std::getline(in, line); ++at) {
        int number = 0;
        std::string word, fields;
        if (!ParseStateLine(line, headed, number, word, fields) ||
            (headed && word != Holds && word != Stored)) {
            error = "line " + std::to_string(at) + " is not one of a state file";
            keyboards.clear();
            return false;
        }
        KeptState& kept = keyboards[number];
        if (word == Holds) {
            kept.holds = fields;
            continue;
        }
        kept.stored = fields;
        if (!headed) { // what a keyboard stored it holds after a power cycle
            DeviceStatus status;
            ParseStatus(fields, status);
            kept.holds = KeptStateOf(status, status).holds;
        }
    }
    return true;
}
