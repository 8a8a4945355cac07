#include "emulator/StatusText.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace {

// One field: its name and where it lives. Exactly one member pointer is set.
struct Field {
    const char* name;
    uint16_t DeviceStatus::*wide;
    uint8_t DeviceStatus::*narrow;
};

#define WIDE(f)                                                                                    \
    Field {                                                                                        \
#f, &DeviceStatus::f, nullptr                                                              \
    }
#define NARROW(f)                                                                                  \
    Field {                                                                                        \
#f, nullptr, &DeviceStatus::f                                                              \
    }

constexpr std::array<Field, 33> Fields = {
    WIDE(LowThreshold),
    WIDE(HighThreshold),
    WIDE(LeftLevel),
    WIDE(RightLevel),
    WIDE(PressureLevel),
    WIDE(Sensor4Level),
    WIDE(IntervalTimer),
    WIDE(AlarmTimer),
    WIDE(CleanTimer),
    WIDE(KeystrokeAlarmTrigger),
    WIDE(KeystrokeCount),
    WIDE(IdNumber),
    NARROW(CleanActive),
    NARROW(EnableTimer),
    NARROW(EnableKeystroke),
    NARROW(LedEnableStatus),
    NARROW(LedAlarmOn),
    NARROW(BeeperEnableStatus),
    NARROW(BeeperAlarmOn),
    NARROW(PowerOnWipe),
    NARROW(HostModeEnable),
    NARROW(HostLedOn),
    NARROW(HostBeeperOn),
    WIDE(NumberOfSensors),
    NARROW(DisableSensorLeft),
    NARROW(DisableSensorReft),
    NARROW(DisableSensorPressure),
    NARROW(DisableSensor4),
    NARROW(DisableConfig),
    NARROW(DisableBacklight),
    NARROW(DisableAutoSense),
    NARROW(Ps2Keyboard),
    NARROW(EnableReEnumeration),
};

#undef WIDE
#undef NARROW

unsigned long Value(const Field& f, const DeviceStatus& s) {
    return f.wide ? s.*f.wide : s.*f.narrow;
}

} // namespace

std::string FormatStatus(const DeviceStatus& status) {
    std::ostringstream out;
    for (const Field& f : Fields) {
        if (&f != &Fields.front())
            out << ' ';
        out << f.name << '=' << Value(f, status);
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
        bool known = false;
        for (const Field& f : Fields) {
            if (name != f.name)
                continue;
            known = true;
            if (f.wide && value <= 0xFFFF)
                status.*f.wide = static_cast<uint16_t>(value);
            else if (f.narrow && value <= 0xFF)
                status.*f.narrow = static_cast<uint8_t>(value);
            else
                return false;
        }
        if (!known)
            return false;
    }
    return true;
}

std::string StatusDifferences(const DeviceStatus& a, const DeviceStatus& b) {
    std::string out;
    for (const Field& f : Fields) {
        if (Value(f, a) == Value(f, b))
            continue;
        if (!out.empty())
            out += "; ";
        out += std::string(f.name) + ": " + std::to_string(Value(f, a)) + " -> " +
               std::to_string(Value(f, b));
    }
    return out;
}
