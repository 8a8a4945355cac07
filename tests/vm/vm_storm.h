#pragma once

#include <string>

// One check's line ("PASS: what" or "FAIL: what -- detail"), counted.
bool Check(bool ok, const std::string& what, const std::string& detail = {});

// The hotplug storm through the real kernel, with the program (the polling
// machine on the hidapi bus) and `kbconfig-cli monitor` running; then the
// plug-to-shown figures over `measured` plug-ins with hotplug (and, if asked,
// with the periodic search alone).
void HotplugStorm(const std::string& cliPath, int measured, bool measureFallback);
