#include "core/KeyboardSession.h"

#include "device/CHidDevice.h"
#include "device/CReaderThread.h"
#include "device/RecordFields.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>

namespace {

std::atomic<bool> g_interrupted{false};

// The readers of the open sessions, for InterruptAll to wake.
std::mutex g_readersLock;
std::set<CReaderThread*> g_readers;

// After a write that failed, the next attempt follows after one tick, as in
// the window.
constexpr std::chrono::milliseconds RetryAfterFailedWrite{300};

const std::string EventTextPrefix = [] {
    protocol::Report report{};
    report[1] = protocol::TypeEvent;
    return protocol::ReportText(report.data()).substr(0, 6);
}();

} // namespace

KeyboardSession::KeyboardSession(std::shared_ptr<HidBus> bus, FILE* log)
    : m_bus(bus), m_device(std::make_unique<CHidDevice>(std::move(bus))), m_log(log) {}

KeyboardSession::~KeyboardSession() {
    Close();
}

void KeyboardSession::InterruptAll() {
    g_interrupted = true;
    std::lock_guard<std::mutex> readers(g_readersLock);
    for (CReaderThread* reader : g_readers) {
        { std::lock_guard<std::mutex> lock(StatusLock); }
        reader->Changed.notify_all();
    }
}

bool KeyboardSession::Interrupted() {
    return g_interrupted;
}

uint16_t KeyboardSession::ProductId() const {
    return m_device->ProductId.load();
}

KeyboardSession::Result KeyboardSession::Open() {
    // The bus is asked first, so that an empty one is told at once instead of
    // after the reader's searches.
    if (FindKeyboards(*m_bus).empty())
        return Result::NoKeyboard;
    if (!m_device->StartReader())
        return Result::NoKeyboard;
    CReaderThread& reader = *m_device->Reader;
    {
        std::lock_guard<std::mutex> readers(g_readersLock);
        g_readers.insert(&reader);
    }
    std::unique_lock<std::mutex> lock(StatusLock);
    reader.Changed.wait_for(lock, OpenTimeout, [&] {
        return g_interrupted || reader.ReaderState == CReaderThread::Reading ||
               m_device->PermissionDenied();
    });
    if (g_interrupted)
        return Result::Interrupted;
    if (reader.ReaderState == CReaderThread::Reading) {
        m_connection = reader.Connection;
        m_seenReports = reader.ReportsDecoded;
        return Result::Done;
    }
    return m_device->PermissionDenied() ? Result::PermissionDenied : Result::NoKeyboard;
}

void KeyboardSession::Close() {
    if (!m_device->Reader)
        return;
    CReaderThread& reader = *m_device->Reader;
    if (reader.ReaderState == CReaderThread::Reading && !KeyboardGone()) {
        // The reader looks whether it should stop only between two reads, and
        // a read waits up to CReaderThread::ReadPollMs for a report. A request
        // for the live status is answered at once and so ends the read; what
        // is read after KeepRunning was cleared is dropped undecoded.
        reader.KeepRunning = 0;
        WriteRequest(protocol::TypeLiveStatus);
    }
    {
        std::lock_guard<std::mutex> readers(g_readersLock);
        g_readers.erase(&reader);
    }
    m_device->Close();
}

bool KeyboardSession::KeyboardGone() const {
    const CReaderThread& reader = *m_device->Reader;
    return reader.ReaderState != CReaderThread::Reading || reader.Connection != m_connection;
}

int KeyboardSession::WriteRequest(uint8_t type) {
    const protocol::Payload payload = protocol::EncodeRequest(type);
    if (m_log)
        std::fputs(protocol::GetReportLogLine(payload).c_str(), m_log);
    return m_device->WriteReport(payload.bytes.data(), payload.length);
}

KeyboardSession::Result KeyboardSession::Request(uint8_t type) {
    const bool full = type != protocol::TypeLiveStatus;
    return Exchange([&] { return WriteRequest(type); }, type, full, m_replyTimeout, Attempts);
}

KeyboardSession::Result KeyboardSession::ReadConfiguration() {
    for (uint8_t type : {protocol::TypeThresholdsAndTimers, protocol::TypeIdNumber,
                         protocol::TypeConfigurationFlags}) {
        if (const Result r = Request(type); r != Result::Done)
            return r;
    }
    return Result::Done;
}

KeyboardSession::Result KeyboardSession::Send(uint8_t command, const KeyboardSettings& values) {
    CHidDevice* device = m_device.get();
    std::function<int()> write;
    switch (command) {
    case protocol::CmdThresholdsAndTimers:
        write = [&] { return values.SendThresholdsAndTimers(device, m_log, false); };
        break;
    case protocol::CmdIdNumber:
        write = [&] { return values.SendIdNumber(device, m_log, false); };
        break;
    case protocol::CmdConfigurationFlags:
        write = [&] { return values.SendConfigurationFlags(device, m_log, false); };
        break;
    case protocol::CmdStore:
        return Exchange([&] { return values.SendStore(device, m_log, false); },
                        reply::Acknowledgement, false, m_storeReplyTimeout, StoreAttempts);
    default:
        return Result::NoAnswer;
    }
    return Exchange(write, reply::Acknowledgement, false, m_replyTimeout, Attempts);
}

