#pragma once

#include "device/HidBus.h"
#include "emulator/EmulatorBus.h"
#include "emulator/StateFile.h"
#include "emulator/StatusText.h"

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
// With a state file, each keyboard keeps there what it holds (its settings,
// stored or not) and what it stored, as a real keyboard keeps both while it
// has power: read when the bench is made, and again when a keyboard is
// opened (another process may have changed it meanwhile), and written after
// every write that changed either. A write renews only the writing keyboard's
// lines, so that processes changing different keyboards at once keep each
// other's. A file that is not a state file is refused and left as it is.
// Each keyboard's lock (LockFile) is a file of its own beside the state file,
// "FILE.N.lock".
class EmulatorBench : public HidBus {
public:
    static constexpr int MaxKeyboards = 16;

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
        // Every keyboard loses power and comes back before it is first used:
        // it holds what it stored.
        bool powerCycle = false;
    };

    explicit EmulatorBench(Options options);
    // Why the keyboards cannot run: their state file cannot be read or
    // written, or is not one. Named with the file; empty when they can.
    const std::string& Error() const { return m_error; }
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
    std::string LockFileOf(int index) const;
    bool OpenStateFile();
    void TakeFromFile(int index, const KeptState& kept);
    void LoadState(int index);
    bool SaveState(int index);
    bool WriteStateFile(const std::vector<KeptState>& kept, const std::vector<bool>& changed);

    Options m_options;
    std::vector<std::unique_ptr<EmulatorBus>> m_keyboards;
    std::atomic<int> m_firstKeyboardWrites{0};
    std::thread m_replug; // plugs the first keyboard back in
    std::string m_error;
    std::unique_ptr<StateFile> m_stateFile;

    // What each keyboard keeps, as this bench last read it from the file or
    // wrote it there.
    std::vector<KeptState> m_kept;
    std::vector<bool> m_keptSinceWrite; // the keyboards whose lines the next write renews
    // Changes made at the same time are written to the file together: each
    // is numbered, and one write covers every change numbered before it.
    std::mutex m_stateLock; // guards everything from m_kept on
    std::condition_variable m_stateWritten;
    uint64_t m_changes = 0; // changes made
    uint64_t m_written = 0; // changes the file holds
    uint64_t m_failed = 0;  // changes whose write failed
    bool m_writing = false;
};
