#pragma once

#include "device/HidBus.h"

#include <string>

// What keeps a keyboard that is there from being opened, which differs by
// platform: on Linux the hidraw node's permissions (the udev rule grants
// them); on Windows another program holding the device.

// Appended to "No Device" when a keyboard is there but may not be opened.
extern const char* const PermissionHint;

// Why an interface that was listed could not be opened: NotFound when it is
// gone, PermissionDenied when it is there but may not be opened, else Other.
HidOpenError OpenFailure(const std::string& path);
