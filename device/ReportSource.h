#pragma once

#include "device/HidBus.h"

#include <cstdint>
#include <memory>

// What the reader thread needs of the keyboard it reads. CHidDevice provides
// it and owns its reader; the reader knows the device only through this, so
// neither of the two depends on the other.
class ReportSource {
public:
    // Searches the bus and opens the keyboard's configuration interface.
    virtual bool Open() = 0;
    // Waits at most `timeoutMs` for one report of InputLength() bytes: 1 read,
    // 0 none came, -1 the read failed (no connection, or the keyboard is gone).
    virtual int ReadReport(uint8_t* buffer, int timeoutMs) = 0;
    virtual uint32_t InputLength() const = 0;
    virtual void CloseConnections() = 0;
    // Hotplug notifications of the bus (null where it gives none).
    virtual std::unique_ptr<HidWatch> WatchBus(HidChangeHandler handler) = 0;

protected:
    ~ReportSource() = default;
};
