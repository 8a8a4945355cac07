#pragma once

#include "vm_front.h"

#include <string>

// The hotplug storm through the real kernel, with the program (the polling
// machine on the hidapi bus) and `kbconfig-cli monitor` running; then the
// plug-to-shown figures over `measured` plug-ins with hotplug (and, if asked,
// with the periodic search alone).
void HotplugStorm(const std::string& cliPath, int measured, bool measureFallback);
