// Finding the keyboard's configuration interface (and the usages a report
// descriptor gives it), and the framing of writes.

#include "FakeHidBus.h"
#include "device/CHidDevice.h"
#include "device/DeviceIds.h"
#include "device/ReportDescriptor.h"
#include "emulator/uhid/ReportDescriptors.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t V = KeyboardVendorId;
constexpr uint16_t Foreign = V + 1;

} // namespace

TEST(HidDeviceOpen, PicksTheFirstConfigurationInterfaceOfAKnownKeyboard) {
    auto bus = std::make_shared<FakeHidBus>();
    HidInterfaceInfo config = Interface("config-0703", V, 0x0703);
    config.inputReportLength = 17;
    config.outputReportLength = 33;
    bus->interfaces = {
        Interface("foreign", Foreign, 0x0705),
        Interface("unknown-product", V, 0x0710),
        Interface("generic-usage1", V, 0x0703, 0x0001, 1),
        Interface("vendor-usage2", V, 0x0703, 0xFF00, 2),
        config,
        Interface("config-0769", V, 0x0769),
    };
    CHidDevice device(bus);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0703);
    EXPECT_EQ(device.InputReportLength, 17u);
    EXPECT_EQ(device.OutputReportLength, 33u);
    EXPECT_EQ(device.ConfigHandle, device.WriteHandle.get());
    // Only the chosen interface was opened, twice; foreign ones never.
    EXPECT_EQ(bus->opens, (std::vector<std::string>{"config-0703", "config-0703"}));

    // Without the 0x0703 keyboard, the last product of the table is found.
    bus->interfaces.erase(bus->interfaces.begin() + 4);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0769);
    EXPECT_EQ(device.OutputReportLength, 9u);
}

TEST(HidDeviceOpen, FailedOpensMoveOnAndAForeignDeviceDeniedGivesNoHint) {
    // The first open of "a" works and the second fails: "a" is given up, its
    // first connection closed, and not tried again where a backend that lists
    // nested collections repeats its path; the search goes on with "b".
    auto bus = std::make_shared<FakeHidBus>();
    bus->interfaces = {Interface("a", V, 0x0705), Interface("a", V, 0x0705),
                       Interface("b", V, 0x0706)};
    bus->failOpenCalls = {2};
    CHidDevice device(bus);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0706);
    EXPECT_EQ(bus->opens, (std::vector<std::string>{"a", "a", "b", "b"}));

    // A foreign device that may not be opened is no reason for the hint a
    // known keyboard gives (Polling.StatusLineTellsUnplugAndAKeyboardThatMayNotBeOpened).
    bus->failOpenCalls.clear();
    bus->interfaces = {Interface("locked", Foreign, 0x0705)};
    bus->deniedPaths = {"locked"};
    EXPECT_FALSE(device.Open());
    EXPECT_FALSE(device.PermissionDenied());
}

TEST(HidDeviceWrite, FramesPayloadsIntoWholeZeroFilledReports) {
    auto bus = std::make_shared<FakeHidBus>();
    HidInterfaceInfo info = Interface("k", V, 0x0705);
    info.outputReportLength = 16;
    bus->interfaces = {info};
    CHidDevice device(bus);
    const uint8_t payload[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.WriteReport(payload, 12), 0); // at most 8 payload bytes
    std::vector<uint8_t> eight(16, 0);
    std::copy(payload, payload + 8, eight.begin() + 1);
    EXPECT_EQ(bus->writes, (std::vector<std::vector<uint8_t>>{eight}));

    bus->failWrites = true;
    EXPECT_EQ(device.WriteReport(payload, 2), 1);
}

// What the Linux listing makes of each node's report descriptor: one entry
// per top-level collection, nested ones and items after the last left out.
TEST(ReportDescriptor, GivesTheUsageOfEachTopLevelCollection) {
    using U = std::vector<HidUsage>;
    EXPECT_EQ(TopLevelUsages(ConfigurationDescriptor, sizeof ConfigurationDescriptor),
              (U{{0xFF00, 0x0001}}));
    const uint8_t two[] = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,       // mouse: Application
        0x09, 0x01, 0xA1, 0x00, 0xC0, 0xC0,       //   a nested Physical collection
        0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, // consumer control, a 4-byte usage
        0xFE, 0x02, 0x10, 0xAA, 0xBB,             //   a long item, skipped whole
        0xC0,                                     //
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1,       // cut inside the last item
    };
    EXPECT_EQ(TopLevelUsages(two, sizeof two), (U{{0x0001, 0x0002}, {0x000C, 0x0001}}));
}
