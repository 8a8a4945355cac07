#include "device/CReaderThread.h"

#include "device/DeviceIds.h"
#include "device/ReportProtocol.h"
#include "device/StateFolder.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <system_error>

std::mutex StatusLock;

namespace {

// Appends one line for an event report to "eventlog.txt" in the current
// directory (else in the state folder); opened anew for every event so the
// file is always complete.
void AppendEventLog(const std::string& reportText) {
    const std::tm local = protocol::LocalTime(std::time(nullptr));
    // A current directory that cannot be written sends the events to the
    // user's state folder rather than losing them.
    FILE* file = std::fopen("eventlog.txt", "a+");
    if (!file) {
        const std::string folder = StateFolder();
        if (!folder.empty())
            file = std::fopen((folder + "eventlog.txt").c_str(), "a+");
    }
    if (file) {
        // Closed at once: the line reaches the file before the next event.
        std::fputs(protocol::EventLogLine(reportText, local).c_str(), file);
        std::fclose(file);
    }
}

} // namespace

CReaderThread::CReaderThread(ReportSource* device) : Device(device) {
    // The reader's block starts like the settings record's, except for the
    // alarm time.
    Status.AlarmTimer = 1440;
}

CReaderThread::~CReaderThread() {
    Stop();
}

bool CReaderThread::Start() {
    m_watch = Device->WatchBus([this](HidChange change) { OnBusChange(change); });
    try {
        m_thread = std::thread(&CReaderThread::Run, this);
    } catch (const std::system_error&) {
        m_watch.reset();
        return false;
    }
    return true;
}

void CReaderThread::Stop() {
    m_watch.reset(); // no notification comes after this
    {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        KeepRunning = 0;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CReaderThread::Run() {
    Stopped = 0;
    while (KeepRunning) {
        if (ReaderState == Searching)
            m_lastSearch = Clock::now();
        const StepResult step = Step(ReadPollMs);
        if (step == StepResult::NotFound || step == StepResult::Lost) {
            WaitBeforeNextSearch();
        }
    }
    Stopped = 1;
}

CReaderThread::StepResult CReaderThread::Step(int readTimeoutMs) {
    if (ReaderState == Searching) {
        if (!Device->Open()) {
            NotifyChanged();
            return StepResult::NotFound;
        }
        {
            // A reply the previous connection left untaken is not an answer
            // to anything sent to this one.
            std::lock_guard<std::mutex> lock(StatusLock);
            DevicePresent = 1;
            ReplyReceived = 0;
            ++Connection;
        }
        ReaderState = Reading;
        NotifyChanged();
        return StepResult::Opened;
    }

    m_buffer.assign(std::max<std::size_t>(Device->InputLength(), ReportLength), 0);
    const int read = Device->ReadReport(m_buffer.data(), readTimeoutMs);
    if (read < 0) {
        {
            std::lock_guard<std::mutex> lock(StatusLock);
            DevicePresent = 0;
            ReplyReceived = 0;
        }
        ReaderState = Searching;
        Device->CloseConnections();
        NotifyChanged();
        return StepResult::Lost;
    }
    if (read == 0) {
        return StepResult::NothingRead;
    }
    if (!KeepRunning) {
        return StepResult::Stopping; // a report read while stopping is dropped
    }
    {
        std::lock_guard<std::mutex> lock(StatusLock);
        DecodeReport(m_buffer.data());
        ++ReportsDecoded;
    }
    Changed.notify_all();
    return StepResult::Decoded;
}

// Flags written outside StatusLock (ReaderState, the device's permission
// flag) are seen by a waiter that checks them under the lock: taking the lock
// once before notifying means the waiter either saw the change or is already
// waiting when the notification comes.
void CReaderThread::NotifyChanged() {
    { std::lock_guard<std::mutex> lock(StatusLock); }
    Changed.notify_all();
}

// Until an arrival (then no sooner than SearchSpacing after the last search)
// or SearchIntervalMs after the last search. After a loss that is at once,
// unless the keyboard was found less than a second ago: a node whose reads
// fail at once is not opened again and again.
void CReaderThread::WaitBeforeNextSearch() {
    std::unique_lock<std::mutex> lock(m_wakeLock);
    m_wake.wait_until(lock, m_lastSearch + std::chrono::milliseconds(SearchIntervalMs),
                      [this] { return KeepRunning == 0 || m_searchWanted; });
    if (m_searchWanted)
        m_wake.wait_until(lock, m_lastSearch + SearchSpacing, [this] { return KeepRunning == 0; });
    m_searchWanted = false;
}

// On the bus's thread. A removal needs nothing: the open keyboard's reads fail
// at once when it is the one that left.
void CReaderThread::OnBusChange(HidChange change) {
    if (change != HidChange::Arrived)
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        m_searchWanted = true;
    }
    m_wake.notify_all();
}

void CReaderThread::DecodeReport(const uint8_t* report) {
    LastReportText = protocol::ReportText(report);
    const uint8_t untakenReply = ReplyReceived;
    ReplyReceived = 1;
    DevicePresent = 1;
    switch (protocol::DecodeInputReport(report, Status)) {
    case protocol::DecodeOutcome::Reply:
        LastReplyType = report[1];
        LastReplyText = LastReportText;
        break;
    case protocol::DecodeOutcome::Event:
        // An event is no answer, but it must not wipe out an answer that
        // came before it and is still to be taken over.
        ReplyReceived = untakenReply;
        AppendEventLog(LastReportText);
        ++EventsDecoded;
        break;
    case protocol::DecodeOutcome::Unknown:
        ReplyReceived = 0;
        DevicePresent = 0;
        break;
    }
}
