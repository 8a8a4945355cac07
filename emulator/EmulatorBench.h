#pragma once

#include "device/HidBus.h"
#include "emulator/EmulatorBus.h"
#include "emulator/StateFile.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Several built-in keyboards on one bus, as on a service bench: keyboard N
// (counted from 1) presents its interfaces at "emulator:N:keyboard",
// "emulator:N:vendor" and "emulator:N:config", has its own product ID (the
// first keyboard's, then the following entries of the product table) and its
// own ID number (4711 for the first, one more for each further keyboard).
//
// With a state file, what the keyboards stored ("store", report 9) is kept
// there, as a real keyboard's memory keeps it across a power cycle: read when
// the bench is made, and again when a keyboard is opened (another process
// may have stored meanwhile: the keyboard then starts from that, as after a
// power cycle), and written after every store. A store rewrites only the
// storing keyboard's line, so that processes storing different keyboards at
// once keep each other's. The state file is the keyboards' LockFile.
class EmulatorBench : public HidBus {
public:
    static constexpr int MaxKeyboards = 19; // one for each product ID of the table

    struct Options {
        int count = 1;
        EmulatorBus::Options first; // the first keyboard; the others differ in product and seed
        std::string stateFile;      // empty: nothing kept between runs
        // Faults for tests of whole programs, which cannot reach the bus.
        int unplugAtWrite = 0;         // the first keyboard vanishes as its Nth report is written
        int replugAfterMs = 0;         // ... and comes back this much later (0: never)
        bool permissionDenied = false; // no keyboard may be opened
        bool dropReplies = false;      // no keyboard answers
        // Every keyboard sends a live status report of its own before each
        // answer, and the answer a little later.
        bool chatter = false;
    };

    explicit EmulatorBench(Options options);
    ~EmulatorBench() override;

    std::vector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path,
                                        HidOpenError* error = nullptr) override;
    std::string LockFile(const std::string& path) const override;
    // Every keyboard's plugging and unplugging.
    std::unique_ptr<HidWatch> watch(HidChangeHandler handler) override;

    int Count() const { return static_cast<int>(m_keyboards.size()); }
    EmulatorBus& Keyboard(int index) { return *m_keyboards.at(static_cast<std::size_t>(index)); }
    // "emulator:N:" for the keyboard at `index` (0-based).
    static std::string PathPrefix(int index);

private:
    friend class EmulatorBenchConnection;
    void LoadState(int only = -1);
    bool SaveState(int storing);

    Options m_options;
    std::vector<std::unique_ptr<EmulatorBus>> m_keyboards;
    std::atomic<int> m_firstKeyboardWrites{0};
    std::thread m_replug; // plugs the first keyboard back in
    bool WriteStateFile(const std::vector<DeviceStatus>& stored, const std::vector<bool>& changed);
    std::unique_ptr<StateFile> m_stateFile;

    // What each keyboard stored. Kept here rather than read from the
    // keyboards, whose stores may be half-way on other threads.
    std::vector<DeviceStatus> m_stored;
    std::vector<bool> m_storedSinceWrite; // the keyboards whose line the next write renews
    // Stores made at the same time are written to the file together: each
    // store is numbered, and one write covers every store numbered before it.
    std::mutex m_stateLock; // guards everything from m_stored on
    std::condition_variable m_stateWritten;
    uint64_t m_stores = 0;  // stores made
    uint64_t m_written = 0; // stores the file holds
    uint64_t m_failed = 0;  // stores whose write failed
    bool m_writing = false;
};
