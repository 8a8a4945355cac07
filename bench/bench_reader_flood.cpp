// The reader under a flood: the built-in keyboard sends live-status reports
// at a full-speed interrupt endpoint's rate while the user-interface side
// pulls every 300 ms. Prints how many reports were sent and decoded and how
// long a pull waited for the status lock at worst.
//   bench_reader_flood [reports-per-second] [seconds]

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "emulator/EmulatorBus.h"
#include "settings/KeyboardSettings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
    const int perSecond = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int total = perSecond * seconds;

    EmulatorBus::Options options;
    options.autonomous = false;
    auto bus = std::make_shared<EmulatorBus>(options);
    CHidDevice device(bus);
    device.StartReader();
    while (!device.IsReading()) {
        std::this_thread::sleep_for(10ms);
    }

    const uint16_t firstCount = bus->FirmwareState().KeystrokeCount;
    bus->Flood(perSecond, total);
    KeyboardSettings settings;
    std::vector<double> waits;
    const auto end = Clock::now() + std::chrono::seconds(seconds) + 1s;
    while (Clock::now() < end) {
        std::this_thread::sleep_for(300ms);
        const auto before = Clock::now();
        {
            // The lock wait alone, as a pull sees it.
            std::lock_guard<std::mutex> lock(StatusLock);
        }
        waits.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
        settings.PullLiveStatus(&device, nullptr);
    }
    const uint64_t decoded = device.Reader->ReportsDecoded;
    device.Close();

    std::sort(waits.begin(), waits.end());
    const unsigned expectedLast = std::min<unsigned>(firstCount + total, 0xFFFF);
    std::printf("sent %d reports at %d/s; decoded %llu; last keystroke count %u (expected %u)\n",
                total, perSecond, static_cast<unsigned long long>(decoded), settings.KeystrokeCount,
                expectedLast);
    std::printf("pulls %zu; lock wait median %.1f us, worst %.1f us\n", waits.size(),
                waits[waits.size() / 2], waits.back());
    return decoded >= static_cast<uint64_t>(total) ? 0 : 1;
}
