#include "emulator/BusSelection.h"

#include "device/HidapiBus.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

// A whole number in [low, high], or nothing.
std::optional<unsigned long> Number(const char* text, int base, unsigned long low,
                                    unsigned long high) {
    if (text == nullptr || *text == '\0' || *text == '-' || *text == '+')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, base);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<EmulatorBus::Options> EmulatorOptionsFrom(const char* device, const char* product) {
    if (device == nullptr || std::string_view(device) != "emulator")
        return std::nullopt;
    EmulatorBus::Options options;
    if (const auto value = Number(product, 0, 0, 0xFFFF))
        options.productId = static_cast<uint16_t>(*value);
    return options;
}

std::optional<EmulatorBench::Options> BenchOptionsFrom(const EmulatorBus::Options& first,
                                                       const char* count, const char* stateFile,
                                                       const char* faults, std::string& error) {
    EmulatorBench::Options options;
    options.first = first;
    if (count != nullptr) {
        const auto value = Number(count, 10, 1, EmulatorBench::MaxKeyboards);
        if (!value) {
            error = "KBCONFIG_EMULATOR_COUNT \"" + std::string(count) + "\" is not a number from 1 to " +
                    std::to_string(EmulatorBench::MaxKeyboards);
            return std::nullopt;
        }
        options.count = static_cast<int>(*value);
    }
    if (stateFile != nullptr)
        options.stateFile = stateFile;
    std::string list = faults != nullptr ? faults : "";
    for (char& c : list)
        if (c == ',')
            c = ' ';
    std::istringstream words(list);
    constexpr std::string_view UnplugAt = "unplug-at-write=";
    constexpr std::string_view ReplugAfter = "replug-after=";
    for (std::string word; words >> word;) {
        if (word == "deny-open")
            options.permissionDenied = true;
        else if (word == "silent")
            options.dropReplies = true;
        else if (word == "chatter")
            options.chatter = true;
        else if (word == "power-cycle")
            options.powerCycle = true;
        else if (word.rfind(UnplugAt, 0) == 0) {
            if (const auto k = Number(word.c_str() + UnplugAt.size(), 10, 1, 1000000))
                options.unplugAtWrite = static_cast<int>(*k);
        } else if (word.rfind(ReplugAfter, 0) == 0) {
            if (const auto ms = Number(word.c_str() + ReplugAfter.size(), 10, 1, 60000))
                options.replugAfterMs = static_cast<int>(*ms);
        }
    }
    const bool plain = options.count == 1 && options.stateFile.empty() && !options.powerCycle &&
                       !options.permissionDenied && !options.dropReplies && !options.chatter &&
                       options.unplugAtWrite == 0;
    if (plain)
        return std::nullopt;
    return options;
}

BusChoice ChooseBusFromEnvironment() {
    const auto options = EmulatorOptionsFrom(std::getenv("KBCONFIG_DEVICE"),
                                             std::getenv("KBCONFIG_EMULATOR_PRODUCT"));
    BusChoice choice;
    if (!options) {
        choice.bus = CreateHidapiBus();
        return choice;
    }
    const auto bench = BenchOptionsFrom(*options, std::getenv("KBCONFIG_EMULATOR_COUNT"),
                                        std::getenv("KBCONFIG_EMULATOR_STATE"),
                                        std::getenv("KBCONFIG_EMULATOR_FAULTS"), choice.error);
    if (!choice.error.empty()) {
        choice.problem = BusChoice::Problem::Variable;
        return choice;
    }
    if (!bench) {
        choice.bus = std::make_shared<EmulatorBus>(*options);
        return choice;
    }
    auto made = std::make_shared<EmulatorBench>(*bench);
    choice.stateFile = bench->stateFile;
    choice.error = made->Error();
    if (choice.error.empty())
        choice.bus = std::move(made);
    else
        choice.problem = BusChoice::Problem::StateFile;
    return choice;
}

std::shared_ptr<HidBus> CreateBusFromEnvironment() {
    BusChoice choice = ChooseBusFromEnvironment();
    if (choice.bus)
        return choice.bus;
    std::fprintf(stderr, "%s\n", choice.error.c_str());
    return std::make_shared<EmulatorBus>(EmulatorBus::Options{.pluggedIn = false});
}
