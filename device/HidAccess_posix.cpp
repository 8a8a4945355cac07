#include "device/HidAccess.h"

#include <cerrno>
#include <unistd.h>

const char* const PermissionHint =
    " (the keyboard may not be opened: install the udev rule, see README)";

HidOpenError OpenFailure(const std::string& path) {
    if (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        return HidOpenError::PermissionDenied;
    if (::access(path.c_str(), F_OK) != 0)
        return HidOpenError::NotFound;
    return HidOpenError::Other;
}
