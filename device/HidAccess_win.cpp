#include "device/HidAccess.h"

#include "settings/Utf8File.h"

#include <windows.h>

const char* const PermissionHint =
    " (the keyboard may not be opened: another program holds it; close that program)";

// A handle without read or write access opens whatever holds the device, so
// failing even that means the interface is gone; opening it for reading and
// writing failed, so another program has it to itself.
HidOpenError OpenFailure(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? HidOpenError::NotFound
                   : HidOpenError::Other;
    }
    CloseHandle(handle);
    return HidOpenError::PermissionDenied;
}
