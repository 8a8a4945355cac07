// The hotplug storm inside the test VM. Our uhid keyboard is created and
// destroyed 200 times at random intervals (every 40th stays long enough for
// a full read) while an unrelated uhid device is created and destroyed as
// fast as the kernel allows, and the program and `kbconfig-cli monitor` run.

#include "vm_storm.h"

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "device/HidapiBus.h"
#include "emulator/uhid/ReportDescriptors.h"
#include "emulator/uhid/UhidKeyboard.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t StormProduct = 0x0706;
constexpr uint16_t OtherVendor = 0x1209;
constexpr int StormArrivals = 200;
constexpr int LongStayEvery = 40;
// Over the 1.5 s a full read needs, and long enough for a second one: a
// reply to the monitor's request that comes while the program waits for its
// own makes the program give up after 7 ticks and read again.
// The machine may be slow: a stay is counted from the kernel's acceptance of
// the last interface to the start of its removal.
constexpr auto LongStay = 8000ms;
constexpr int RandomMaxMs = 300;

long Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

int Entries(const char* folder) {
    int n = 0;
    if (DIR* d = opendir(folder)) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

int LinesWith(const char* path, const std::string& text) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(text) != std::string::npos;
    return n;
}

// The program: the polling machine ticked every 300 ms, with what the window
// would show: "Keyboard connected and active" from the first record shown
// after "No Device", the sensor count when a full read completes. `eager`
// unlocks and asks to send the thresholds whenever it can, so that a report
// sent too early would show.
class Program : public CoreView {
public:
    Program(std::shared_ptr<HidBus> bus, bool eager) : m_machine(std::move(bus)) {
        m_machine.SetView(this);
        m_machine.Start();
        m_thread = std::thread([this, eager] {
            for (auto next = Clock::now(); !m_stop; std::this_thread::sleep_until(next)) {
                next += 300ms;
                m_machine.Tick();
                if (eager && m_machine.KeyboardPresent()) {
                    m_machine.SetConfigurationUnlocked(true);
                    m_machine.RequestThresholdsReport();
                }
            }
        });
    }
    ~Program() {
        m_stop = true;
        m_thread.join();
        m_machine.Stop();
    }
    void ShowRecord() override {
        std::lock_guard<std::mutex> lock(m);
        if (!connected)
            connectedAt.push_back(Clock::now());
        connected = true;
    }
    void ShowNoDevice() override {
        std::lock_guard<std::mutex> lock(m);
        connected = false;
    }
    void ShowSensorCount(int) override {
        std::lock_guard<std::mutex> lock(m);
        fullReadAt.push_back(Clock::now());
    }
    void ShowConfigurationLock(bool) override {}

    std::mutex m;
    bool connected = false;
    std::vector<Clock::time_point> connectedAt, fullReadAt;

private:
    PollingMachine m_machine;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A bus that tells nothing: the periodic search alone.
struct UntoldBus : HidBus {
    std::shared_ptr<HidBus> bus = CreateHidapiBus();
    std::vector<HidInterfaceInfo> enumerate() override { return bus->enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        return bus->open(path, error);
    }
};

// One plug-in of our keyboard as the keyboard saw it: the output reports in
// order ("8.2" a request for type 2), and reports 5, 6 and 7 that came
// before requests 2, 3 and 4 had.
struct Arrival {
    Clock::time_point plugged, unplugged;
    std::string sent;
    int asked = 0; // bit n: request n came
    int early = 0, settings = 0;
};

// Our keyboard, served on the calling thread.
class StormKeyboard {
public:
    StormKeyboard() {
        m_keyboard.OnOutput = [this](const protocol::Report& r) {
            Arrival& a = arrivals.back();
            a.sent += std::to_string(r[1]) + (r[1] == 8 ? "." + std::to_string(r[2]) : "") + " ";
            if (r[1] == protocol::CmdRequest)
                a.asked |= 1 << (r[2] & 7);
            if (r[1] >= 5 && r[1] <= 7) {
                ++a.settings;
                a.early += (a.asked & 0b11100) != 0b11100;
            }
        };
    }
    void Plug() {
        arrivals.emplace_back();
        m_keyboard.Plug(nullptr);
        arrivals.back().plugged = Clock::now();
    }
    void Unplug() {
        arrivals.back().unplugged = Clock::now();
        m_keyboard.Unplug();
    }
    // Answers the kernel until `until` or until `done` holds.
    void Serve(Clock::time_point until, const std::function<bool()>& done = [] { return false; }) {
        while (Clock::now() < until && !done()) {
            std::vector<pollfd> fds;
            for (int fd : m_keyboard.Fds())
                fds.push_back({fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), 10) > 0)
                for (const pollfd& p : fds)
                    if (p.revents & POLLIN)
                        m_keyboard.HandleEvent(p.fd);
        }
    }
    void Serve(Clock::duration d) { Serve(Clock::now() + d); }

