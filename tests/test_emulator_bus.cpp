// The built-in keyboard reached through the HID bus interface: enumeration,
// the exchange of reports, plugging, faults and threads.

#include "device/CHidDevice.h"
#include "device/DeviceIds.h"
#include "emulator/EmulatorBus.h"
#include "emulator/StatusText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using protocol::Report;
using Clock = std::chrono::steady_clock;

namespace {

EmulatorBus::Options Manual(uint16_t productId = 0x0705) {
    EmulatorBus::Options o;
    o.productId = productId;
    o.autonomous = false;
    return o;
}

std::string ConfigPath(EmulatorBus& bus) {
    for (const auto& info : bus.enumerate())
        if (info.vendorId == KeyboardVendorId && info.usagePage == VendorUsagePage &&
            info.usage == ConfigurationUsage)
            return info.path;
    return {};
}

std::unique_ptr<HidConnection> OpenConfig(EmulatorBus& bus) {
    return bus.open(ConfigPath(bus));
}

Report Output(const protocol::Payload& p) {
    Report r{};
    std::copy_n(p.bytes.begin(), p.length, r.begin() + 1);
    return r;
}

bool Write(HidConnection& c, const protocol::Payload& p) {
    const Report r = Output(p);
    return c.write(r.data(), r.size());
}

// Reads one report; type 0 when none came within the timeout.
Report ReadOne(HidConnection& c, int timeoutMs = 1000) {
    Report r{};
    const int n = c.read(r.data(), r.size(), timeoutMs);
    if (n != static_cast<int>(r.size()))
        r = Report{};
    return r;
}

} // namespace

TEST(EmulatorBus, PresentsTheKeyboardsInterfacesWithTheConfigurationOneNotFirst) {
    EmulatorBus bus(Manual(0x0703));
    HidInterfaceInfo foreign;
    foreign.path = "elsewhere";
    foreign.vendorId = 0x1234;
    foreign.productId = 0x0705;
    bus.AddForeignInterface(foreign);

    const auto list = bus.enumerate();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].path, "elsewhere");
    int configIndex = -1;
    bool keyboard = false, vendor2 = false;
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_EQ(list[i].vendorId, KeyboardVendorId);
        EXPECT_EQ(list[i].productId, 0x0703);
        keyboard = keyboard || (list[i].usagePage == 1 && list[i].usage == 6);
        vendor2 = vendor2 || (list[i].usagePage == VendorUsagePage && list[i].usage == 2);
        if (list[i].usagePage == VendorUsagePage && list[i].usage == ConfigurationUsage) {
            configIndex = static_cast<int>(i);
            EXPECT_EQ(list[i].inputReportLength, 9u);
            EXPECT_EQ(list[i].outputReportLength, 9u);
        }
    }
    EXPECT_TRUE(keyboard);
    EXPECT_TRUE(vendor2);
    EXPECT_GT(configIndex, 1)
        << "the configuration interface must not come first of the keyboard's";

    // The program's search finds it among the others.
    auto device = std::make_unique<CHidDevice>(std::make_shared<EmulatorBus>(Manual(0x0769)));
    ASSERT_TRUE(device->Open());
    EXPECT_EQ(device->ProductId, 0x0769);
    EXPECT_EQ(device->InterfaceKind, CHidDevice::KindConfiguration);

    bus.Unplug();
    ASSERT_EQ(bus.enumerate().size(), 1u);
    EXPECT_NE(bus.open("elsewhere"), nullptr) << "foreign devices stay";
}

TEST(EmulatorBus, RequestsAndSettingsTravelAsWholeReports) {
    EmulatorBus bus(Manual());
    auto c = OpenConfig(bus);
    ASSERT_NE(c, nullptr);

    for (uint8_t type = 1; type <= 4; ++type) {
        ASSERT_TRUE(Write(*c, protocol::EncodeRequest(type)));
        EXPECT_EQ(ReadOne(*c), protocol::EncodeInputReport(type, bus.FirmwareState()));
    }

    DeviceStatus wanted = bus.FirmwareState();
    wanted.IdNumber = 0x0102;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(wanted)));
    EXPECT_EQ(ReadOne(*c)[1], protocol::TypeReply);
    EXPECT_EQ(bus.FirmwareState(), wanted);

    const auto written = bus.WrittenReports();
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[4], (Report{0, 6, 0x01, 0x02, 0, 0, 0, 0, 0}));
    bus.ClearWrittenReports();
    EXPECT_TRUE(bus.WrittenReports().empty());

    // The configuration interface takes 9-byte reports with report ID 0 only.
    Report withId = Output(protocol::EncodeRequest(1));
    withId[0] = 1;
    EXPECT_FALSE(c->write(withId.data(), withId.size()));
    EXPECT_FALSE(c->write(Output(protocol::EncodeRequest(1)).data(), 8));
    EXPECT_EQ(c->read(withId.data(), withId.size(), 50), 0) << "nothing answered a refused write";
    EXPECT_TRUE(bus.WrittenReports().empty());

    // A short read buffer gets the front of the report.
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(3)));
    uint8_t two[2] = {};
    EXPECT_EQ(c->read(two, sizeof(two), 1000), 2);
    EXPECT_EQ(two[1], 3);
}

