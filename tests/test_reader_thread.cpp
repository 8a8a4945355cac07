// The reader thread against a scripted bus: decoding under the lock, the
// pulls, the event log and stopping; then hotplug with the built-in keyboard:
// notifications start a search at once, the periodic search catches what went
// untold, and a storm of notifications costs a few searches, not one each.

#include "FakeHidBus.h"
#include "ScratchFolder.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/DeviceIds.h"
#include "emulator/EmulatorBus.h"
#include "settings/KeyboardSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using protocol::Report;

namespace {

// How long until `p` holds; `limit` or a little more when it never does.
template <typename Predicate> Clock::duration TimeUntil(Predicate p, Clock::duration limit = 3s) {
    const auto start = Clock::now();
    while (!p() && Clock::now() - start < limit)
        std::this_thread::sleep_for(1ms);
    return Clock::now() - start;
}

// A device with its reader running against a fake keyboard, in a scratch
// directory that receives the event log.
class ReaderTest : public ::testing::Test, public ScratchFolder {
protected:
    void SetUp() override {
        previousDir = fs::current_path();
        fs::current_path(dir);
        bus->interfaces = {Interface("config", KeyboardVendorId, 0x0705)};
        device = std::make_unique<CHidDevice>(bus);
    }
    void TearDown() override {
        device.reset();
        fs::current_path(previousDir);
    }
    void StartAndConnect() {
        ASSERT_TRUE(device->StartReader());
        ASSERT_LT(TimeUntil([&] { return device->IsReading(); }), 3s);
    }
    // Queues a report and waits until the reader has taken it off the bus and
    // decoded it.
    void Deliver(const Report& r) {
        const std::string text = protocol::ReportText(r.data());
        bus->Queue(r);
        ASSERT_LT(TimeUntil([&] {
                      std::lock_guard<std::mutex> lock(StatusLock);
                      std::lock_guard<std::mutex> busLock(bus->m);
                      return bus->pending.empty() && device->Reader->LastReportText == text;
                  }),
                  3s);
    }

    // Delivers the report and takes it over with a full pull.
    void DeliverAndPull(KeyboardSettings& settings, const Report& r) {
        Deliver(r);
        ASSERT_EQ(settings.PullFullStatus(device.get(), nullptr), 0);
    }

    std::shared_ptr<FakeHidBus> bus = std::make_shared<FakeHidBus>();
    std::unique_ptr<CHidDevice> device;
    fs::path previousDir;
};

} // namespace

TEST_F(ReaderTest, FullPullsTakeTheWholeBlockLivePullsOnlyLiveFields) {
    KeyboardSettings settings;
    EXPECT_EQ(settings.PullFullStatus(nullptr, nullptr), -1);
    EXPECT_EQ(settings.PullLiveStatus(device.get(), nullptr), -2); // no reader yet

    // Two reports between pulls: the fields of both.
    StartAndConnect();
    Deliver(Report{0, 2, 10, 20, 30, 8, 40, 0x12, 0x34});
    DeliverAndPull(settings, Report{0, 3, 0x56, 0x78});
    EXPECT_TRUE(settings.ReplyReceived && settings.DevicePresent);
    EXPECT_EQ(settings.LowThreshold, 10);
    EXPECT_EQ(settings.KeystrokeAlarmTrigger, 0x1234);
    EXPECT_EQ(settings.IdNumber, 0x5678);
    EXPECT_EQ(settings.LeftLevel, 1000); // the reader's own starting value

    // A live pull leaves the settings, edited or not, to the next full pull.
    settings.LowThreshold = 77; // an edit not yet sent
    Deliver(Report{0, 2, 50, 20, 30, 9, 40, 0, 5});
    Deliver(Report{0, 1, 1, 2, 3, 4, 0x01, 0x02, 0x05});
    ASSERT_EQ(settings.PullLiveStatus(device.get(), nullptr), 0);
    EXPECT_TRUE(settings.ReplyReceived);
    EXPECT_EQ(settings.LowThreshold, 77);
    EXPECT_EQ(std::tie(settings.LeftLevel, settings.RightLevel, settings.PressureLevel,
                       settings.Sensor4Level, settings.KeystrokeCount),
              std::make_tuple(1, 2, 3, 4, 0x0102));
    EXPECT_EQ(settings.LedAlarmOn + 2 * settings.BeeperAlarmOn + 4 * settings.CleanActive, 5);
    DeliverAndPull(settings, Report{0, 10});
    EXPECT_EQ(settings.LowThreshold, 50);
}

