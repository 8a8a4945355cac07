// The choice of bus from the environment's values (the variables themselves:
// CliTest). The built-in keyboards are used by every other test: an unplug
// ending a wait by Hotplug, a reader thread beside a writing one by every
// KeyboardSession (SessionReplies, CliTest), two processes storing at once
// by CliTest.TwoWritersAtOnceKeepBothChanges.

#include "emulator/BusSelection.h"

#include <gtest/gtest.h>

TEST(BusSelection, TheBuiltInKeyboardOnlyWhenAskedFor) {
    const int standard = EmulatorBus::Options{}.productId;
    struct Case {
        const char* device;
        const char* product;
        int productId; // -1: the operating system's bus
    };
    const Case cases[] = {
        {nullptr, "0x0703", -1},         {"Emulator", nullptr, -1},
        {"emulator", nullptr, standard}, {"emulator", "0x0703", 0x0703},
        {"emulator", "1904", 1904},      {"emulator", "0x10000", standard},
        {"emulator", "-1", standard},    {"emulator", "0x07zz", standard},
    };
    for (const Case& c : cases) {
        const auto options = EmulatorOptionsFrom(c.device, c.product);
        EXPECT_EQ(options ? options->productId : -1, c.productId)
            << (c.device ? c.device : "(unset)") << " " << (c.product ? c.product : "(unset)");
    }
}
