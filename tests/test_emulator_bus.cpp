// The built-in keyboard reached through the HID bus interface: its answers,
// what it keeps across a power cycle, plugging, faults and threads.

#include "device/DeviceIds.h"
#include "emulator/EmulatorBus.h"
#include "emulator/StatusText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using protocol::Report;
using Clock = std::chrono::steady_clock;

namespace {

// Time stands still unless a test moves it.
const EmulatorBus::Options Manual{.autonomous = false};

std::string ConfigPath(EmulatorBus& bus) {
    for (const auto& info : bus.enumerate())
        if (info.usagePage == VendorUsagePage && info.usage == ConfigurationUsage)
            return info.path;
    return {};
}

std::unique_ptr<HidConnection> OpenConfig(EmulatorBus& bus) {
    return bus.open(ConfigPath(bus));
}

bool Write(HidConnection& c, const protocol::Payload& p) {
    Report r{};
    std::copy_n(p.bytes.begin(), p.length, r.begin() + 1);
    return c.write(r.data(), r.size());
}

// One report; all zeros when none came within the timeout.
Report ReadOne(HidConnection& c, int timeoutMs = 1000) {
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

// Each report the program may write, to a fresh keyboard: the type of the one
// answer (0 for none) and the state it leaves, which `send` writes into.
TEST(EmulatorBus, AnswersRequestsWithTheirTypeAndTakesSettingsWithAReply) {
    using protocol::TypeReply;
    struct Case {
        const char* name;
        uint8_t answer;
        std::function<protocol::Payload(DeviceStatus&)> send;
    };
    const auto bytes = [](uint8_t command, uint8_t data) {
        return [=](DeviceStatus&) { return protocol::Payload{{command, data}, 2}; };
    };
    const Case cases[] = {
        {"live status", 1, bytes(protocol::CmdRequest, 1)},
        {"thresholds and timers", 2, bytes(protocol::CmdRequest, 2)},
        {"ID number", 3, bytes(protocol::CmdRequest, 3)},
        {"configuration flags", 4, bytes(protocol::CmdRequest, 4)},
        {"request for type 5", 0, bytes(protocol::CmdRequest, 5)},
        {"set thresholds and timers", TypeReply,
         [](DeviceStatus& s) {
             s.LowThreshold = 33;
             s.HighThreshold = 222;
             s.IntervalTimer = 7;
             s.AlarmTimer = 99;
             s.CleanTimer = 12;
             s.KeystrokeAlarmTrigger = 0x1234;
             return protocol::EncodeThresholdsAndTimers(s);
         }},
        {"set ID number", TypeReply,
         [](DeviceStatus& s) {
             s.IdNumber = 0xBEEF;
             return protocol::EncodeIdNumber(s);
         }},
        {"set configuration flags", TypeReply,
         [](DeviceStatus& s) {
             for (uint8_t* f :
                  {&s.EnableTimer, &s.EnableKeystroke, &s.LedEnableStatus, &s.HostLedOn,
                   &s.BeeperEnableStatus, &s.HostBeeperOn, &s.PowerOnWipe, &s.HostModeEnable,
                   &s.Ps2Keyboard, &s.DisableBacklight, &s.DisableConfig, &s.DisableAutoSense,
                   &s.DisableSensorLeft, &s.DisableSensorReft, &s.DisableSensorPressure,
                   &s.DisableSensor4, &s.EnableReEnumeration})
                 *f = !*f;
             return protocol::EncodeConfigurationFlags(s);
         }},
        {"store", TypeReply, [](DeviceStatus&) { return protocol::EncodeStore(); }},
        {"unknown command", 0, bytes(12, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatorBus bus(Manual);
        auto connection = OpenConfig(bus);
        ASSERT_NE(connection, nullptr);
        DeviceStatus expected = bus.FirmwareState();
        ASSERT_TRUE(Write(*connection, c.send(expected)));

        Report wanted{0, c.answer}; // a bare reply, or all zeros for none
        if (c.answer >= 1 && c.answer <= 4)
            wanted = protocol::EncodeInputReport(c.answer, expected);
        EXPECT_EQ(ReadOne(*connection, c.answer == 0 ? 50 : 1000), wanted);
        EXPECT_EQ(ReadOne(*connection, 0), Report{}) << "a single answer";
        EXPECT_EQ(StatusDifferences(expected, bus.FirmwareState()), "");
    }
}

TEST(EmulatorBus, UnplugFailsOldConnectionsAndReplugBringsBackWhatWasStored) {
    EmulatorBus bus(Manual);
    auto c = OpenConfig(bus);
    const std::string path = ConfigPath(bus);
    DeviceStatus s = bus.FirmwareState();
    const uint16_t factoryLow = s.LowThreshold;
    s.IdNumber = 77;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    ASSERT_TRUE(Write(*c, protocol::EncodeStore()));
    s.IdNumber = 78;
    s.LowThreshold = 5;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    ASSERT_TRUE(Write(*c, protocol::EncodeThresholdsAndTimers(s)));

    // A waiting read is woken by the unplug.
    auto blocked = ReadUntilFailure(*c);
    std::this_thread::sleep_for(50ms);
    bus.Unplug();
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1);
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_TRUE(bus.enumerate().empty());
    HidOpenError error = HidOpenError::None;
    EXPECT_EQ(bus.open(path, &error), nullptr);
    EXPECT_EQ(error, HidOpenError::NotFound);
    bus.SendEvent(); // sent into the void

    bus.Plug();
    Report r{};
    EXPECT_EQ(c->read(r.data(), r.size(), 10), -1) << "an old connection stays dead";
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_EQ(ConfigPath(bus), path);
    auto fresh = bus.open(path, &error);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->read(r.data(), r.size(), 10), 0) << "nothing from while it was unplugged";
    ASSERT_TRUE(Write(*fresh, protocol::EncodeRequest(3)));
    EXPECT_EQ(ReadOne(*fresh), (Report{0, 3, 0, 77, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bus.FirmwareState().LowThreshold, factoryLow) << "never stored";
}

TEST(EmulatorBus, FaultsOnDemand) {
    EmulatorBus bus(Manual);
    auto c = OpenConfig(bus);
    Report r{};

    bus.SetDropReplies(true); // the setting is taken without a word
    DeviceStatus s = bus.FirmwareState();
    s.IdNumber = 4321;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    EXPECT_EQ(c->read(r.data(), r.size(), 100), 0);
    EXPECT_EQ(bus.FirmwareState().IdNumber, 4321);
    bus.SetDropReplies(false);

    bus.SetReplyDelay(300ms);
    const auto start = Clock::now();
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(3)));
    EXPECT_EQ(c->read(r.data(), r.size(), 100), 0);
    EXPECT_EQ(ReadOne(*c, 2000)[1], 3);
    EXPECT_GE(Clock::now() - start, 300ms);
    bus.SetReplyDelay(0ms);

    bus.SetFailWrites(true);
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_EQ(c->read(r.data(), r.size(), 50), 0) << "a failed write reaches nothing";
    bus.SetFailWrites(false);
    EXPECT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_EQ(ReadOne(*c)[1], 1);

    const Report unknown{0, 12, 1, 2, 3, 4, 5, 6, 7};
    bus.SendReport(unknown);
    EXPECT_EQ(ReadOne(*c), unknown);
    bus.SendEvent();
    EXPECT_EQ(ReadOne(*c)[1], protocol::TypeEvent);

    bus.SetPermissionDenied(true);
    HidOpenError error = HidOpenError::None;
    EXPECT_EQ(bus.open(ConfigPath(bus), &error), nullptr);
    EXPECT_EQ(error, HidOpenError::PermissionDenied);
    bus.SetPermissionDenied(false);
    EXPECT_NE(bus.open(ConfigPath(bus), &error), nullptr);
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

TEST(EmulatorBus, DestructorReturnsPromptlyWhileThreadsWait) {
    auto bus = std::make_unique<EmulatorBus>(Manual);
    bus->SetReplyDelay(10s); // the clock thread waits for the reply, a reader for input
    auto c = OpenConfig(*bus);
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    auto blocked = ReadUntilFailure(*c);
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    bus.reset();
    EXPECT_LT(Clock::now() - start, 200ms);
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1) << "a connection outliving its bus fails";
}
