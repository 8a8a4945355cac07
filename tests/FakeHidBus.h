#pragma once

// A scripted HID bus for the device tests: a fixed list of interfaces, input
// reports queued by the test, every write recorded, and failures on demand.

#include "device/HidBus.h"
#include "device/ReportProtocol.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>

class FakeHidBus : public HidBus, public std::enable_shared_from_this<FakeHidBus> {
public:
    std::vector<HidInterfaceInfo> enumerate() override {
        std::lock_guard<std::mutex> lock(m);
        ++enumerations;
        return plugged ? interfaces : std::vector<HidInterfaceInfo>{};
    }

    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        std::lock_guard<std::mutex> lock(m);
        opens.push_back(path);
        int& remaining = failOpens[path];
        const bool failThisCall = failOpenCalls.count(static_cast<int>(opens.size())) != 0;
        if (remaining != 0 || !plugged || failThisCall) {
            if (remaining > 0) {
                --remaining;
            }
            if (error) {
                *error =
                    deniedPaths.count(path) ? HidOpenError::PermissionDenied : HidOpenError::Other;
            }
            return nullptr;
        }
        if (error) {
            *error = HidOpenError::None;
        }
        return std::make_unique<Connection>(shared_from_this(), generation);
    }

    void Queue(const protocol::Report& report) {
        {
            std::lock_guard<std::mutex> lock(m);
            pending.push_back(report);
        }
        wake.notify_all();
    }
    void Unplug() {
        {
            std::lock_guard<std::mutex> lock(m);
            plugged = false;
            ++generation;
        }
        wake.notify_all();
    }
    void Plug() {
        std::lock_guard<std::mutex> lock(m);
        plugged = true;
    }
    std::vector<std::vector<uint8_t>> Writes() {
        std::lock_guard<std::mutex> lock(m);
        return writes;
    }

    std::mutex m;
    std::condition_variable wake;
    std::vector<HidInterfaceInfo> interfaces;
    std::map<std::string, int> failOpens; // path -> failures to come (-1: always)
    std::set<std::string> deniedPaths;    // failures there are for want of permission
    std::set<int> failOpenCalls;          // 1-based numbers of open() calls that fail
    std::vector<std::string> opens;
    std::vector<protocol::Report> pending;
    std::vector<std::vector<uint8_t>> writes;
    bool failWrites = false;
    bool plugged = true;
    int generation = 0;
    int enumerations = 0;
    // Runs inside a read just before it hands a report over.
    std::function<void()> beforeDelivery;

private:
    class Connection : public HidConnection {
    public:
        Connection(std::shared_ptr<FakeHidBus> bus, int generation)
            : m_bus(std::move(bus)), m_generation(generation) {}
        int read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
            std::unique_lock<std::mutex> lock(m_bus->m);
            auto ready = [&] { return Gone() || !m_bus->pending.empty(); };
            m_bus->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
            if (Gone()) {
                return -1;
            }
            if (m_bus->pending.empty()) {
                return 0;
            }
            const protocol::Report r = m_bus->pending.front();
            m_bus->pending.erase(m_bus->pending.begin());
            if (m_bus->beforeDelivery) {
                m_bus->beforeDelivery();
            }
            const std::size_t n = std::min(length, r.size());
            std::copy(r.begin(), r.begin() + static_cast<long>(n), buffer);
            return static_cast<int>(n);
        }
        bool write(const uint8_t* report, std::size_t length) override {
            std::lock_guard<std::mutex> lock(m_bus->m);
            if (Gone() || m_bus->failWrites) {
                return false;
            }
            m_bus->writes.emplace_back(report, report + length);
            return true;
        }

    private:
        bool Gone() const { return !m_bus->plugged || m_bus->generation != m_generation; }
        std::shared_ptr<FakeHidBus> m_bus;
        int m_generation;
    };
};
