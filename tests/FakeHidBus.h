#pragma once

// A scripted HID bus for the device tests: a fixed list of interfaces, input
// reports queued by the test, every write recorded, and failures on demand.

#include "device/HidBus.h"
#include "device/ReportProtocol.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>

// An interface of the keyboard's vendor; the configuration interface unless
// told otherwise.
inline HidInterfaceInfo Interface(const std::string& path, uint16_t vendor, uint16_t product,
                                  uint16_t usagePage = 0xFF00, uint16_t usage = 1) {
    return {path, vendor, product, usagePage, usage};
}

class FakeHidBus : public HidBus, public std::enable_shared_from_this<FakeHidBus> {
public:
    std::vector<HidInterfaceInfo> enumerate() override {
        std::lock_guard<std::mutex> lock(m);
        return interfaces;
    }

    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        std::lock_guard<std::mutex> lock(m);
        opens.push_back(path);
        const bool denied = deniedPaths.count(path) != 0;
        const bool fail = denied || failOpenCalls.count(static_cast<int>(opens.size())) != 0;
        if (error)
            *error = !fail ? HidOpenError::None
                           : (denied ? HidOpenError::PermissionDenied : HidOpenError::Other);
        return fail ? nullptr : std::make_unique<Connection>(shared_from_this());
    }

    // Queues an input report and wakes a waiting read.
    void Queue(const protocol::Report& report) {
        {
            std::lock_guard<std::mutex> lock(m);
            pending.push_back(report);
        }
        wake.notify_all();
    }

    std::mutex m;
    std::condition_variable wake;
    std::vector<HidInterfaceInfo> interfaces;
    std::set<std::string> deniedPaths; // opening these fails for want of permission
    std::set<int> failOpenCalls;       // 1-based numbers of open() calls that fail
    std::vector<std::string> opens;
    std::vector<protocol::Report> pending;
    std::vector<std::vector<uint8_t>> writes;
    bool failWrites = false;
    // Runs inside a read just before it hands a report over.
    std::function<void()> beforeDelivery;

private:
    class Connection : public HidConnection {
    public:
        explicit Connection(std::shared_ptr<FakeHidBus> bus) : m_bus(std::move(bus)) {}
        int read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
            std::unique_lock<std::mutex> lock(m_bus->m);
            auto ready = [&] { return !m_bus->pending.empty(); };
            if (!m_bus->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
                return 0;
            const protocol::Report r = m_bus->pending.front();
            m_bus->pending.erase(m_bus->pending.begin());
            if (m_bus->beforeDelivery)
                m_bus->beforeDelivery();
            const std::size_t n = std::min(length, r.size());
            std::copy(r.begin(), r.begin() + static_cast<long>(n), buffer);
            return static_cast<int>(n);
        }
        bool write(const uint8_t* report, std::size_t length) override {
            std::lock_guard<std::mutex> lock(m_bus->m);
            if (m_bus->failWrites)
                return false;
            m_bus->writes.emplace_back(report, report + length);
            return true;
        }

    private:
        std::shared_ptr<FakeHidBus> m_bus;
    };
};
