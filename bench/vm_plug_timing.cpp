// Figures in the test VM. Plug to shown: how long from creating our uhid
// keyboard to the program's first record shown ("Keyboard connected and
// active") and to its full read done, and from destroying it to "No Device",
// as median and maximum; run by the VM tests (the Linux one after its storm,
// with hotplug and, if asked, with the periodic search alone). One exchange:
// the time between two output reports reaching the keyboard while a command
// reads it (the Windows one, under wine and natively).

#include "device/HidapiBus.h"
#include "tests/vm/vm_harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

using namespace vmtest;

long vmtest::Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

std::string vmtest::Figures(std::vector<long> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? "none"
                      : "median " + std::to_string(ms[ms.size() / 2]) + " ms, max " +
                            std::to_string(ms.back()) + " ms over " + std::to_string(ms.size());
}

// The command sends each of show's requests once the answer to the one
// before has come back, so each gap is one exchange.
std::vector<long> vmtest::ExchangeTimes(Front& front, const std::string& command) {
    std::vector<long> gaps;
    for (int run = 0; run < 4; ++run) {
        front.Ask("received");
        Shell(command + " > /dev/null 2>&1");
        std::istringstream log(front.Ask("received").substr(8));
        long previous = -1;
        for (std::string entry; log >> entry; previous = std::atol(entry.c_str()))
            if (previous >= 0)
                gaps.push_back(std::atol(entry.c_str()) - previous);
    }
    return gaps;
}

namespace {

// A bus that tells nothing: the periodic search alone.
struct UntoldBus : HidBus {
    std::shared_ptr<HidBus> bus = CreateHidapiBus();
    std::vector<HidInterfaceInfo> enumerate() override { return bus->enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        return bus->open(path, error);
    }
};

// Times `count` plug-ins: to "Keyboard connected and active", and to the end
// of the full read.
void Measure(const char* what, std::shared_ptr<HidBus> bus, int count, std::mt19937& random) {
    StormKeyboard keyboard;
    Program program(std::move(bus), false);
    std::uniform_int_distribution<int> pause(0, RandomMaxMs);
    std::vector<long> shown, read, lost;
    auto locked = [&](auto f) { return program.Locked(f); };
    for (int i = 0; i < count; ++i) {
        const std::size_t shownBefore = locked([&] { return program.connectedAt.size(); });
        const std::size_t readBefore = locked([&] { return program.fullReadAt.size(); });
        const auto plugged = Clock::now();
        keyboard.Plug();
        keyboard.Serve(plugged + 5s, [&] { return locked([&] { return program.fullReadAt.size() > readBefore; }); });
        locked([&] {
            if (program.connectedAt.size() > shownBefore)
                shown.push_back(Ms(program.connectedAt[shownBefore] - plugged));
            if (program.fullReadAt.size() > readBefore)
                read.push_back(Ms(program.fullReadAt[readBefore] - plugged));
            return 0;
        });
        const std::size_t lostBefore = locked([&] { return program.lostAt.size(); });
        const auto unplugged = Clock::now();
        keyboard.Unplug();
        // The program sees the loss before the next plug-in.
        keyboard.Serve(Clock::now() + 2s, [&] { return locked([&] { return !program.connected; }); });
        locked([&] {
            if (program.lostAt.size() > lostBefore)
                lost.push_back(Ms(program.lostAt[lostBefore] - unplugged));
            return 0;
        });
        keyboard.Serve(std::chrono::milliseconds(pause(random)));
    }
    std::printf("  plug to \"Keyboard connected and active\", %s: %s\n", what, Figures(shown).c_str());
    std::printf("  plug to the full read done, %s: %s\n", what, Figures(read).c_str());
    std::printf("  unplug to \"No Device\", %s: %s\n", what, Figures(lost).c_str());
}

} // namespace

void vmtest::MeasurePlugToShown(int count, bool fallback, std::mt19937& random) {
    Measure("with hotplug", CreateHidapiBus(), count, random);
    if (fallback)
        Measure("periodic search alone", std::make_shared<UntoldBus>(), count, random);
}
