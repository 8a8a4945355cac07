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
