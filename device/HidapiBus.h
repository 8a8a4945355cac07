#pragma once

#include "device/HidBus.h"

#include <memory>

// The HID bus of the operating system, through hidapi.
std::shared_ptr<HidBus> CreateHidapiBus();