    std::vector<Arrival> arrivals;

private:
    KeyboardFirmware m_firmware{StormProduct, 7};
    UhidKeyboard m_keyboard{m_firmware};
};

pid_t StartMonitor(const std::string& cli) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open("/tmp/monitor.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        // One status line per connection, so that it asks the keyboard rarely.
        execl(cli.c_str(), cli.c_str(), "monitor", "--json", "--interval", "60000",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
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
    Check(cycles > StormArrivals, "the unrelated device came and went all the while",
          std::to_string(cycles) + " times");
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

std::string Figures(std::vector<long> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? "none"
                      : "median " + std::to_string(ms[ms.size() / 2]) + " ms, max " +
                            std::to_string(ms.back()) + " ms over " + std::to_string(ms.size());
}

// Times `count` plug-ins: to "Keyboard connected and active", and to the end
// of the full read.
void Measure(const char* what, std::shared_ptr<HidBus> bus, int count, std::mt19937& random) {
    StormKeyboard keyboard;
    Program program(std::move(bus), false);
    std::uniform_int_distribution<int> pause(0, RandomMaxMs);
    std::vector<long> shown, read;
    auto locked = [&](auto f) {
        std::lock_guard<std::mutex> lock(program.m);
        return f();
    };
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
        keyboard.Unplug();
        // The program sees the loss before the next plug-in.
        keyboard.Serve(Clock::now() + 2s, [&] { return locked([&] { return !program.connected; }); });
        keyboard.Serve(std::chrono::milliseconds(pause(random)));
    }
    std::printf("  plug to \"Keyboard connected and active\", %s: %s\n", what, Figures(shown).c_str());
    std::printf("  plug to the full read done, %s: %s\n", what, Figures(read).c_str());
    Check(shown.size() == static_cast<std::size_t>(count),
          std::string("every measured plug-in was shown, ") + what);
}

} // namespace

void HotplugStorm(const std::string& cliPath, int measured, bool measureFallback) {
    std::mt19937 random(18);
    const int descriptors = Entries("/proc/self/fd");
    const int threads = Entries("/proc/self/task");
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
            std::lock_guard<std::mutex> lock(program.m);
            return !program.fullReadAt.empty();
        });
        const pid_t monitor = StartMonitor(cliPath);
        keyboard.Serve(Clock::now() + 5s, [] { return LinesWith("/tmp/monitor.txt", "status") > 0; });
        keyboard.Unplug();
        keyboard.Serve(300ms);
        Storm(keyboard, random);
        CheckArrivals(keyboard.arrivals, program);

        kill(monitor, SIGINT);
        int status = 0;
        waitpid(monitor, &status, 0);
        const int lost = LinesWith("/tmp/monitor.txt", "keyboard lost");
        const int back = LinesWith("/tmp/monitor.txt", "keyboard back");
        Check(WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                  lost >= StormArrivals / LongStayEvery && back >= lost - 1,
              "kbconfig-cli monitor ran through the storm, telling losses and returns",
              "status " + std::to_string(status) + ", " + std::to_string(lost) + " lost, " +
                  std::to_string(back) + " back");
    }
    Check(Entries("/proc/self/fd") == descriptors && Entries("/proc/self/task") == threads,
          "descriptors and threads are back where they started",
          std::to_string(Entries("/proc/self/fd")) + " descriptors, " +
              std::to_string(Entries("/proc/self/task")) + " threads");
    std::printf("  storm took %ld ms\n", Ms(Clock::now() - start));

    Measure("with hotplug", CreateHidapiBus(), measured, random);
    if (measureFallback)
        Measure("periodic search alone", std::make_shared<UntoldBus>(), measured, random);
}
