#pragma once

#include "cli/CommandSupport.h"

// Monitors the keyboard `opened` holds; a keyboard lost is waited for until
// it is back, and the lines go on.
int RunMonitor(const CommandLine& line, Opened& opened, const std::shared_ptr<HidBus>& bus,
               FILE* log);
