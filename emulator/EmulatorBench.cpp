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
constexpr const char* StateFileName = "the built-in keyboards' state file ";
constexpr const char* LockFileName = "the built-in keyboards' lock file ";

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

// What a keyboard keeps between commands, read in one go.
KeptState Kept(EmulatorBus& keyboard) {
    KeptState kept;
    keyboard.WithFirmware(
        [&](KeyboardFirmware& firmware) { kept = KeptStateOf(firmware.State(), firmware.Stored()); });
    return kept;
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
            // Without power it holds what it stored, in the next process too.
            m_bench.Keyboard(0).WithFirmware([](KeyboardFirmware& f) { f.PowerCycle(); });
            if (m_bench.m_stateFile)
                m_bench.SaveState(0);
            if (const int ms = m_bench.m_options.replugAfterMs; ms > 0)
                m_bench.m_replug = std::thread([&bench = m_bench, ms] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                    bench.Keyboard(0).Plug();
                });
        }
        if (m_bench.m_options.chatter)
            m_bench.Keyboard(m_index).WithFirmware([](KeyboardFirmware& f) { f.PressKey(); });
        if (!m_inner->write(report, length))
            return false;
        // A change the state file cannot keep is a write that failed.
        return !m_bench.m_stateFile || m_bench.SaveState(m_index);
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
    for (int i = 0; i < Count(); ++i)
        m_kept.push_back(Kept(Keyboard(i)));
    m_keptSinceWrite.assign(m_keyboards.size(), false);
    if (m_options.stateFile.empty() || !OpenStateFile())
        return;
    for (int i = 0; m_options.powerCycle && i < Count(); ++i) {
        Keyboard(i).WithFirmware([](KeyboardFirmware& f) { f.PowerCycle(); });
        if (!SaveState(i))
            m_error = StateFileName + ("\"" + m_options.stateFile + "\": cannot be written");
    }
}

std::string EmulatorBench::LockFileOf(int index) const {
    return m_options.stateFile + "." + std::to_string(index + 1) + ".lock";
}

std::string EmulatorBench::LockFile(const std::string& path) const {
    for (int i = 0; i < Count() && !m_options.stateFile.empty(); ++i)
        if (path.rfind(PathPrefix(i), 0) == 0)
            return LockFileOf(i);
    return {};
}

// Opens the state file and makes each keyboard's lock file, then gives each
// keyboard what the file keeps for it. False, with m_error set, when a file
// cannot serve or the state file is not one; it is then never written.
bool EmulatorBench::OpenStateFile() {
    const auto refuse = [this](const char* kind, const std::string& file, const std::string& why) {
        m_error = kind + ("\"" + file + "\": " + why);
        m_stateFile.reset();
        return false;
    };
    const std::string& path = m_options.stateFile;
    m_stateFile = std::make_unique<StateFile>(path);
    if (!m_stateFile->Error().empty())
        return refuse(StateFileName, path, m_stateFile->Error());
    const std::optional<std::string> text = m_stateFile->Read();
    if (!text)
        return refuse(StateFileName, path, "cannot be read");
    std::map<int, KeptState> kept;
    std::string why;
    if (!ParseStateFile(*text, kept, why))
        return refuse(StateFileName, path, "not one (" + why + "), left as it is");
    for (int i = 0; i < Count(); ++i) {
        // Made, and checked, as the state file is.
        if (const StateFile lock(LockFileOf(i)); !lock.Error().empty())
            return refuse(LockFileName, LockFileOf(i), lock.Error());
        if (const auto at = kept.find(i + 1); at != kept.end())
            TakeFromFile(i, at->second);
    }
    return true;
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

// Makes `kept` what keyboard `index` holds and stores.
void EmulatorBench::TakeFromFile(int index, const KeptState& kept) {
    Keyboard(index).WithFirmware([&](KeyboardFirmware& firmware) {
        DeviceStatus holds = firmware.State(), stored = firmware.Stored();
        ParseStatus(kept.holds, holds);
        ParseStatus(kept.stored, stored);
        firmware.SetStored(stored);
        firmware.SetState(holds);
    });
    m_kept[static_cast<std::size_t>(index)] = Kept(Keyboard(index));
}

// Takes keyboard `index`'s lines when another process changed them. This
// bench's own writes end first: a line read before one of them ends would
// undo its change. A file that no longer reads changes nothing.
void EmulatorBench::LoadState(int index) {
    if (!m_stateFile)
        return;
    std::unique_lock<std::mutex> lock(m_stateLock);
    m_stateWritten.wait(lock, [this] { return !m_writing && std::max(m_written, m_failed) >= m_changes; });
    if (m_keptSinceWrite[static_cast<std::size_t>(index)])
        return; // its own change, not yet written, is newer
    const std::optional<std::string> text = m_stateFile->Read();
    std::map<int, KeptState> kept;
    std::string why;
    if (!text || !ParseStateFile(*text, kept, why))
        return;
    if (const auto at = kept.find(index + 1);
        at != kept.end() && !(at->second == m_kept[static_cast<std::size_t>(index)]))
        TakeFromFile(index, at->second);
}

// Takes what keyboard `index` holds and stored now as what it keeps, and
// returns once the state file holds it (true) or its write failed (false);
// at once when nothing changed. A change made while the file is being
// written waits for the next write, which then covers every change made
// meanwhile. When a write fails, every change it covered fails.
bool EmulatorBench::SaveState(int index) {
    const auto at = static_cast<std::size_t>(index);
    std::unique_lock<std::mutex> lock(m_stateLock);
    const KeptState now = Kept(Keyboard(index));
    if (now == m_kept[at] && !m_keptSinceWrite[at])
        return true;
    m_kept[at] = now;
    m_keptSinceWrite[at] = true;
    const uint64_t mine = ++m_changes;
    while (m_written < mine && m_failed < mine) {
        if (m_writing) {
            m_stateWritten.wait(lock);
            continue;
        }
        m_writing = true;
        const uint64_t covered = m_changes;
        const std::vector<KeptState> kept = m_kept;
        std::vector<bool> changed(m_keptSinceWrite.size(), false);
        changed.swap(m_keptSinceWrite);
        lock.unlock();
        const bool ok = WriteStateFile(kept, changed);
        lock.lock();
        m_writing = false;
        if (!ok) { // the next write renews these lines too
            for (std::size_t i = 0; i < changed.size(); ++i)
                m_keptSinceWrite[i] = m_keptSinceWrite[i] || changed[i];
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
bool EmulatorBench::WriteStateFile(const std::vector<KeptState>& kept,
                                   const std::vector<bool>& changed) {
    return m_stateFile->Update([&](const std::string& old) -> std::optional<std::string> {
        std::map<int, KeptState> lines;
        std::string why;
        if (!ParseStateFile(old, lines, why))
            return std::nullopt; // replaced by another file meanwhile: not ours to write
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (changed[i] || lines.count(number) == 0)
                lines[number] = kept[i];
        }
        return FormatStateFile(lines);
    });
}