TEST_F(ReaderTest, EventsAndUnknownTypesAreNoReplyEventsAreLogged) {
    StartAndConnect();
    KeyboardSettings settings;
    DeliverAndPull(settings, Report{0, 10}); // the reader's starting values
    const DeviceStatus before = settings.Block();
    DeliverAndPull(settings, Report{0, 11, 0xAA});
    EXPECT_FALSE(settings.ReplyReceived);
    EXPECT_TRUE(settings.DevicePresent);
    // An event keeps a reply before it that is still to be taken over, and
    // the pull logs and keeps the reply's text, not the event's; a pull that
    // finds no reply logs nothing.
    Deliver(Report{0, 10, 0xCC});
    Deliver(Report{0, 11, 0xBB});
    FILE* messageLog = std::fopen("messages.txt", "wb");
    ASSERT_EQ(settings.PullFullStatus(device.get(), messageLog), 0);
    EXPECT_TRUE(settings.ReplyReceived);
    EXPECT_EQ(settings.Block(), before); // neither the events nor the reply changed a field
    EXPECT_EQ(settings.LastReportText, "00 0A CC 00 00 00 00 00 00 ");
    ASSERT_EQ(settings.PullFullStatus(device.get(), messageLog), 0);
    std::fclose(messageLog);
    EXPECT_EQ(Read(dir / "messages.txt"), "00 0A CC 00 00 00 00 00 00 \n");

    // One line per event: its text, a colon, "Www Mmm dd hh:mm:ss yyyy", and
    // the platform's line end (a text file: CR LF on Windows).
    const std::string log = Read(dir / "eventlog.txt");
    const std::string time = R"(:\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}\r?\n)";
    EXPECT_TRUE(
        std::regex_match(log, std::regex("00 0B AA (00 ){6}" + time + "00 0B BB (00 ){6}" + time)))
        << log;

    // An unknown type (among them an output report's number) changes no
    // field and clears presence; reading goes on (the next report is
    // delivered), and the next reply brings presence back.
    for (uint8_t type : {0, 9, 12}) {
        DeliverAndPull(settings, Report{0, type, 99, 99, 99, 99, 99, 99, 99});
        EXPECT_FALSE(settings.DevicePresent || settings.ReplyReceived) << int(type);
        DeliverAndPull(settings, Report{0, 10});
        EXPECT_TRUE(settings.DevicePresent);
        EXPECT_EQ(settings.Block(), before) << int(type);
    }
}

#ifndef _WIN32
// A current directory that cannot be written (here: one that was removed,
// which stops root too) sends the events to the state folder.
TEST_F(ReaderTest, EventsGoToTheStateFolderWhenTheCurrentDirectoryIsNotWritable) {
    fs::create_directories(dir / "gone");
    fs::current_path(dir / "gone");
    fs::remove(dir / "gone");
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    StartAndConnect();
    Deliver(Report{0, 11, 0xCC});
    ::unsetenv("XDG_STATE_HOME");
    const std::string log = Read(dir / "state" / "kbconfig" / "eventlog.txt");
    EXPECT_TRUE(std::regex_match(log, std::regex("00 0B CC (00 ){6}:.{24}\n"))) << log;
}
#endif

// While the reader is blocked in a read with nothing coming, and while it
// sleeps between two searches for a keyboard that is not there.
TEST_F(ReaderTest, CloseReturnsPromptlyWhileTheReaderWaits) {
    StartAndConnect();
    CHidDevice idle(std::make_shared<FakeHidBus>());
    ASSERT_TRUE(idle.StartReader());
    std::this_thread::sleep_for(50ms);
    for (CHidDevice* d : {device.get(), &idle}) {
        const auto start = Clock::now();
        d->Close();
        EXPECT_LT(Clock::now() - start, 400ms);
        EXPECT_TRUE(d->Reader == nullptr && d->WriteHandle == nullptr && d->ReadHandle == nullptr);
    }
}

TEST_F(ReaderTest, AReportReadWhileStoppingIsDropped) {
    StartAndConnect();
    bus->beforeDelivery = [this] { device->Reader->KeepRunning = 0; };
    CReaderThread* reader = device->Reader.get();
    bus->Queue(Report{0, 3, 0x11, 0x22});
    ASSERT_LT(TimeUntil([&] { return reader->Stopped == 1; }), 3s);
    EXPECT_EQ(reader->Status.IdNumber, 1234);
    EXPECT_TRUE(reader->LastReportText.empty());
    EXPECT_EQ(reader->ReplyReceived, 0);
}

namespace {

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
