#pragma once

#include "device/HidBus.h"
#include "device/ReportProtocol.h"
#include "emulator/KeyboardFirmware.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The built-in keyboard reached through the HID bus interface, in process.
// It presents the interfaces a real keyboard does (a boot keyboard interface,
// a vendor interface of usage 2 and the configuration interface of usage
// page 0xFF00, usage 1), and answers through the firmware model.
// Thread-safe: tests and the reader thread may use it at the same time.
class EmulatorBus : public HidBus {
public:
    struct Options {
        uint16_t productId = 0x0705;
        // Live values move and event reports are sent now and then on a
        // background clock. Tests that want exact control switch it off and
        // call Advance() or the fault functions themselves.
        bool autonomous = true;
        bool pluggedIn = true;
        // Input reports each connection keeps until they are read; the oldest
        // is dropped when a new one arrives on a full queue (as hidraw does).
        std::size_t queueCapacity = 64;
        // Seed of the firmware's wandering values.
        uint32_t seed = 1;
    };
    EmulatorBus();
    explicit EmulatorBus(Options options);
    ~EmulatorBus() override;

    std::vector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path,
                                        HidOpenError* error = nullptr) override;
    // Tells of plugging and unplugging, on the thread that does it.
    std::unique_ptr<HidWatch> watch(HidChangeHandler handler) override;

    // Plugging: unplugging makes every open connection fail its reads and
    // writes; plugging in presents the keyboard again (after a simulated
    // power cycle: unsaved settings are lost, stored ones come back). Both
    // send a hotplug notification, unless switched off.
    void Plug();
    void Unplug();
    bool IsPlugged() const;

    // Faults on demand.
    void SetDropReplies(bool drop);                      // no reply at all
    void SetReplyDelay(std::chrono::milliseconds delay); // late replies
    // Holds replies back while on; switching it off delivers them all, late.
    void SetHoldReplies(bool hold);
    void SetFailWrites(bool fail);                       // writes fail
    // Writes succeed but the keyboard loses them: no effect, no reply.
    void SetLoseWrites(bool lose);
    void SetPermissionDenied(bool denied);               // open() fails with PermissionDenied
    void SendReport(const protocol::Report& report);     // any report, e.g. unknown type 12
    void SendEvent();                                    // one event report (type 11)
    // Sends `count` live-status reports at `perSecond` on a background thread.
    void Flood(int perSecond, int count);
    // Hotplug notifications: switched off, plugging tells nothing (a missed
    // event); Notify sends one without any change (another device came or went).
    void SetNotifications(bool on);
    void Notify(HidChange change);
    // Calls of enumerate() so far: the searches made.
    uint64_t Enumerations() const;
    // Adds a foreign HID interface (another vendor or product) to enumerate().
    void AddForeignInterface(const HidInterfaceInfo& info);

    // Moves the firmware's clock (live values, events) by `elapsed`.
    void Advance(std::chrono::milliseconds elapsed);

    // Copies of the firmware's state and of every output report written.
    DeviceStatus FirmwareState() const;
    DeviceStatus StoredState() const;
    std::vector<protocol::Report> WrittenReports() const;
    void ClearWrittenReports();
    // Input reports dropped because the queue of a connection that is being
    // read was full. (A connection nobody reads, such as the program's
    // writing one, loses its old reports without counting.)
    uint64_t DroppedReports() const;
    // Runs `change` on the firmware under the bus's lock.
    void WithFirmware(const std::function<void(KeyboardFirmware&)>& change);

private:
    friend class EmulatorBusConnection;
    friend class EmulatorWatch;
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};
