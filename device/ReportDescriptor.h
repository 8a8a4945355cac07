#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The usage page and usage of a top-level collection.
struct HidUsage {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    bool operator==(const HidUsage&) const = default;
};

// The usages of the top-level collections of a HID report descriptor, in
// order: what a backend lists one interface entry for. A truncated
// descriptor yields the collections before the cut.
std::vector<HidUsage> TopLevelUsages(const uint8_t* descriptor, std::size_t length);
