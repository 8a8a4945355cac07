// Finding the keyboard's configuration interface, and the framing of writes.

#include "FakeHidBus.h"
#include "device/CHidDevice.h"
#include "device/DeviceIds.h"

#include <gtest/gtest.h>

namespace {

HidInterfaceInfo Interface(const std::string& path, uint16_t vendor, uint16_t product,
                           uint16_t usagePage, uint16_t usage) {
    HidInterfaceInfo info;
    info.path = path;
    info.vendorId = vendor;
    info.productId = product;
    info.usagePage = usagePage;
    info.usage = usage;
    return info;
}

constexpr uint16_t V = KeyboardVendorId;

} // namespace

TEST(HidDeviceOpen, PicksTheFirstConfigurationInterfaceOfAKnownKeyboard) {
    auto bus = std::make_shared<FakeHidBus>();
    bus->interfaces = {
        Interface("foreign", static_cast<uint16_t>(V + 1), 0x0705, 0xFF00, 1),
        Interface("unknown-product", V, 0x0710, 0xFF00, 1),
        Interface("boot-keyboard", V, 0x0703, 0x0001, 6),
        Interface("vendor-usage2", V, 0x0703, 0xFF00, 2),
        Interface("vendor-other", V, 0x0703, 0xFF00, 3),
        Interface("config-0703", V, 0x0703, 0xFF00, 1),
        Interface("config-0769", V, 0x0769, 0xFF00, 1),
    };
    CHidDevice device(bus);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0703);
    EXPECT_EQ(device.InterfaceKind, CHidDevice::KindConfiguration);
    EXPECT_NE(device.ConfigHandle, nullptr);
    EXPECT_EQ(device.ConfigHandle, device.WriteHandle.get());
    EXPECT_NE(device.ReadHandle, nullptr);
    // Only the chosen interface was opened, twice; foreign ones never.
    EXPECT_EQ(bus->opens, (std::vector<std::string>{"config-0703", "config-0703"}));

    // Without the 0x0703 keyboard, the last product of the table is found.
    bus->interfaces.erase(bus->interfaces.begin() + 5);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0769);
}

TEST(HidDeviceOpen, ClassifiesInterfacesInOrder) {
    CHidDevice device(std::make_shared<FakeHidBus>());
    struct {
        uint16_t page, usage;
        uint8_t kind;
    } cases[] = {{0xFF00, 2, CHidDevice::KindUsage2}, // usage 2 wins over the vendor page
                 {0x0001, 2, CHidDevice::KindUsage2},
                 {0xFF00, 1, CHidDevice::KindConfiguration},
                 {0xFF00, 7, CHidDevice::KindVendorOther},
                 {0x0001, 1, CHidDevice::KindOther}};
    for (const auto& c : cases) {
        HidInterfaceInfo info = Interface("p", V, 0x0705, c.page, c.usage);
        info.inputReportLength = 17;
        info.outputReportLength = 33;
        device.InputReportLength = 9;
        device.OutputReportLength = 9;
        device.QueryCapabilities(info);
        EXPECT_EQ(device.InterfaceKind, c.kind) << std::hex << c.page << " " << c.usage;
        // Report lengths are taken over for the configuration interface only.
        const bool config = c.kind == CHidDevice::KindConfiguration;
        EXPECT_EQ(device.InputReportLength, config ? 17u : 9u);
        EXPECT_EQ(device.OutputReportLength, config ? 33u : 9u);
    }
}

TEST(HidDeviceOpen, SecondOpenFailingMovesOnAndDuplicatePathsOpenOnce) {
    auto bus = std::make_shared<FakeHidBus>();
    // A backend that lists nested collections repeats the path.
    bus->interfaces = {Interface("a", V, 0x0705, 0xFF00, 1), Interface("a", V, 0x0705, 0xFF00, 1),
                       Interface("b", V, 0x0706, 0xFF00, 1)};
    bus->failOpens["a"] = -1;
    CHidDevice device(bus);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ProductId, 0x0706);
    EXPECT_EQ(bus->opens, (std::vector<std::string>{"a", "b", "b"}));

    // The first open of "a" works and the second fails: "a" is given up,
    // its first connection closed, and the search goes on with "b".
    auto flaky = std::make_shared<FakeHidBus>();
    flaky->interfaces = {Interface("a", V, 0x0705, 0xFF00, 1),
                         Interface("b", V, 0x0706, 0xFF00, 1)};
    flaky->failOpenCalls = {2};
    CHidDevice second(flaky);
    ASSERT_TRUE(second.Open());
    EXPECT_EQ(second.ProductId, 0x0706);
    EXPECT_EQ(flaky->opens, (std::vector<std::string>{"a", "a", "b", "b"}));
}

TEST(HidDeviceOpen, ReportsAKeyboardThatCannotBeOpenedForWantOfPermission) {
    auto bus = std::make_shared<FakeHidBus>();
    bus->interfaces = {Interface("locked", V, 0x0705, 0xFF00, 1)};
    bus->failOpens["locked"] = -1;
    bus->deniedPaths.insert("locked");
    CHidDevice device(bus);
    EXPECT_FALSE(device.Open());
    EXPECT_TRUE(device.PermissionDenied());
    EXPECT_EQ(device.ProductId, 0);

    bus->failOpens["locked"] = 0;
    EXPECT_TRUE(device.Open());
    EXPECT_FALSE(device.PermissionDenied());

    // A foreign device that cannot be opened is no reason for the hint.
    auto other = std::make_shared<FakeHidBus>();
    other->interfaces = {Interface("x", static_cast<uint16_t>(V + 1), 0x0705, 0xFF00, 1)};
    other->deniedPaths.insert("x");
    other->failOpens["x"] = -1;
    CHidDevice none(other);
    EXPECT_FALSE(none.Open());
    EXPECT_FALSE(none.PermissionDenied());
}

TEST(HidDeviceWrite, FramesPayloadsIntoWholeReports) {
    auto bus = std::make_shared<FakeHidBus>();
    bus->interfaces = {Interface("k", V, 0x0705, 0xFF00, 1)};
    CHidDevice device(bus);
    const uint8_t payload[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

    EXPECT_EQ(device.WriteReport(payload, 1), 3); // nothing opened yet
    EXPECT_TRUE(bus->Writes().empty());

    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.WriteReport(payload, 1), 0);
    EXPECT_EQ(device.WriteReport(payload, 12), 0);
    const auto writes = bus->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], (std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(writes[1], (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));

    bus->failWrites = true;
    EXPECT_EQ(device.WriteReport(payload, 2), 1);

    // Open but not the configuration interface.
    device.ConfigHandle = nullptr;
    EXPECT_EQ(device.WriteReport(payload, 2), 2);
}

TEST(HidDeviceWrite, LongerOutputReportsAreZeroFilled) {
    auto bus = std::make_shared<FakeHidBus>();
    HidInterfaceInfo info = Interface("k", V, 0x0705, 0xFF00, 1);
    info.outputReportLength = 16;
    bus->interfaces = {info};
    CHidDevice device(bus);
    ASSERT_TRUE(device.Open());
    const uint8_t payload[3] = {6, 4, 0xD2};
    EXPECT_EQ(device.WriteReport(payload, 3), 0);
    std::vector<uint8_t> expected(16, 0);
    expected[1] = 6;
    expected[2] = 4;
    expected[3] = 0xD2;
    EXPECT_EQ(bus->Writes().at(0), expected);
}
