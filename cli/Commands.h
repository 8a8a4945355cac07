#pragma once

#include "cli/CommandLine.h"
#include "device/HidBus.h"

#include <memory>

// Runs the command against the keyboards on `bus`; data goes to stdout,
// errors to stderr one line each. Returns the exit code.
int RunCommand(const CommandLine& line, std::shared_ptr<HidBus> bus);
