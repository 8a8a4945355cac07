#include "emulator/EmulatorBench.h"

#include "device/DeviceIds.h"
#include "device/ReportProtocol.h"
#include "emulator/StatusText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

constexpr const char* InnerPrefix = "emulator:";
constexpr uint16_t FirstIdNumber = 4711;
constexpr std::chrono::milliseconds ChatterReplyDelay{2};

// Makes `state` what the keyboard holds and keeps, as if it had been sent,
// stored and the keyboard switched off and on again.
void StoreAndPowerCycle(EmulatorBus& keyboard, const DeviceStatus& state) {
    keyboard.WithFirmware([&](KeyboardFirmware& firmware) {
        firmware.SetState(state);
        const protocol::Payload store = protocol::EncodeStore();
        protocol::Report report{};
        std::copy_n(store.bytes.begin(), store.length, report.begin() + 1);
        firmware.HandleOutputReport(report.data(), report.size());
        firmware.PowerCycle(); // drops the reply to the store, too
    });
}

uint16_t ProductOf(int index, uint16_t first) {
    if (index == 0)
        return first;
    const auto at = std::find(ProductIdTable.begin(), ProductIdTable.end(), first);
    const auto start = at == ProductIdTable.end() ? 0 : at - ProductIdTable.begin();
    return ProductIdTable[static_cast<std::size_t>(start + index) % ProductIdTable.size()];
}

} // namespace

// A connection to one keyboard of the bench; it sees the writes, for the
// state file and for the unplug fault.
class EmulatorBenchConnection : public HidConnection {
public:
    EmulatorBenchConnection(EmulatorBench& bench, int index, std::unique_ptr<HidConnection> inner)
        : m_bench(bench), m_index(index), m_inner(std::move(inner)) {}

    int read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
        return m_inner->read(buffer, length, timeoutMs);
    }

    bool write(const uint8_t* report, std::size_t length) override {
        if (m_index == 0 && m_bench.m_options.unplugAtWrite > 0 &&
            ++m_bench.m_firstKeyboardWrites == m_bench.m_options.unplugAtWrite) {
            m_bench.Keyboard(0).Unplug();
            if (const int ms = m_bench.m_options.replugAfterMs; ms > 0)
                m_bench.m_replug = std::thread([&bench = m_bench, ms] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                    bench.Keyboard(0).Plug();
                });
        }
        // What a store keeps must be in the state file before the keyboard
        // answers: a store that cannot be kept is a write that failed.
        const bool store = length > 1 && report[1] == protocol::CmdStore;
        if (store && !m_bench.m_options.stateFile.empty() &&
            m_bench.Keyboard(m_index).IsPlugged() && !m_bench.SaveState(m_index))
            return false;
        if (m_bench.m_options.chatter)
            m_bench.Keyboard(m_index).WithFirmware([](KeyboardFirmware& f) { f.PressKey(); });
        return m_inner->write(report, length);
    }

private:
    EmulatorBench& m_bench;
    int m_index;
    std::unique_ptr<HidConnection> m_inner;
};

EmulatorBench::EmulatorBench(Options options) : m_options(std::move(options)) {
    const int count = std::clamp(m_options.count, 1, MaxKeyboards);
    for (int i = 0; i < count; ++i) {
        EmulatorBus::Options o = m_options.first;
        o.productId = ProductOf(i, m_options.first.productId);
        o.seed = m_options.first.seed + static_cast<uint32_t>(i);
        auto keyboard = std::make_unique<EmulatorBus>(o);
        if (i > 0) {
            DeviceStatus state = keyboard->FirmwareState();
            state.IdNumber = static_cast<uint16_t>(FirstIdNumber + i);
            StoreAndPowerCycle(*keyboard, state);
        }
        keyboard->SetPermissionDenied(m_options.permissionDenied);
        keyboard->SetDropReplies(m_options.dropReplies);
        if (m_options.chatter)
            keyboard->SetReplyDelay(ChatterReplyDelay);
        m_keyboards.push_back(std::move(keyboard));
    }
    for (const auto& keyboard : m_keyboards)
        m_stored.push_back(keyboard->StoredState());
    m_storedSinceWrite.assign(m_keyboards.size(), false);
    if (!m_options.stateFile.empty())
        m_stateFile = std::make_unique<StateFile>(m_options.stateFile);
    LoadState();
}

std::string EmulatorBench::LockFile(const std::string& path) const {
    return path.rfind(InnerPrefix, 0) == 0 ? m_options.stateFile : std::string();
}

EmulatorBench::~EmulatorBench() {
    if (m_replug.joinable())
        m_replug.join();
}

namespace {

// The watches of every keyboard of the bench, ended together.
struct BenchWatch : HidWatch {
    std::vector<std::unique_ptr<HidWatch>> keyboards;
};

} // namespace

