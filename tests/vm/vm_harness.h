#pragma once

// What the VM tests share: their check lines, the uhid keyboard program driven
// through its standard input and output, the command line's show and apply
// checked against what the keyboard holds; and for the storm and the
// plug-to-shown figures (bench/vm_plug_timing.cpp), the program and our uhid
// keyboard served on the calling thread.

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "emulator/uhid/UhidKeyboard.h"
#include "settings/DeviceStatus.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

// One check's line ("PASS: what" or "FAIL: what -- detail"), counted.
bool Check(bool ok, const std::string& what, const std::string& detail = {});
// The check that two states are equal; the differences are its detail.
bool CheckSame(const DeviceStatus& a, const DeviceStatus& b, const std::string& what);
int ChecksFailed();

namespace vmtest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr uint16_t Product = 0x0705;
constexpr uint16_t StormProduct = 0x0706;
constexpr int RandomMaxMs = 300; // the longest random stay or pause

// Every field differs from the reader's starting values.
extern const char* const Distinctive;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);
int Shell(const std::string& command); // the exit code of a shell command
std::string ReadText(const std::string& path);

// A program (a shell command) that answers one line a command on its
// standard output, through a FIFO. Its pipes are closed in every other
// program this process starts, so that it sees the end of its input when
// this side goes, whoever else still runs.
class Child {
public:
    bool Start(const std::string& command);
    ~Child();
    std::string Ask(const std::string& command);
    std::string ReadLine();

private:
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
};

// The uhid keyboard program (emulator/uhid/main.cpp).
class Front : public Child {
public:
    bool Start(const std::string& path);
    DeviceStatus Status(const char* which); // "state" or "stored"
};

// `cli` list --json names one interface of the keyboard's three; show --json
// opens it, at a path that starts with `pathPrefix`, and reads every field
// the keyboard holds; apply FILE --store leaves the file's settings (and the
// keyboard's own ID number) in the keyboard, and stored. `cli` is a shell
// command prefix, `name` the program named in the check lines.
void CheckShowAndApply(const std::string& cli, const std::string& name,
                       const std::string& pathPrefix, Front& front);

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
    // Runs `f` with what was shown locked against the ticking thread.
    template <typename F> auto Locked(F f) {
        std::lock_guard<std::mutex> lock(m);
        return f();
    }
    void ShowRecord() override {
        Locked([&] { return connected || (connectedAt.push_back(Clock::now()), connected = true); });
    }
    void ShowNoDevice() override {
        Locked([&] { return !connected || (lostAt.push_back(Clock::now()), connected = false); });
    }
    void ShowSensorCount(int) override { Locked([&] { fullReadAt.push_back(Clock::now()); }); }
    void ShowConfigurationLock(bool) override {}

    std::mutex m;
    bool connected = false;
    std::vector<Clock::time_point> connectedAt, fullReadAt, lostAt;

private:
    PollingMachine m_machine;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
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

// Whole milliseconds, and "median M ms, max N ms over K" of such times.
long Ms(Clock::duration d);
std::string Figures(std::vector<long> ms);

// Prints the plug-to-shown figures over `count` plug-ins with hotplug, and
// with `fallback` as many again with the periodic search alone (bench/).
void MeasurePlugToShown(int count, bool fallback, std::mt19937& random);
// The milliseconds of each exchange with `front` while the shell command
// `command` reads it (bench/).
std::vector<long> ExchangeTimes(Front& front, const std::string& command);

} // namespace vmtest
