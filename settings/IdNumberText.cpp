#include "settings/IdNumberText.h"

#include <cctype>

uint16_t IdNumberFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    // Computed in 32 bits whatever the width of this platform's unsigned long.
    constexpr uint64_t Largest = 0xFFFFFFFFu;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > Largest) {
            overflow = true;
            value = Largest;
        }
    }
    auto result = static_cast<uint32_t>(value);
    if (!overflow && negative)
        result = 0u - result;
    return static_cast<uint16_t>(result & 0xFFFFu);
}
