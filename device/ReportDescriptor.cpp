#include "device/ReportDescriptor.h"

namespace {

// Item tags (the prefix byte without its size bits).
constexpr uint8_t TagUsagePage = 0x04;   // global
constexpr uint8_t TagUsage = 0x08;       // local
constexpr uint8_t TagCollection = 0xA0;  // main
constexpr uint8_t TagEndCollection = 0xC0;
constexpr uint8_t LongItemPrefix = 0xFE;
constexpr uint8_t TypeMask = 0x0C; // the item type bits
constexpr uint8_t TypeMain = 0x00;

} // namespace

std::vector<HidUsage> TopLevelUsages(const uint8_t* descriptor, std::size_t length) {
    std::vector<HidUsage> usages;
    uint16_t usagePage = 0;
    // The first usage of the coming main item; a four-byte usage carries its
    // own page in the upper half.
    bool haveUsage = false;
    uint32_t usage = 0;
    std::size_t usageSize = 0;
    int depth = 0;
    for (std::size_t i = 0; i < length;) {
        const uint8_t prefix = descriptor[i];
        if (prefix == LongItemPrefix) {
            if (i + 1 >= length)
                break;
            i += 3 + descriptor[i + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (i + 1 + size > length)
            break;
        uint32_t value = 0;
        for (std::size_t k = 0; k < size; ++k)
            value |= static_cast<uint32_t>(descriptor[i + 1 + k]) << (8 * k);
        const uint8_t tag = prefix & 0xFC;
        if (tag == TagUsagePage) {
            usagePage = static_cast<uint16_t>(value);
        } else if (tag == TagUsage && !haveUsage) {
            haveUsage = true;
            usage = value;
            usageSize = size;
        } else if ((prefix & TypeMask) == TypeMain) {
            if (tag == TagCollection) {
                if (depth == 0) {
                    const uint16_t page =
                        usageSize == 4 ? static_cast<uint16_t>(usage >> 16) : usagePage;
                    usages.push_back({page, static_cast<uint16_t>(usage)});
                }
                ++depth;
            } else if (tag == TagEndCollection && depth > 0) {
                --depth;
            }
            haveUsage = false; // local items end with each main item
        }
        i += 1 + size;
    }
    return usages;
}