KeyboardSession::Result KeyboardSession::WriteSettings(const KeyboardSettings& wanted,
                                                       const std::vector<uint8_t>& commands,
                                                       std::string& differences) {
    differences.clear();
    for (uint8_t command : {protocol::CmdConfigurationFlags, protocol::CmdThresholdsAndTimers,
                            protocol::CmdIdNumber}) {
        if (std::find(commands.begin(), commands.end(), command) == commands.end())
            continue;
        if (const Result r = Send(command, wanted); r != Result::Done)
            return r;
    }
    if (const Result r = ReadConfiguration(); r != Result::Done)
        return r;
    differences = SettingsDifferences(wanted, m_record);
    return differences.empty() ? Result::Done : Result::Differs;
}

// One exchange. A write that fails is tried again after a tick, unless the
// keyboard is gone.
KeyboardSession::Result KeyboardSession::Exchange(const std::function<int()>& write,
                                                  uint8_t awaited, bool fullPull,
                                                  std::chrono::milliseconds timeout, int attempts) {
    if (!m_device->Reader)
        return Result::NoKeyboard;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        reply::TakeWaiting(m_record, m_device.get(), m_log);
        const auto now = std::chrono::steady_clock::now();
        if (write() != 0) {
            if (const Result r = Await(now + RetryAfterFailedWrite, NothingAwaited, fullPull);
                r != Result::Done)
                return r;
            continue;
        }
        if (const Result r = Await(now + timeout, awaited, fullPull); r != Result::NoAnswer)
            return r;
    }
    return Result::NoAnswer;
}

// Waits until a reply that answers `awaited` was taken over,
// the keyboard is gone, the wait is interrupted or `deadline` passed. Every
// reply that arrives is taken over into the record (and logged), as the
// window's pulls do, whether it is the one awaited or not.
KeyboardSession::Result KeyboardSession::Await(TimePoint deadline, uint8_t awaited, bool fullPull) {
    const bool replyAwaited = awaited != NothingAwaited;
    CReaderThread& reader = *m_device->Reader;
    for (;;) {
        std::unique_lock<std::mutex> lock(StatusLock);
        const bool woken = reader.Changed.wait_until(lock, deadline, [&] {
            return g_interrupted || (replyAwaited && reader.ReplyReceived) ||
                   reader.ReportsDecoded != m_seenReports || KeyboardGone();
        });
        std::optional<std::string> event;
        if (reader.ReportsDecoded != m_seenReports) {
            m_seenReports = reader.ReportsDecoded;
            if (reader.LastReportText.rfind(EventTextPrefix, 0) == 0)
                event = reader.LastReportText;
        }
        const bool replied = reader.ReplyReceived != 0;
        lock.unlock();

        if (event && m_onEvent)
            m_onEvent(*event);
        if (g_interrupted)
            return Result::Interrupted;
        if (KeyboardGone())
            return Result::Lost;
        if (replyAwaited && replied) {
            if (fullPull)
                m_record.PullFullStatus(m_device.get(), m_log);
            else
                m_record.PullLiveStatus(m_device.get(), m_log);
            if (m_record.ReplyReceived && reply::Answers(m_record.ReplyType, awaited))
                return Result::Done;
        }
        if (!woken)
            return replyAwaited ? Result::NoAnswer : Result::Done;
    }
}

KeyboardSession::Result KeyboardSession::Change(const std::function<void(DeviceStatus&)>& overlay,
                                                const std::vector<uint8_t>& commands, bool store,
                                                std::string& differences) {
    if (const Result r = ReadConfiguration(); r != Result::Done)
        return r;
    KeyboardSettings wanted = m_record;
    overlay(wanted);
    if (const Result r = WriteSettings(wanted, commands, differences); r != Result::Done)
        return r;
    return store ? Send(protocol::CmdStore, wanted) : Result::Done;
}

KeyboardSession::Result KeyboardSession::ApplyFileFields(const DeviceStatus& file, int valueLines,
                                                         bool store, std::string& differences) {
    return Change(
        [&](DeviceStatus& wanted) { CopyFileFields(file, valueLines, wanted); },
        {protocol::CmdConfigurationFlags, protocol::CmdThresholdsAndTimers, protocol::CmdIdNumber},
        store, differences);
}

KeyboardSession::Result KeyboardSession::Pause(TimePoint until) {
    if (!m_device->Reader)
        return Result::NoKeyboard;
    return Await(until, NothingAwaited, false);
}

const char* ResultText(KeyboardSession::Result result) {
    using R = KeyboardSession::Result;
    switch (result) {
    case R::Done:
        return "done";
    case R::NoKeyboard:
        return "no keyboard";
    case R::PermissionDenied:
        return "the keyboard may not be opened";
    case R::NoAnswer:
        return "the keyboard did not answer";
    case R::Lost:
        return "the keyboard went away";
    case R::Differs:
        return "the keyboard holds other settings than it was sent";
    case R::Interrupted:
        break;
    }
    return "interrupted";
}