std::unique_ptr<HidWatch> EmulatorBench::watch(HidChangeHandler handler) {
    auto all = std::make_unique<BenchWatch>();
    for (const auto& keyboard : m_keyboards)
        all->keyboards.push_back(keyboard->watch(handler));
    return all;
}

std::string EmulatorBench::PathPrefix(int index) {
    return InnerPrefix + std::to_string(index + 1) + ":";
}

std::vector<HidInterfaceInfo> EmulatorBench::enumerate() {
    std::vector<HidInterfaceInfo> list;
    for (int i = 0; i < Count(); ++i) {
        for (HidInterfaceInfo info : m_keyboards[static_cast<std::size_t>(i)]->enumerate()) {
            if (info.path.rfind(InnerPrefix, 0) == 0)
                info.path = PathPrefix(i) + info.path.substr(std::string(InnerPrefix).size());
            list.push_back(std::move(info));
        }
    }
    return list;
}

std::unique_ptr<HidConnection> EmulatorBench::open(const std::string& path, HidOpenError* error) {
    for (int i = 0; i < Count(); ++i) {
        const std::string prefix = PathPrefix(i);
        if (path.rfind(prefix, 0) != 0)
            continue;
        LoadState(i);
        auto inner = Keyboard(i).open(InnerPrefix + path.substr(prefix.size()), error);
        if (!inner)
            return nullptr;
        return std::make_unique<EmulatorBenchConnection>(*this, i, std::move(inner));
    }
    if (error)
        *error = HidOpenError::NotFound;
    return nullptr;
}

// One line per keyboard: its number and its stored fields as Name=value
// pairs. Lines that do not read are skipped: such a keyboard keeps what it
// has, like a fresh one. A keyboard whose line differs from what it stores
// takes the line's values, as if stored and switched off and on. `only`:
// that keyboard alone (0-based), -1 for every one.
void EmulatorBench::LoadState(int only) {
    if (!m_stateFile)
        return;
    std::istringstream in(m_stateFile->Read());
    std::lock_guard<std::mutex> lock(m_stateLock);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int number = 0;
        std::string rest;
        if (!(fields >> number) || number < 1 || number > Count() || (only >= 0 && number != only + 1))
            continue;
        std::getline(fields, rest);
        DeviceStatus& stored = m_stored[static_cast<std::size_t>(number - 1)];
        DeviceStatus read = stored;
        if (ParseStatus(rest, read) && !(read == stored)) {
            StoreAndPowerCycle(Keyboard(number - 1), read);
            stored = Keyboard(number - 1).StoredState();
        }
    }
}

// Takes what the keyboard at `storing` holds now as what it stores, and
// returns once the state file holds it (true) or its write failed (false).
// A store that arrives while the file is being written waits for the next
// write, which then covers every store made meanwhile. When a write fails,
// every store it covered fails (the keyboards answer none of them).
bool EmulatorBench::SaveState(int storing) {
    std::unique_lock<std::mutex> lock(m_stateLock);
    m_stored[static_cast<std::size_t>(storing)] = Keyboard(storing).FirmwareState();
    m_storedSinceWrite[static_cast<std::size_t>(storing)] = true;
    const uint64_t mine = ++m_stores;
    while (m_written < mine && m_failed < mine) {
        if (m_writing) {
            m_stateWritten.wait(lock);
            continue;
        }
        m_writing = true;
        const uint64_t covered = m_stores;
        const std::vector<DeviceStatus> stored = m_stored;
        std::vector<bool> changed(m_storedSinceWrite.size(), false);
        changed.swap(m_storedSinceWrite);
        lock.unlock();
        const bool ok = WriteStateFile(stored, changed);
        lock.lock();
        m_writing = false;
        if (!ok) { // the next write renews these lines too
            for (std::size_t i = 0; i < changed.size(); ++i)
                m_storedSinceWrite[i] = m_storedSinceWrite[i] || changed[i];
        }
        (ok ? m_written : m_failed) = covered;
        m_stateWritten.notify_all();
    }
    return m_written >= mine;
}

// The lines of the keyboards in `changed` are renewed; every other line
// (of this bench's other keyboards, or of keyboards only another process's
// bench has) stays as the file has it. Not synced to the disk: it stands in
// for a keyboard's memory in tests and on benches, where a store must stay
// cheap.
bool EmulatorBench::WriteStateFile(const std::vector<DeviceStatus>& stored,
                                   const std::vector<bool>& changed) {
    return m_stateFile->Update([&](const std::string& old) {
        std::map<int, std::string> lines;
        std::istringstream in(old);
        for (std::string line; std::getline(in, line);) {
            int number = 0;
            if (std::istringstream(line) >> number)
                lines[number] = line;
        }
        for (std::size_t i = 0; i < stored.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (changed[i] || lines.count(number) == 0)
                lines[number] = std::to_string(number) + " " + FormatStatus(stored[i]);
        }
        std::string text;
        for (const auto& [number, line] : lines)
            text += line + "\n";
        return text;
    });
}
