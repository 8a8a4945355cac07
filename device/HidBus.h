#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the operating system tells about one HID interface (one top-level
// collection). Report lengths count the report ID byte.
struct HidInterfaceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint32_t inputReportLength = 9;
    uint32_t outputReportLength = 9;
};

// One open connection to a HID interface. Reports are always whole, with
// byte 0 the report ID, whatever the backend does with it.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    // Reads one input report into `buffer`. Returns the number of bytes
    // stored, 0 when `timeoutMs` passed without a report, -1 on error
    // (for example the device was unplugged).
    virtual int read(uint8_t* buffer, std::size_t length, int timeoutMs) = 0;
    // Writes one output report. Returns false on error.
    virtual bool write(const uint8_t* report, std::size_t length) = 0;
};

enum class HidOpenError { None, NotFound, PermissionDenied, Other };

// What a hotplug notification says: a HID interface arrived, or one left.
enum class HidChange { Arrived, Left };
using HidChangeHandler = std::function<void(HidChange)>;

// A running hotplug watch. Destroying it ends the notifications: once the
// destructor returned, the handler is not called again.
class HidWatch {
public:
    virtual ~HidWatch() = default;
};

// Access to the HID interfaces of the machine. enumerate() and open() are
// called from one thread at a time (the reader thread); the connections they
// hand out may be used from two threads, one reading and one writing.
class HidBus {
public:
    virtual ~HidBus() = default;
    virtual std::vector<HidInterfaceInfo> enumerate() = 0;
    virtual std::unique_ptr<HidConnection> open(const std::string& path,
                                                HidOpenError* error = nullptr) = 0;
    // The file whose KeyboardLock stands for the keyboard at `path`, shared
    // by every program that may write it; empty when no other program can
    // reach this keyboard.
    virtual std::string LockFile(const std::string& path) const {
        (void)path;
        return {};
    }
    // Calls `handler` (on the bus's own thread, or on whichever thread plugs
    // or unplugs) whenever an interface arrives or leaves. Null where the
    // platform or the bus tells nothing: then only the periodic search finds
    // a keyboard.
    virtual std::unique_ptr<HidWatch> watch(HidChangeHandler /*handler*/) { return nullptr; }
};
