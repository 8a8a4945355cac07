// The hotplug storm inside the test VM. Our uhid keyboard is created and
// destroyed 200 times at random intervals (every 20th stay long enough for a
// full read) while an unrelated uhid device is created and destroyed as fast
// as the kernel allows, and the program and `kbconfig-cli monitor` run.
// Afterwards: every long stay was read completely, no report 5, 6 or 7
// reached a plug-in whose configuration had not been read, the monitor
// stopped cleanly and told the losses, descriptors and threads are back.

#include "vm_storm.h"

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "device/HidapiBus.h"
#include "device/ReportProtocol.h"
#include "emulator/KeyboardFirmware.h"
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
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t StormProduct = 0x0706;
constexpr uint16_t OtherVendor = 0x1209;
constexpr uint16_t OtherProduct = 0x0001;
constexpr int StormArrivals = 200;
constexpr int LongStayEvery = 20;
// At least the 1.5 s a full read needs, and long enough for a second full
// read: a request of the monitor's answered while the program waits for
// its own reply makes the program give up after 7 ticks and read again.
constexpr auto LongStay = 4000ms;
constexpr int RandomMaxMs = 300;
constexpr auto TickPeriod = 300ms;

long Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

int CountEntries(const char* folder) {
    int n = 0;
    if (DIR* d = opendir(folder)) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n - 2; // "." and ".."; the listing's own descriptor counts on both sides
}

