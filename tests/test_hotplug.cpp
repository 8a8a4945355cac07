// Hotplug with the built-in keyboard: notifications start a search at once,
// the periodic search catches what went untold, and a storm of notifications
// costs a few searches, not one each.

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

template <typename Predicate> Clock::duration TimeUntil(Predicate p, Clock::duration limit = 3s) {
    const auto start = Clock::now();
    while (!p() && Clock::now() - start < limit)
        std::this_thread::sleep_for(1ms);
    return Clock::now() - start;
}

class Hotplug : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.StartReader());
        ASSERT_LT(TimeUntil([&] { return device.IsReading(); }), 1s);
    }
    // Unplugs, waits while the reader searches in vain, plugs back in:
    // how long until the reader has the keyboard open again.
    Clock::duration Replug() {
        bus->Unplug();
        EXPECT_LT(TimeUntil([&] { return !device.IsReading(); }), 50ms);
        const uint8_t store = 9;
        EXPECT_LT(TimeUntil([&] { return device.WriteReport(&store, 1) == 3; }), 50ms)
            << "the lost connections are closed";
        std::this_thread::sleep_for(300ms);
        bus->Plug();
        return TimeUntil([&] { return device.IsReading(); });
    }

    std::shared_ptr<EmulatorBus> bus =
        std::make_shared<EmulatorBus>(EmulatorBus::Options{.autonomous = false});
    CHidDevice device{bus};
};

} // namespace

// An arrival that went untold is found by the next search, within a second.
TEST_F(Hotplug, ARemovalEndsTheReadsAnArrivalIsSearchedAtOnceAnUntoldOneWithinASecond) {
    for (int i = 0; i < 2; ++i)
        EXPECT_LT(Replug(), 100ms) << i;
    bus->SetNotifications(false);
    const Clock::duration took = Replug();
    EXPECT_LT(took, 1100ms);
    EXPECT_GT(took, 300ms);
}

TEST_F(Hotplug, AStormOfNotificationsCostsFewSearches) {
    bus->Unplug();
    ASSERT_LT(TimeUntil([&] { return !device.IsReading(); }), 50ms);
    std::this_thread::sleep_for(50ms);
    const uint64_t before = bus->Enumerations();
    const auto start = Clock::now();
    for (int i = 0; i < 500; ++i) {
        bus->Notify(i % 2 ? HidChange::Left : HidChange::Arrived);
        std::this_thread::sleep_for(200us);
    }
    std::this_thread::sleep_for(CReaderThread::SearchSpacing * 2);
    const auto spacings = (Clock::now() - start) / CReaderThread::SearchSpacing;
    EXPECT_LE(bus->Enumerations() - before, static_cast<uint64_t>(spacings) + 2);
    EXPECT_GE(bus->Enumerations() - before, 1u);
}
