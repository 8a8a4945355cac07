// The choice of bus from the environment.

#include "emulator/BusSelection.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32 // the C library there has only _putenv_s
#define setenv(name, value, overwrite) _putenv_s(name, value)
#define unsetenv(name) _putenv_s(name, "")
#endif

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

    setenv("KBCONFIG_DEVICE", "emulator", 1);
    setenv("KBCONFIG_EMULATOR_PRODUCT", "0x0703", 1);
    auto bus = CreateBusFromEnvironment();
    ASSERT_NE(dynamic_cast<EmulatorBus*>(bus.get()), nullptr);
    ASSERT_FALSE(bus->enumerate().empty());
    EXPECT_EQ(bus->enumerate().back().productId, 0x0703);

    unsetenv("KBCONFIG_DEVICE");
    unsetenv("KBCONFIG_EMULATOR_PRODUCT");
    bus = CreateBusFromEnvironment();
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(dynamic_cast<EmulatorBus*>(bus.get()), nullptr);
}
