#pragma once

// The built-in keyboard's bus inside: what its connections, its clock and its
// controls for tests share, under one lock. Only the bus's own files include it.

#include "emulator/EmulatorBus.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace emulator_bus {

using Clock = std::chrono::steady_clock;

enum class InterfaceRole { Keyboard, Vendor, Configuration, Foreign };

// What one open connection has been sent and not yet read.
struct InputQueue {
    InterfaceRole role;
    uint64_t generation;
    std::deque<protocol::Report> reports;
    bool everRead = false; // losses count only where someone reads
};

} // namespace emulator_bus

struct EmulatorBus::Impl {
    using Clock = emulator_bus::Clock;
    using InputQueue = emulator_bus::InputQueue;
    using InterfaceRole = emulator_bus::InterfaceRole;

    explicit Impl(const Options& o)
        : options(o), firmware(o.productId, o.seed), plugged(o.pluggedIn) {}

    mutable std::mutex lock;
    std::condition_variable readable; // readers wait for reports here
    std::condition_variable wake;     // the clock thread waits here

    const Options options;
    KeyboardFirmware firmware;
    bool plugged;
    bool closed = false;
    // Raised at every unplug: connections opened before it are dead for good.
    uint64_t generation = 1;
    std::vector<std::weak_ptr<InputQueue>> queues;
    std::vector<HidInterfaceInfo> foreign;
    std::vector<protocol::Report> written;
    uint64_t dropped = 0;

    bool dropReplies = false;
    bool holdReplies = false;
    std::vector<protocol::Report> held;
    bool failWrites = false;
    bool loseWrites = false;
    bool permissionDenied = false;
    std::chrono::milliseconds replyDelay{0};
    std::multimap<Clock::time_point, protocol::Report> delayed;

    bool notifications = true;
    std::map<uint64_t, HidChangeHandler> watchers;
    uint64_t nextWatcher = 1;
    uint64_t enumerations = 0;

    int floodLeft = 0;
    Clock::duration floodPeriod{};
    Clock::time_point floodNext;

    Clock::time_point nextTick = Clock::now() + KeyboardFirmware::Tick;
    std::thread clock;

    // All of the following run with `lock` held.
    void Notify(HidChange change) {
        if (!notifications)
            return;
        for (const auto& [id, handler] : watchers)
            handler(change);
    }

    bool Alive(const InputQueue& q) const {
        if (closed)
            return false;
        return q.role == InterfaceRole::Foreign || (plugged && q.generation == generation);
    }

    void Deliver(const protocol::Report& report) {
        if (!plugged)
            return;
        std::erase_if(queues, [](const std::weak_ptr<InputQueue>& q) { return q.expired(); });
        for (const auto& weak : queues) {
            auto q = weak.lock();
            if (!q || q->role != InterfaceRole::Configuration || q->generation != generation)
                continue;
            if (q->reports.size() >= std::max<std::size_t>(options.queueCapacity, 1)) {
                q->reports.pop_front();
                if (q->everRead)
                    ++dropped;
            }
            q->reports.push_back(report);
        }
        readable.notify_all();
    }

    void DeliverFirmwareOutput() {
        for (const auto& report : firmware.TakeOutput())
            Deliver(report);
    }

    // The answer to a write passes through the reply faults.
    void DeliverReplies() {
        for (const auto& report : firmware.TakeOutput()) {
            if (dropReplies)
                continue;
            if (holdReplies)
                held.push_back(report);
            else if (replyDelay.count() > 0) {
                delayed.emplace(Clock::now() + replyDelay, report);
                wake.notify_all();
            } else {
                Deliver(report);
            }
        }
    }

    bool Write(const InputQueue& q, const uint8_t* report, std::size_t length) {
        if (!Alive(q) || failWrites)
            return false;
        if (q.role != InterfaceRole::Configuration)
            return true; // the other interfaces take reports and ignore them
        // The configuration interface has 8-byte output reports and no
        // report IDs: a write is the report ID 0 and those 8 bytes.
        protocol::Report whole{};
        if (report == nullptr || length != whole.size() || report[0] != 0)
            return false;
        std::memcpy(whole.data(), report, whole.size());
        written.push_back(whole);
        if (loseWrites)
            return true;
        firmware.HandleOutputReport(whole.data(), whole.size());
        DeliverReplies();
        return true;
    }

    void RunClock() {
        std::unique_lock<std::mutex> guard(lock);
        while (!closed) {
            const auto now = Clock::now();
            if (options.autonomous && plugged) {
                // After a long stall, carry on from now instead of catching up.
                if (now - nextTick > std::chrono::seconds(1))
                    nextTick = now;
                while (nextTick <= now) {
                    firmware.Advance(KeyboardFirmware::Tick);
                    nextTick += KeyboardFirmware::Tick;
                }
                DeliverFirmwareOutput();
            } else {
                nextTick = now + KeyboardFirmware::Tick;
            }
            while (!delayed.empty() && delayed.begin()->first <= now) {
                Deliver(delayed.begin()->second);
                delayed.erase(delayed.begin());
            }
            while (floodLeft > 0 && floodNext <= now) {
                firmware.PressKey();
                DeliverFirmwareOutput();
                --floodLeft;
                floodNext += floodPeriod;
            }

            auto next = Clock::time_point::max();
            if (options.autonomous)
                next = nextTick;
            if (!delayed.empty())
                next = std::min(next, delayed.begin()->first);
            if (floodLeft > 0)
                next = std::min(next, floodNext);
            if (next == Clock::time_point::max())
                wake.wait(guard);
            else
                wake.wait_until(guard, next);
        }
    }
};
