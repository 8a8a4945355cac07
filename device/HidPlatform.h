#pragma once

#include "device/HidBus.h"

#include <memory>
#include <vector>

// The parts of the hidapi bus that each platform does its own way.

// Linux: the hidraw nodes listed through libudev (sysfs), one entry per
// top-level collection of each node's report descriptor. hidapi opens them
// by path but never lists them, so a device that vanishes while the list is
// made is merely left out.
std::vector<HidInterfaceInfo> ListHidrawInterfaces();

// Linux (a udev monitor of the hidraw subsystem) and Windows (device
// interface notifications of the HID class): arrivals and removals.
std::unique_ptr<HidWatch> WatchHidInterfaces(HidChangeHandler handler);