// What the window would show: "Keyboard connected and active" from the
// first record shown after "No Device", and the sensor count when a full
// read completes.
class ProgramView : public CoreView {
public:
    void ShowRecord() override {
        std::lock_guard<std::mutex> lock(m);
        if (!connected) {
            connected = true;
            connectedAt.push_back(Clock::now());
        }
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
};

// The program: the polling machine ticked every 300 ms on its own thread.
// In `eager` mode it unlocks and asks to send the thresholds whenever it can,
// so that any report 5 sent too early would show.
class Program {
public:
    Program(std::shared_ptr<HidBus> bus, bool eager) : m_machine(std::move(bus)) {
        m_machine.SetView(&view);
        m_machine.Start();
        m_thread = std::thread([this, eager] {
            for (auto next = Clock::now(); !m_stop; std::this_thread::sleep_until(next)) {
                next += TickPeriod;
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
    ProgramView view;

private:
    PollingMachine m_machine;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A bus without hotplug: the periodic search alone.
class UntoldBus : public HidBus {
public:
    explicit UntoldBus(std::shared_ptr<HidBus> bus) : m_bus(std::move(bus)) {}
    std::vector<HidInterfaceInfo> enumerate() override { return m_bus->enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenError* error) override {
        return m_bus->open(path, error);
    }

private:
    std::shared_ptr<HidBus> m_bus;
};

// One plug-in of the keyboard, as the keyboard saw it.
struct Arrival {
    Clock::time_point plugged, unplugged;
    std::set<uint8_t> requests;  // input types asked for
    std::string sent;            // every output report's command (and type), in order
    int settingsBeforeRead = 0;  // reports 5, 6, 7 before requests 2, 3 and 4
    int settings = 0;            // reports 5, 6, 7 in all
};

// Our keyboard, served on the calling thread.
class StormKeyboard {
public:
    StormKeyboard() {
        m_keyboard.OnOutput = [this](const protocol::Report& r) {
            Arrival& a = arrivals.back();
            a.sent += std::to_string(r[1]) + (r[1] == protocol::CmdRequest ? "." + std::to_string(r[2]) : "") + " ";
            if (r[1] == protocol::CmdRequest) {
                a.requests.insert(r[2]);
            } else if (r[1] >= protocol::CmdThresholdsAndTimers &&
                       r[1] <= protocol::CmdConfigurationFlags) {
                ++a.settings;
                for (uint8_t type : {2, 3, 4})
                    if (!a.requests.count(type)) {
                        ++a.settingsBeforeRead;
                        break;
                    }
            }
        };
    }
    bool Plug() {
        arrivals.push_back({Clock::now(), {}, {}, {}, 0, 0});
        std::string error;
        return m_keyboard.Plug(&error);
    }
    void Unplug() {
        m_keyboard.Unplug();
        arrivals.back().unplugged = Clock::now();
    }
    // Answers the kernel's events until `until` or `done` holds.
    template <typename Done> void Serve(Clock::time_point until, Done done) {
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
    void Serve(Clock::duration d) {
        Serve(Clock::now() + d, [] { return false; });
    }

    std::vector<Arrival> arrivals;

private:
    KeyboardFirmware m_firmware{StormProduct, 7};
    UhidKeyboard m_keyboard{m_firmware};
};

// The unrelated device (another vendor), created and destroyed until stopped.
class OtherDevice {
public:
    OtherDevice() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                UhidDevice device;
                if (device.Create("other", OtherVendor, OtherProduct, VendorUsage2Descriptor,
                                  nullptr))
                    ++cycles;
            }
        });
    }
    ~OtherDevice() {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<int> cycles{0};

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

pid_t StartMonitor(const std::string& cli, const char* output) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        // One status line per connection: its requests must not overwrite the
        // replies the program waits for.
        execl(cli.c_str(), cli.c_str(), "monitor", "--json", "--interval", "60000",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int CountLines(const char* path, const std::string& text) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(text) != std::string::npos;
    return n;
}

std::string Figures(std::vector<long> ms) {
    if (ms.empty())
        return "none";
    std::sort(ms.begin(), ms.end());
    return "median " + std::to_string(ms[ms.size() / 2]) + " ms, max " +
           std::to_string(ms.back()) + " ms over " + std::to_string(ms.size());
}

void Storm(StormKeyboard& keyboard, std::mt19937& random) {
    std::uniform_int_distribution<int> pause(0, RandomMaxMs);
    OtherDevice other;
    for (int i = 1; i <= StormArrivals; ++i) {
        keyboard.Plug();
        keyboard.Serve(i % LongStayEvery == 0 ? Clock::duration(LongStay)
                                              : std::chrono::milliseconds(pause(random)));
        keyboard.Unplug();
        keyboard.Serve(std::chrono::milliseconds(pause(random)));
        if (i % 50 == 0)
            std::printf("  %d plug-ins, the unrelated device %d times\n", i, other.cycles.load());
    }
    Check(other.cycles > StormArrivals, "the unrelated device came and went all the while",
          std::to_string(other.cycles) + " times");
}

void CheckArrivals(const std::vector<Arrival>& arrivals, ProgramView& view) {
    int longStays = 0, read = 0, early = 0, sent = 0;
    std::string unread;
    std::lock_guard<std::mutex> lock(view.m);
    for (const Arrival& a : arrivals) {
        early += a.settingsBeforeRead;
        sent += a.settings > 0;
        if (a.unplugged - a.plugged < 1500ms)
            continue;
        ++longStays;
        const bool complete = std::any_of(view.fullReadAt.begin(), view.fullReadAt.end(),
                                          [&](Clock::time_point t) {
                                              return t > a.plugged && t < a.unplugged;
                                          });
        if (complete && a.requests.count(2) && a.requests.count(3) && a.requests.count(4))
            ++read;
        else
            unread += "; " + std::to_string(Ms(a.unplugged - a.plugged)) + " ms: " + a.sent;
    }
    Check(longStays >= StormArrivals / LongStayEvery && read == longStays,
          "every plug-in that stayed 1.5 s was read completely",
          std::to_string(read) + " of " + std::to_string(longStays) + unread);
    Check(early == 0 && sent > 0,
          "no report 5, 6 or 7 reached a plug-in whose configuration was not read",
          std::to_string(early) + " too early; plug-ins written to: " + std::to_string(sent));
}

// Plugs the keyboard `count` times and measures how long the program takes
// to show it connected, and to finish its full read.
void Measure(const char* what, std::shared_ptr<HidBus> bus, int count, std::mt19937& random) {
    StormKeyboard keyboard;
    Program program(std::move(bus), false);
    std::uniform_int_distribution<int> pause(0, RandomMaxMs);
    std::vector<long> shown, fullRead;
    auto seen = [&](auto member) {
        std::lock_guard<std::mutex> lock(program.view.m);
        return (program.view.*member).size();
    };
    for (int i = 0; i < count; ++i) {
        const std::size_t shownBefore = seen(&ProgramView::connectedAt);
        const std::size_t readBefore = seen(&ProgramView::fullReadAt);
        keyboard.Plug();
        const auto plugged = Clock::now();
        keyboard.Serve(plugged + 5s, [&] { return seen(&ProgramView::fullReadAt) > readBefore; });
        {
            std::lock_guard<std::mutex> lock(program.view.m);
            if (program.view.connectedAt.size() > shownBefore)
                shown.push_back(Ms(program.view.connectedAt[shownBefore] - plugged));
            if (program.view.fullReadAt.size() > readBefore)
                fullRead.push_back(Ms(program.view.fullReadAt[readBefore] - plugged));
        }
        keyboard.Unplug();
        // The program must see the loss before the next plug-in.
        keyboard.Serve(Clock::now() + 2s, [&] {
            std::lock_guard<std::mutex> lock(program.view.m);
            return !program.view.connected;
        });
        keyboard.Serve(std::chrono::milliseconds(pause(random)));
    }
    std::printf("  plug to \"Keyboard connected and active\", %s: %s\n", what,
                Figures(shown).c_str());
    std::printf("  plug to the full read done, %s: %s\n", what, Figures(fullRead).c_str());
    Check(shown.size() == static_cast<std::size_t>(count),
          std::string("each of the measured plug-ins was shown, ") + what);
}

} // namespace

void HotplugStorm(const std::string& cliPath, int measured, bool measureFallback) {
    std::mt19937 random(18);
    const int descriptors = CountEntries("/proc/self/fd");
    const int threads = CountEntries("/proc/self/task");
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
            std::lock_guard<std::mutex> lock(program.view.m);
            return !program.view.fullReadAt.empty();
        });
        const pid_t monitor = StartMonitor(cliPath, "/tmp/monitor.txt");
        keyboard.Serve(Clock::now() + 5s,
                       [] { return CountLines("/tmp/monitor.txt", "\"status\"") > 0; });
        keyboard.Unplug();
        keyboard.Serve(300ms);

        Storm(keyboard, random);
        CheckArrivals(keyboard.arrivals, program.view);

        kill(monitor, SIGINT);
        int status = 0;
        waitpid(monitor, &status, 0);
        const int lost = CountLines("/tmp/monitor.txt", "keyboard lost");
        const int back = CountLines("/tmp/monitor.txt", "keyboard back");
        Check(WIFEXITED(status) && WEXITSTATUS(status) == 0 && lost >= StormArrivals / LongStayEvery &&
                  back >= lost - 1,
              "kbconfig-cli monitor ran through the storm, telling losses and returns",
              "status " + std::to_string(status) + ", " + std::to_string(lost) + " lost, " +
                  std::to_string(back) + " back");
    }
    Check(CountEntries("/proc/self/fd") == descriptors && CountEntries("/proc/self/task") == threads,
          "descriptors and threads are back where they started",
          std::to_string(CountEntries("/proc/self/fd")) + " descriptors (" +
              std::to_string(descriptors) + "), " + std::to_string(CountEntries("/proc/self/task")) +
              " threads (" + std::to_string(threads) + ")");
    std::printf("  storm took %ld ms\n", Ms(Clock::now() - start));

    Measure("with hotplug", CreateHidapiBus(), measured, random);
    if (measureFallback)
        Measure("periodic search alone", std::make_shared<UntoldBus>(CreateHidapiBus()), measured,
                random);
}
