#pragma once

#include "device/HidBus.h"
#include "emulator/EmulatorBus.h"

#include <memory>
#include <optional>

// The built-in keyboard when KBCONFIG_DEVICE is "emulator", otherwise the
// operating system's HID bus. KBCONFIG_EMULATOR_PRODUCT (for example
// "0x0703") picks the built-in keyboard's product ID.
std::shared_ptr<HidBus> CreateBusFromEnvironment();

// The built-in keyboard's options from the two variables' values (either may
// be null); nothing when `device` does not ask for the built-in keyboard.
// A product ID that is not a 16-bit number is ignored.
std::optional<EmulatorBus::Options> EmulatorOptionsFrom(const char* device, const char* product);
