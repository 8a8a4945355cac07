// The reader thread against a scripted bus: decoding under the lock, the
// pulls, the event log, losing and finding the keyboard, and stopping.

#include "FakeHidBus.h"
#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/DeviceIds.h"
#include "settings/KeyboardSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

template <typename Predicate> bool WaitFor(Predicate p, std::chrono::milliseconds limit = 3000ms) {
    const auto end = Clock::now() + limit;
    while (!p()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

protocol::Report Report(std::initializer_list<uint8_t> bytes) {
    protocol::Report r{};
    std::size_t i = 0;
    for (uint8_t b : bytes) {
        r[i++] = b;
    }
    return r;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A device with its reader running against a fake keyboard, in a scratch
// directory that receives the event log.
class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousDir = fs::current_path();
        dir = fs::temp_directory_path() /
              ("kbreader-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
        HidInterfaceInfo info;
        info.path = "config";
        info.vendorId = KeyboardVendorId;
        info.productId = 0x0705;
        info.usagePage = 0xFF00;
        info.usage = 1;
        bus->interfaces = {info};
        device = std::make_unique<CHidDevice>(bus);
    }
    void TearDown() override {
        device.reset();
        fs::current_path(previousDir);
        fs::remove_all(dir);
    }
    void StartAndConnect() {
        ASSERT_TRUE(device->StartReader());
        ASSERT_TRUE(WaitFor([&] { return device->IsReading(); }));
    }
    // Queues a report and waits until the reader has taken it off the bus and
    // decoded it.
    void Deliver(const protocol::Report& r) {
        const std::string text = protocol::ReportText(r.data());
        bus->Queue(r);
        ASSERT_TRUE(WaitFor([&] {
            std::lock_guard<std::mutex> lock(StatusLock);
            std::lock_guard<std::mutex> busLock(bus->m);
            return bus->pending.empty() && device->Reader->LastReportText == text;
        }));
    }

    std::shared_ptr<FakeHidBus> bus = std::make_shared<FakeHidBus>();
    std::unique_ptr<CHidDevice> device;
    fs::path dir, previousDir;
};

} // namespace

TEST_F(ReaderTest, TwoReportsBetweenPullsKeepBothFieldsAndTheLastText) {
    StartAndConnect();
    Deliver(Report({0, 2, 10, 20, 30, 8, 40, 0x04, 0x4C}));
    const auto second = Report({0, 3, 0x04, 0xD2});
    Deliver(second);

    KeyboardSettings settings;
    FILE* log = std::tmpfile();
    ASSERT_EQ(settings.PullFullStatus(device.get(), log), 0);
    EXPECT_TRUE(settings.ReplyReceived);
    EXPECT_TRUE(settings.DevicePresent);
    EXPECT_EQ(settings.LowThreshold, 10);
    EXPECT_EQ(settings.KeystrokeAlarmTrigger, 1100);
    EXPECT_EQ(settings.IdNumber, 1234);
    EXPECT_EQ(settings.AlarmTimer, 8);
    EXPECT_EQ(settings.LastReportText, protocol::ReportText(second.data()));
    // The reader's own starting values came along with the block.
    EXPECT_EQ(settings.LeftLevel, 1000);

    // Only the text of the report taken over is logged, once.
    std::rewind(log);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, log), nullptr);
    EXPECT_EQ(std::string(line), "00 03 04 D2 00 00 00 00 00 \n");
    EXPECT_EQ(std::fgets(line, sizeof line, log), nullptr);

    // A pull that finds no reply copies the flags and logs nothing.
    const long size = std::ftell(log);
    ASSERT_EQ(settings.PullFullStatus(device.get(), log), 0);
    EXPECT_FALSE(settings.ReplyReceived);
    EXPECT_TRUE(settings.DevicePresent);
    EXPECT_EQ(std::ftell(log), size);
    std::fclose(log);
}

TEST_F(ReaderTest, LivePullTakesOnlyLiveFields) {
    StartAndConnect();
    KeyboardSettings settings;
    settings.LowThreshold = 77; // an edit not yet sent
    Deliver(Report({0, 2, 10, 20, 30, 8, 40, 0, 5}));
    ASSERT_EQ(settings.PullLiveStatus(device.get(), nullptr), 0);
    EXPECT_TRUE(settings.ReplyReceived);
    EXPECT_EQ(settings.LowThreshold, 77);
    EXPECT_EQ(settings.AlarmTimer, 24);
    {
        std::lock_guard<std::mutex> lock(StatusLock);
        EXPECT_EQ(device->Reader->ReplyReceived, 0);
    }
    // The thresholds come with the next full pull that finds a reply.
    Deliver(Report({0, 1, 1, 2, 3, 4, 0x01, 0x02, 0x05}));
    ASSERT_EQ(settings.PullLiveStatus(device.get(), nullptr), 0);
    EXPECT_EQ(settings.LowThreshold, 77);
    EXPECT_EQ(settings.LeftLevel, 1);
    EXPECT_EQ(settings.Sensor4Level, 4);
    EXPECT_EQ(settings.KeystrokeCount, 0x0102);
    EXPECT_EQ(settings.LedAlarmOn, 1);
    EXPECT_EQ(settings.BeeperAlarmOn, 0);
    EXPECT_EQ(settings.CleanActive, 1);
    Deliver(Report({0, 10}));
    ASSERT_EQ(settings.PullFullStatus(device.get(), nullptr), 0);
    EXPECT_EQ(settings.LowThreshold, 10);
}

