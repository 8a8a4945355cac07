// kb_vm_hid_test: runs inside the test VM, as root, with uhid and hid-generic
// loaded (tests/vm/README.md). It starts the uhid keyboard program and checks
// kbconfig-cli's show and apply against it over the hidapi bus, through
// /dev/hidrawN and the kernel's HID core; then the hotplug storm with the
// window's polling machine and the plug-to-shown figures.
//   kb_vm_hid_test [path of kb_uhid_keyboard] [path of kbconfig-cli]
// Prints one line per check and "vm-test: N passed, M failed"; exits 0 when
// every check passed.

#include "device/HidapiBus.h"
#include "emulator/uhid/ReportDescriptors.h"
#include "vm_harness.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace vmtest;

namespace {

constexpr int DefaultMeasured = 10;
constexpr uint16_t OtherVendor = 0x1209;
constexpr int StormArrivals = 200;
constexpr int LongStayEvery = 40;
// Over the 1.5 s a full read needs, with room for a slow machine.
constexpr auto LongStay = 4000ms;

long Entries(const char* folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
}

void Storm(StormKeyboard& keyboard, std::mt19937& random) {
    std::uniform_int_distribution<int> pause(0, RandomMaxMs);
    std::atomic<bool> stop{false};
    std::atomic<int> cycles{0};
    std::thread other([&] {
        for (; !stop; ++cycles)
            UhidDevice().Create("other", OtherVendor, 1, VendorUsage2Descriptor, nullptr);
    });
    for (int i = 1; i <= StormArrivals; ++i) {
        keyboard.Plug();
        keyboard.Serve(i % LongStayEvery ? std::chrono::milliseconds(pause(random)) : LongStay);
        keyboard.Unplug();
        keyboard.Serve(std::chrono::milliseconds(pause(random)));
    }
    stop = true;
    other.join();
    std::printf("  the unrelated device came and went %d times\n", cycles.load());
}

void CheckArrivals(const std::vector<Arrival>& arrivals, Program& program) {
    int longStays = 0, read = 0, early = 0, written = 0;
    std::string unread;
    std::lock_guard<std::mutex> lock(program.m);
    for (const Arrival& a : arrivals) {
        early += a.early;
        written += a.settings > 0;
        if (a.unplugged - a.plugged < 1500ms)
            continue;
        ++longStays;
        const bool done = std::any_of(program.fullReadAt.begin(), program.fullReadAt.end(),
                                      [&](auto t) { return t > a.plugged && t < a.unplugged; });
        if (done && (a.asked & 0b11100) == 0b11100)
            ++read;
        else
            unread += "; " + std::to_string(Ms(a.unplugged - a.plugged)) + " ms: " + a.sent;
    }
    Check(longStays >= StormArrivals / LongStayEvery && read == longStays,
          "every plug-in that stayed 1.5 s was read completely",
          std::to_string(read) + " of " + std::to_string(longStays) + unread);
    Check(early == 0 && written > 0,
          "no report 5, 6 or 7 reached a plug-in whose configuration was not read",
          std::to_string(early) + " too early; plug-ins written to: " + std::to_string(written));
}

// The storm with the program (the polling machine on the hidapi bus)
// running; then the plug-to-shown figures over `measured` plug-ins with
// hotplug (and, if asked, the periodic search alone).
void HotplugStorm(int measured, bool measureFallback) {
    std::mt19937 random(18);
    auto counts = [] {
        return std::to_string(Entries("/proc/self/fd")) + " descriptors, " +
               std::to_string(Entries("/proc/self/task")) + " threads";
    };
    const std::string before = counts();
    const auto start = Clock::now();
    {
        StormKeyboard keyboard;
        std::atomic<int> arrivals{0};
        const auto watch = CreateHidapiBus()->watch([&](HidChange change) {
            arrivals += change == HidChange::Arrived;
        });
        keyboard.Plug();
        keyboard.Serve(Clock::now() + 2s, [&] { return arrivals >= 3; });
        Check(watch && arrivals >= 3, "the bus tells of the keyboard's three interfaces arriving",
              std::to_string(arrivals.load()) + " told");

        Program program(CreateHidapiBus(), true);
        keyboard.Serve(Clock::now() + 3s, [&] {
            return program.Locked([&] { return !program.fullReadAt.empty(); });
        });
        keyboard.Unplug();
        keyboard.Serve(300ms);
        Storm(keyboard, random);
        CheckArrivals(keyboard.arrivals, program);

    }
    // A joined thread may stay listed a moment after its join returns.
    Check(WaitFor([&] { return counts() == before; }, 1000ms),
          "descriptors and threads are back where they started", before + " -> " + counts());
    std::printf("  storm took %ld ms\n", Ms(Clock::now() - start));
    MeasurePlugToShown(measured, measureFallback, random);
}

} // namespace

int main(int argc, char** argv) {
    const std::string frontPath = argc > 1 ? argv[1] : "/bin/kb_uhid_keyboard";
    const std::string cliPath = argc > 2 ? argv[2] : "/bin/kbconfig-cli";
    std::signal(SIGPIPE, SIG_IGN);
    // Never hang the VM; a run that measures more plug-ins is given longer.
    const char* measured = std::getenv("kbvm_measure");
    alarm(measured ? 880 : 280);

    Front front;
    if (!Check(front.Start(frontPath), "the uhid keyboard starts"))
        return ChecksFailed() == 0 ? 0 : 1;
    Check(front.Ask(std::string("set ") + Distinctive) == "ok",
          "the keyboard takes a distinctive state");
    std::this_thread::sleep_for(200ms); // let the kernel create the hidraw nodes
    CheckShowAndApply(cliPath, "kbconfig-cli", "/dev/hidraw", front);
    // The storm brings a keyboard of its own: this one leaves the bus. The
    // kernel command line (run-vm-test.sh --measure N --fallback) reaches the
    // test as environment variables.
    front.Ask("unplug");
    HotplugStorm(measured ? std::atoi(measured) : DefaultMeasured,
                 std::getenv("kbvm_fallback") != nullptr);
    return ChecksFailed() == 0 ? 0 : 1;
}
