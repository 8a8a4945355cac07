// The built-in keyboard's bus under threads: a wait ended by the bus going
// away, a bench's keyboard opened during a store; and the choice of bus from
// the environment's values (the variables themselves: CliTest). An unplug
// ending a wait: Hotplug; a reader thread beside a writing one: every
// KeyboardSession (SessionReplies, CliTest).

#include "device/DeviceIds.h"
#include "emulator/BusSelection.h"
#include "emulator/EmulatorBench.h"
#include "emulator/EmulatorBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <vector>
#include <thread>

using namespace std::chrono_literals;
using protocol::Report;
using Clock = std::chrono::steady_clock;

namespace {

// Time stands still unless a test moves it.
const EmulatorBus::Options Manual{.autonomous = false};

std::unique_ptr<HidConnection> OpenConfig(EmulatorBus& bus) {
    for (const auto& info : bus.enumerate())
        if (info.usagePage == VendorUsagePage && info.usage == ConfigurationUsage)
            return bus.open(info.path);
    return nullptr;
}

bool Write(HidConnection& c, const protocol::Payload& p) {
    Report r{};
    std::copy_n(p.bytes.begin(), p.length, r.begin() + 1);
    return c.write(r.data(), r.size());
}

} // namespace

// Destroying the bus ends a read waiting for a reply still held back, and
// does not wait for that reply.
TEST(EmulatorBus, AWaitIsEndedByTheBusGoingAway) {
    auto bus = std::make_unique<EmulatorBus>(Manual);
    auto c = OpenConfig(*bus);
    ASSERT_NE(c, nullptr);
    bus->SetReplyDelay(10s); // the clock thread waits for the reply, a reader for input
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    auto blocked = std::async(std::launch::async, [&c] {
        Report in{};
        return c->read(in.data(), in.size(), 3000);
    });
    std::this_thread::sleep_for(100ms);
    const auto destroyed = Clock::now();
    bus.reset();
    EXPECT_LT(Clock::now() - destroyed, 200ms);
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1) << "a connection outliving its bus fails";
}

// Opening a keyboard reads the state file for another process's changes: one
// opened while this process's store is being written must not take the
// older line for such a change and undo the store.
TEST(EmulatorBench, OpeningDuringAStoreDoesNotUndoIt) {
    const std::string file = ::testing::TempDir() + "kbconfig-bench-state";
    std::remove(file.c_str());
    EmulatorBench bench({.first = Manual, .stateFile = file});
    ASSERT_EQ(bench.Error(), "");
    const std::string config = EmulatorBench::PathPrefix(0) + "config";
    auto c = bench.open(config);
    std::atomic<bool> done{false};
    std::vector<std::thread> openers;
    for (int i = 0; i < 3; ++i)
        openers.emplace_back([&] {
            while (!done)
                bench.open(config);
        });
    int undone = 0;
    for (uint16_t low = 1; low <= 100; ++low) {
        bench.Keyboard(0).WithFirmware([low](KeyboardFirmware& f) {
            DeviceStatus s = f.State();
            s.LowThreshold = low;
            f.SetState(s);
        });
        ASSERT_TRUE(Write(*c, protocol::EncodeStore()));
        std::this_thread::yield();
        undone += bench.Keyboard(0).StoredState().LowThreshold != low;
    }
    done = true;
    for (auto& opener : openers)
        opener.join();
    EXPECT_EQ(undone, 0);
    std::remove(file.c_str());
    std::remove((file + ".1.lock").c_str());
}

TEST(BusSelection, TheBuiltInKeyboardOnlyWhenAskedFor) {
    const int standard = EmulatorBus::Options{}.productId;
    struct Case {
        const char* device;
        const char* product;
        int productId; // -1: the operating system's bus
    };
    const Case cases[] = {
        {nullptr, "0x0703", -1},         {"Emulator", nullptr, -1},
        {"emulator", nullptr, standard}, {"emulator", "0x0703", 0x0703},
        {"emulator", "1904", 1904},      {"emulator", "0x10000", standard},
        {"emulator", "-1", standard},    {"emulator", "0x07zz", standard},
    };
    for (const Case& c : cases) {
        const auto options = EmulatorOptionsFrom(c.device, c.product);
        EXPECT_EQ(options ? options->productId : -1, c.productId)
            << (c.device ? c.device : "(unset)") << " " << (c.product ? c.product : "(unset)");
    }
}
