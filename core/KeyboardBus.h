#pragma once

#include "device/HidBus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A keyboard's configuration interface as the bus lists it.
struct KeyboardInterface {
    std::string path;
    uint16_t productId = 0;
};

// The configuration interfaces of known keyboards on the bus, each path once,
// in the bus's order: what CHidDevice would consider, in the order it would.
std::vector<KeyboardInterface> FindKeyboards(HidBus& bus);

// The bus as seen through a keyhole: only the interfaces at `path`. A
// CHidDevice on it opens that keyboard, or none.
std::shared_ptr<HidBus> OnlyPath(std::shared_ptr<HidBus> bus, std::string path);
