// A bench's keyboard opened during a store. The built-in keyboards, chosen
// by the environment's values, are used by every other test: an unplug
// ending a wait by Hotplug, a reader thread beside a writing one by every
// KeyboardSession (SessionReplies, CliTest), two processes storing at once
// by CliTest.TwoWritersAtOnceKeepBothChanges.

#include "device/ReportProtocol.h"
#include "emulator/EmulatorBench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

// Opening a keyboard reads the state file for another process's changes: one
// opened while this process's store is being written must not take the
// older line for such a change and undo the store.
TEST(EmulatorBench, OpeningDuringAStoreDoesNotUndoIt) {
    const EmulatorBus::Options Manual{.autonomous = false}; // time moves only with the test
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
        protocol::Report store{};
        const protocol::Payload payload = protocol::EncodeStore();
        std::copy_n(payload.bytes.begin(), payload.length, store.begin() + 1);
        ASSERT_TRUE(c->write(store.data(), store.size()));
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