TEST(EmulatorBus, EveryOpenConfigurationConnectionGetsEachInputReport) {
    EmulatorBus bus(Manual());
    auto writer = OpenConfig(bus);
    auto reader = OpenConfig(bus);
    std::unique_ptr<HidConnection> keyboard;
    for (const auto& info : bus.enumerate())
        if (info.usagePage == 1)
            keyboard = bus.open(info.path);
    ASSERT_TRUE(writer && reader && keyboard);

    ASSERT_TRUE(Write(*writer, protocol::EncodeRequest(2)));
    EXPECT_EQ(ReadOne(*reader)[1], 2);
    EXPECT_EQ(ReadOne(*writer)[1], 2);
    Report r{};
    EXPECT_EQ(keyboard->read(r.data(), r.size(), 50), 0);
    // Reports to another interface do not reach the firmware.
    EXPECT_TRUE(Write(*keyboard, protocol::EncodeIdNumber(DeviceStatus{})));
    EXPECT_EQ(reader->read(r.data(), r.size(), 50), 0);
    EXPECT_EQ(bus.WrittenReports().size(), 1u);
}

TEST(EmulatorBus, UnplugFailsOldConnectionsAndReplugPowerCycles) {
    EmulatorBus bus(Manual());
    auto c = OpenConfig(bus);
    const std::string path = ConfigPath(bus);
    DeviceStatus s = bus.FirmwareState();
    s.IdNumber = 77;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    ASSERT_TRUE(Write(*c, protocol::EncodeStore()));
    s.IdNumber = 78;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    for (int i = 0; i < 3; ++i)
        ReadOne(*c);

    // A read waiting without a timeout is woken by the unplug.
    auto blocked = std::async(std::launch::async, [&] {
        Report r{};
        return c->read(r.data(), r.size(), -1);
    });
    std::this_thread::sleep_for(50ms);
    bus.Unplug();
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1);
    EXPECT_FALSE(bus.IsPlugged());
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    HidOpenError error = HidOpenError::None;
    EXPECT_EQ(bus.open(path, &error), nullptr);
    EXPECT_EQ(error, HidOpenError::NotFound);
    bus.SendEvent(); // sent into the void

    bus.Plug();
    Report r{};
    EXPECT_EQ(c->read(r.data(), r.size(), 10), -1) << "an old connection stays dead after replug";
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_EQ(bus.FirmwareState().IdNumber, 77) << "stored before the unplug";

    auto fresh = bus.open(path, &error);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->read(r.data(), r.size(), 10), 0) << "nothing from before the unplug";
    ASSERT_TRUE(Write(*fresh, protocol::EncodeRequest(3)));
    EXPECT_EQ(ReadOne(*fresh), (Report{0, 3, 0, 77, 0, 0, 0, 0, 0}));
}

TEST(EmulatorBus, FaultsOnDemand) {
    EmulatorBus bus(Manual());
    auto c = OpenConfig(bus);
    Report r{};

    // No reply: the keyboard takes the setting but says nothing.
    bus.SetDropReplies(true);
    DeviceStatus s = bus.FirmwareState();
    s.IdNumber = 4321;
    ASSERT_TRUE(Write(*c, protocol::EncodeIdNumber(s)));
    EXPECT_EQ(c->read(r.data(), r.size(), 100), 0);
    EXPECT_EQ(bus.FirmwareState().IdNumber, 4321);
    bus.SetDropReplies(false);

    // Late reply.
    bus.SetReplyDelay(300ms);
    const auto start = Clock::now();
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(3)));
    EXPECT_EQ(c->read(r.data(), r.size(), 100), 0);
    EXPECT_EQ(ReadOne(*c, 2000)[1], 3);
    EXPECT_GE(Clock::now() - start, 300ms);
    bus.SetReplyDelay(0ms);

    // Failed writes reach nothing.
    bus.ClearWrittenReports();
    bus.SetFailWrites(true);
    EXPECT_FALSE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_TRUE(bus.WrittenReports().empty());
    bus.SetFailWrites(false);
    EXPECT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    EXPECT_EQ(ReadOne(*c)[1], 1);

    // Any report, of a type the protocol does not know, and events.
    const Report unknown{0, 12, 1, 2, 3, 4, 5, 6, 7};
    bus.SendReport(unknown);
    EXPECT_EQ(ReadOne(*c), unknown);
    bus.SendEvent();
    EXPECT_EQ(ReadOne(*c)[1], protocol::TypeEvent);

    // Permission denied on open, with the reason.
    bus.SetPermissionDenied(true);
    HidOpenError error = HidOpenError::None;
    EXPECT_EQ(bus.open(ConfigPath(bus), &error), nullptr);
    EXPECT_EQ(error, HidOpenError::PermissionDenied);
    bus.SetPermissionDenied(false);
    EXPECT_NE(bus.open(ConfigPath(bus), &error), nullptr);

    // The program's search learns why it could not open the keyboard.
    auto denied = std::make_shared<EmulatorBus>(Manual());
    denied->SetPermissionDenied(true);
    CHidDevice device(denied);
    EXPECT_FALSE(device.Open());
    EXPECT_TRUE(device.PermissionDenied());
}

