#pragma once

#include "device/HidBus.h"
#include "emulator/EmulatorBench.h"
#include "emulator/EmulatorBus.h"

#include <memory>
#include <optional>
#include <string>

// The built-in keyboard when KBCONFIG_DEVICE is "emulator", otherwise the
// operating system's HID bus. KBCONFIG_EMULATOR_PRODUCT (for example
// "0x0703") picks the built-in keyboard's product ID.
//
// For scripts and tests, three more variables make a bench of built-in
// keyboards (EmulatorBench):
//   KBCONFIG_EMULATOR_COUNT=N    N keyboards (1 to 16)
//   KBCONFIG_EMULATOR_STATE=FILE what they hold and stored is kept in FILE
//   KBCONFIG_EMULATOR_FAULTS=... blank- or comma-separated faults:
//     "unplug-at-write=K" the first keyboard vanishes as its Kth report is written
//     "replug-after=MS"   ... and is plugged back in MS ms later
//     "deny-open"         no keyboard may be opened (permission denied)
//     "silent"            no keyboard answers
//     "chatter"           a live status report comes before every answer
//     "power-cycle"       every keyboard loses power and comes back first
struct BusChoice {
    std::shared_ptr<HidBus> bus; // null when the environment names none that runs
    enum class Problem { None, Variable, StateFile } problem = Problem::None;
    std::string error;     // one line naming the variable or the file
    std::string stateFile; // the built-in keyboards' state file, if any
};
BusChoice ChooseBusFromEnvironment();
// The same for the window: a problem is told on standard error, and the
// built-in keyboard is then not plugged in.
std::shared_ptr<HidBus> CreateBusFromEnvironment();

// The built-in keyboard's options from the two variables' values (either may
// be null); nothing when `device` does not ask for the built-in keyboard.
// A product ID that is not a 16-bit number is ignored.
std::optional<EmulatorBus::Options> EmulatorOptionsFrom(const char* device, const char* product);

// The bench's options from the three variables' values (any may be null);
// nothing when they ask for no more than one plain keyboard, or when the
// count is not a number from 1 to 16 (`error` then names it). Faults that
// are not known are ignored.
std::optional<EmulatorBench::Options> BenchOptionsFrom(const EmulatorBus::Options& first,
                                                       const char* count, const char* stateFile,
                                                       const char* faults, std::string& error);
