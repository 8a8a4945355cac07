// The built-in keyboard's bus in time and under threads: late replies, failed
// writes, waits ended by an unplug and by the bus going away, a reader thread
// beside a writing one, a bench's keyboard opened during a store; and the
// choice of bus from the environment's values (the variables themselves:
// CliTest).

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

// One report; all zeros when none came within the timeout.
Report ReadOne(HidConnection& c, int timeoutMs) {
    Report r{};
    if (c.read(r.data(), r.size(), timeoutMs) != static_cast<int>(r.size()))
        r = Report{};
    return r;
}

// Reads until a read fails or waits 3 s in vain; the last read's result.
std::future<int> ReadUntilFailure(HidConnection& c) {
    return std::async(std::launch::async, [&c] {
        Report r{};
        int n;
        while ((n = c.read(r.data(), r.size(), 3000)) > 0) {
        }
        return n;
    });
}

} // namespace

TEST(EmulatorBus, LateRepliesFailedWritesAndWaitsEndedByUnplugOrByTheBusGoingAway) {
    auto bus = std::make_unique<EmulatorBus>(Manual);
    auto first = OpenConfig(*bus);
    ASSERT_NE(first, nullptr);
    bus->SetReplyDelay(300ms);
    const auto start = Clock::now();
    ASSERT_TRUE(Write(*first, protocol::EncodeRequest(3)));
    EXPECT_EQ(ReadOne(*first, 100), Report{});
    EXPECT_EQ(ReadOne(*first, 2000)[1], 3);
    EXPECT_GE(Clock::now() - start, 300ms);
    bus->SetFailWrites(true);
    EXPECT_FALSE(Write(*first, protocol::EncodeRequest(1)));
    EXPECT_EQ(ReadOne(*first, 500), Report{}) << "a failed write reaches nothing";
    bus->SetFailWrites(false);

    auto blocked = ReadUntilFailure(*first);
    std::this_thread::sleep_for(50ms);
    bus->Unplug();
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1);

    bus->Plug();
    bus->SetReplyDelay(10s); // the clock thread waits for the reply, a reader for input
    auto c = OpenConfig(*bus);
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    blocked = ReadUntilFailure(*c);
    std::this_thread::sleep_for(100ms);
    const auto destroyed = Clock::now();
    bus.reset();
    EXPECT_LT(Clock::now() - destroyed, 200ms);
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1) << "a connection outliving its bus fails";
}

TEST(EmulatorBus, ReaderThreadGetsEveryAnswerWhileAnotherThreadWrites) {
    EmulatorBus bus;
    auto writer = OpenConfig(bus);
    auto reader = OpenConfig(bus);
    constexpr int Rounds = 200;
    std::atomic<bool> done{false};
    std::atomic<int> answers[5] = {};
    std::thread readerThread([&] {
        Report r{};
        while (!done)
            if (reader->read(r.data(), r.size(), 20) == 9 && r[1] >= 1 && r[1] <= 4)
                ++answers[r[1]];
    });
    auto answered = [&] { return answers[1] + answers[2] + answers[3] + answers[4]; };
    const auto deadline = Clock::now() + 5s;
    for (int i = 0; i < Rounds; ++i) {
        // A few requests in flight, well below the queue's capacity.
        while (answered() < i - 8 && Clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(Write(*writer, protocol::EncodeRequest(static_cast<uint8_t>(1 + i % 4))));
    }
    while (answered() < Rounds && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    done = true;
    readerThread.join();
    for (int t = 1; t <= 4; ++t)
        EXPECT_EQ(answers[t], Rounds / 4) << "type " << t;
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
        {nullptr, "0x0703", -1},         {"", nullptr, -1},
        {"Emulator", nullptr, -1},       {"hidapi", nullptr, -1},
        {"emulator", nullptr, standard}, {"emulator", "0x0703", 0x0703},
        {"emulator", "1904", 1904},      {"emulator", "", standard},
        {"emulator", "junk", standard},  {"emulator", "0x10000", standard},
        {"emulator", "-1", standard},    {"emulator", "0x07zz", standard},
    };
    for (const Case& c : cases) {
        const auto options = EmulatorOptionsFrom(c.device, c.product);
        EXPECT_EQ(options ? options->productId : -1, c.productId)
            << (c.device ? c.device : "(unset)") << " " << (c.product ? c.product : "(unset)");
    }
}
