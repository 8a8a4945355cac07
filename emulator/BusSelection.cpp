#include "emulator/BusSelection.h"

#include "device/HidapiBus.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

std::optional<EmulatorBus::Options> EmulatorOptionsFrom(const char* device, const char* product) {
    if (device == nullptr || std::string_view(device) != "emulator")
        return std::nullopt;
    EmulatorBus::Options options;
    if (product != nullptr && *product != '\0' && *product != '-') {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(product, &end, 0);
        if (errno == 0 && *end == '\0' && value <= 0xFFFF)
            options.productId = static_cast<uint16_t>(value);
    }
    return options;
}

std::shared_ptr<HidBus> CreateBusFromEnvironment() {
    if (auto options = EmulatorOptionsFrom(std::getenv("KBCONFIG_DEVICE"),
                                           std::getenv("KBCONFIG_EMULATOR_PRODUCT")))
        return std::make_shared<EmulatorBus>(*options);
    return CreateHidapiBus();
}