TEST_F(ReaderTest, EventReportClearsAPendingReplyAndAppendsToTheEventLog) {
    StartAndConnect();
    Deliver(Report({0, 10}));
    const auto event = Report({0, 11, 0xAA});
    Deliver(event);
    Deliver(event);

    KeyboardSettings settings;
    const DeviceStatus before = settings.Block();
    ASSERT_EQ(settings.PullFullStatus(device.get(), nullptr), 0);
    EXPECT_FALSE(settings.ReplyReceived);
    EXPECT_TRUE(settings.DevicePresent);
    EXPECT_EQ(settings.Block(), before);

    const std::string log = ReadAll(dir / "eventlog.txt");
    const std::string text = "00 0B AA 00 00 00 00 00 00 :";
    ASSERT_EQ(log.size(), 2 * (27 + 1 + 25));
    EXPECT_EQ(log.substr(0, 28), text);
    EXPECT_EQ(log.substr(53, 28), text);
    // "Www Mmm dd hh:mm:ss yyyy\n" with the day always two digits.
    const std::string time = log.substr(28, 25);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(time[8])));
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(time[9])));
    EXPECT_EQ(time[13], ':');
    EXPECT_EQ(time.back(), '\n');
}

TEST_F(ReaderTest, UnknownTypesClearPresenceWhileReadingGoesOn) {
    StartAndConnect();
    KeyboardSettings settings;
    for (uint8_t type : {0, 12}) {
        Deliver(Report({0, 2, 50}));
        Deliver(Report({0, type, 99}));
        ASSERT_EQ(settings.PullFullStatus(device.get(), nullptr), 0);
        EXPECT_FALSE(settings.DevicePresent) << int(type);
        EXPECT_FALSE(settings.ReplyReceived) << int(type);
        EXPECT_TRUE(device->IsReading());
    }
    // The next known report brings presence back.
    Deliver(Report({0, 10}));
    ASSERT_EQ(settings.PullFullStatus(device.get(), nullptr), 0);
    EXPECT_TRUE(settings.DevicePresent);
    EXPECT_EQ(settings.LowThreshold, 50);
}

TEST_F(ReaderTest, PullsWithoutDeviceOrReader) {
    KeyboardSettings settings;
    settings.DevicePresent = true;
    EXPECT_EQ(settings.PullFullStatus(nullptr, nullptr), -1);
    EXPECT_EQ(settings.PullLiveStatus(device.get(), nullptr), -2);
    EXPECT_TRUE(settings.DevicePresent);
}

TEST_F(ReaderTest, SearchesEverySecondUntilTheKeyboardIsThere) {
    bus->Unplug();
    ASSERT_TRUE(device->StartReader());
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(bus->m);
        return bus->enumerations >= 1;
    }));
    std::this_thread::sleep_for(1500ms);
    const int tries = [&] {
        std::lock_guard<std::mutex> lock(bus->m);
        return bus->enumerations;
    }();
    EXPECT_EQ(tries, 2); // at once, then after 1000 ms
    EXPECT_FALSE(device->IsReading());
    EXPECT_EQ(device->Reader->DevicePresent, 0);

    bus->Plug();
    const auto plugged = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return device->IsReading(); }, 2000ms));
    EXPECT_LT(Clock::now() - plugged, 1200ms);
    EXPECT_EQ(device->Reader->DevicePresent, 1);
}

TEST_F(ReaderTest, UnplugIsNoticedAndTheKeyboardIsFoundAgain) {
    StartAndConnect();
    bus->Unplug();
    ASSERT_TRUE(WaitFor([&] { return !device->IsReading(); }, 1000ms));
    EXPECT_EQ(device->Reader->DevicePresent, 0);
    // Both old connections were closed: writing now has no connection.
    const uint8_t store = 9;
    EXPECT_EQ(device->WriteReport(&store, 1), 3);

    bus->Plug();
    const auto plugged = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return device->IsReading(); }, 2500ms));
    EXPECT_LT(Clock::now() - plugged, 1500ms);
    EXPECT_EQ(device->WriteReport(&store, 1), 0);
}

TEST_F(ReaderTest, CloseReturnsPromptlyWhileTheReaderWaits) {
    StartAndConnect();
    std::this_thread::sleep_for(50ms); // blocked in a read, nothing coming
    CReaderThread* reader = device->Reader.get();
    EXPECT_EQ(reader->Stopped, 0);
    const auto start = Clock::now();
    device->Close();
    EXPECT_LT(Clock::now() - start, 400ms);
    EXPECT_EQ(device->Reader, nullptr);
    EXPECT_EQ(device->WriteHandle, nullptr);
    EXPECT_EQ(device->ReadHandle, nullptr);

    // And while it sleeps between two searches.
    auto idle = std::make_unique<CHidDevice>(std::make_shared<FakeHidBus>());
    ASSERT_TRUE(idle->StartReader());
    std::this_thread::sleep_for(50ms);
    const auto start2 = Clock::now();
    idle->Close();
    EXPECT_LT(Clock::now() - start2, 400ms);
}

TEST_F(ReaderTest, AReportReadWhileStoppingIsDropped) {
    StartAndConnect();
    bus->beforeDelivery = [this] { device->Reader->KeepRunning = 0; };
    CReaderThread* reader = device->Reader.get();
    bus->Queue(Report({0, 3, 0x11, 0x22}));
    ASSERT_TRUE(WaitFor([&] { return reader->Stopped == 1; }));
    EXPECT_EQ(reader->Status.IdNumber, 1234);
    EXPECT_TRUE(reader->LastReportText.empty());
    EXPECT_EQ(reader->ReplyReceived, 0);
}
