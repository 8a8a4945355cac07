#pragma once

#include "device/HidBus.h"
#include "device/ReportSource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class CReaderThread;

// What the capability query found out about an interface.
struct HidCapabilities {
    uint16_t UsagePage = 0;
    uint16_t Usage = 0;
    uint32_t InputReportLength = 0;
    uint32_t OutputReportLength = 0;
};

// The program's one access to the keyboard: finds its configuration
// interface on the HID bus, opens it twice (one connection for writing, one
// for the reader thread), and owns the reader thread.
class CHidDevice final : public ReportSource {
public:
    explicit CHidDevice(std::shared_ptr<HidBus> bus);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Interface kinds found by QueryCapabilities.
    enum : uint8_t { KindConfiguration = 1, KindUsage2 = 2, KindVendorOther = 3, KindOther = 255 };

    // Searches the bus and opens the first configuration interface of a known
    // keyboard. Reader thread only.
    bool Open() override;
    // Classifies the interface described by `info`; keeps the report lengths
    // for the configuration interface only.
    void QueryCapabilities(const HidInterfaceInfo& info);
    // The kind of interface `info` describes, and whether it is the
    // configuration interface of a known keyboard: the one Open looks for.
    static uint8_t KindOf(const HidInterfaceInfo& info);
    static bool IsKeyboardConfiguration(const HidInterfaceInfo& info);
    // Reader thread only.
    int ReadReport(uint8_t* buffer, int timeoutMs) override;
    uint32_t InputLength() const override { return InputReportLength; }
    // Writes one output report: report ID 0, then at most 8 payload bytes,
    // zero-filled to the output report length. 0 written, 1 write failed,
    // 2 not the configuration interface, 3 no connection.
    int WriteReport(const uint8_t* payload, std::size_t length);
    bool StartReader();
    // Hotplug notifications of the bus (null where it gives none).
    std::unique_ptr<HidWatch> WatchBus(HidChangeHandler handler) override {
        return m_bus->watch(std::move(handler));
    }
    bool IsReading() const;
    // Stops the reader thread (waiting until it has stopped) and closes both
    // connections.
    void Close();

    // True when the last search saw a known keyboard's configuration
    // interface that could not be opened for want of permission.
    bool PermissionDenied() const { return m_permissionDenied.load(); }

    // The file whose KeyboardLock stands for the keyboard open now (see
    // HidBus::LockFile); empty without one.
    std::string LockFile() const;

    // Closes both connections. The reader thread calls it when a read fails;
    // Open and Close call it before replacing or dropping them.
    void CloseConnections() override;

    std::unique_ptr<CReaderThread> Reader;
    std::atomic<uint16_t> ProductId{0};
    HidCapabilities Capabilities;
    std::unique_ptr<HidConnection> WriteHandle;
    std::unique_ptr<HidConnection> ReadHandle;
    HidConnection* ConfigHandle = nullptr;
    uint8_t InterfaceKind = KindOther;
    uint32_t InputReportLength = 9;
    uint32_t OutputReportLength = 9;

private:
    std::shared_ptr<HidBus> m_bus;
    std::atomic<bool> m_permissionDenied{false};
    std::string m_openPath; // under m_connectionLock
    // Guards the connections against being replaced (reader thread, Open)
    // while the user-interface thread writes.
    mutable std::mutex m_connectionLock;
};