TEST(EmulatorBus, FloodKeepsItsRateAndAFullQueueDropsTheOldest) {
    EmulatorBus bus(Manual());
    auto c = OpenConfig(bus);
    const uint16_t first = bus.FirmwareState().KeystrokeCount;
    const auto start = Clock::now();
    bus.Flood(500, 100);
    for (int i = 1; i <= 100; ++i) {
        const Report r = ReadOne(*c);
        ASSERT_EQ(r[1], protocol::TypeLiveStatus) << "report " << i;
        ASSERT_EQ((r[6] << 8) | r[7], first + i) << "reports arrive in order, none lost";
    }
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 150ms) << "100 reports at 500 a second take about 200 ms";
    EXPECT_LT(took, 2s);
    EXPECT_EQ(bus.DroppedReports(), 0u);

    auto options = Manual();
    options.queueCapacity = 4;
    EmulatorBus small(options);
    auto d = OpenConfig(small);
    Report none{};
    EXPECT_EQ(d->read(none.data(), none.size(), 0), 0); // a connection in use
    for (uint8_t i = 0; i < 10; ++i)
        small.SendReport(Report{0, 12, i});
    for (uint8_t i = 6; i < 10; ++i)
        EXPECT_EQ(ReadOne(*d)[2], i);
    EXPECT_EQ(small.DroppedReports(), 6u);
}

TEST(EmulatorBus, AutonomousClockMovesValuesAndSendsEvents) {
    EmulatorBus::Options o;
    o.autonomous = true;
    EmulatorBus bus(o);
    bus.WithFirmware([](KeyboardFirmware& fw) { fw.SetEventInterval(300ms); });
    auto c = OpenConfig(bus);
    const DeviceStatus before = bus.FirmwareState();
    const Report r = ReadOne(*c, 3000);
    EXPECT_EQ(r[1], protocol::TypeEvent);
    EXPECT_NE(bus.FirmwareState(), before);

    // Advance() drives the same clock by hand.
    EmulatorBus manual(Manual());
    auto m = OpenConfig(manual);
    manual.WithFirmware([](KeyboardFirmware& fw) { fw.SetEventInterval(1s); });
    manual.Advance(1s);
    EXPECT_EQ(ReadOne(*m)[1], protocol::TypeEvent);
}

TEST(EmulatorBus, ReaderAndWriterThreadsShareAConnectionPair) {
    EmulatorBus::Options o;
    o.autonomous = true; // the clock thread joins in
    EmulatorBus bus(o);
    auto writer = OpenConfig(bus);
    auto reader = OpenConfig(bus);
    constexpr int Rounds = 200;
    std::atomic<bool> done{false};
    std::atomic<int> answers[5] = {};
    std::thread readerThread([&] {
        Report r{};
        while (!done) {
            if (reader->read(r.data(), r.size(), 20) == 9 && r[1] >= 1 && r[1] <= 4)
                ++answers[r[1]];
        }
    });
    auto answered = [&] { return answers[1] + answers[2] + answers[3] + answers[4]; };
    const auto deadline = Clock::now() + 5s;
    for (int i = 0; i < Rounds; ++i) {
        // Keep a few requests in flight, well below the queue's capacity.
        while (answered() < i - 8 && Clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_TRUE(Write(*writer, protocol::EncodeRequest(static_cast<uint8_t>(1 + i % 4))));
        if (i % 16 == 0)
            bus.FirmwareState();
    }
    while (answered() < Rounds && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    done = true;
    readerThread.join();
    for (int t = 1; t <= 4; ++t)
        EXPECT_EQ(answers[t], Rounds / 4) << "type " << t;
    EXPECT_EQ(bus.DroppedReports(), 0u) << "the unread writer connection does not count";
}

TEST(EmulatorBus, DestructorReturnsPromptlyWhileThreadsWait) {
    EmulatorBus::Options o;
    o.autonomous = true;
    auto bus = std::make_unique<EmulatorBus>(o);
    bus->SetReplyDelay(10s);
    bus->Flood(10, 1000);
    auto c = OpenConfig(*bus);
    ASSERT_TRUE(Write(*c, protocol::EncodeRequest(1)));
    auto blocked = std::async(std::launch::async, [&] {
        Report r{};
        int n;
        while ((n = c->read(r.data(), r.size(), -1)) > 0) {
        }
        return n;
    });
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    bus.reset();
    EXPECT_LT(Clock::now() - start, 200ms);
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1) << "a connection outliving its bus fails";
}
