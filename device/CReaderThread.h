#pragma once

#include "device/HidBus.h"
#include "device/ReportSource.h"
#include "settings/DeviceStatus.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The one process-wide lock between the reader thread and the pulls. It
// guards the reader's ReplyReceived, DevicePresent, LastReportText and Status.
extern std::mutex StatusLock;

// The worker thread: searches for the keyboard (at once, on every arrival the
// bus tells of, and every 1000 ms in case one went untold), reads its input
// reports and decodes each into Status under StatusLock.
// Event reports are appended to "eventlog.txt" in the current directory (in
// the user's state folder when that directory cannot be written).
class CReaderThread {
public:
    explicit CReaderThread(ReportSource* device);
    ~CReaderThread(); // stops and joins the thread if it still runs
    CReaderThread(const CReaderThread&) = delete;
    CReaderThread& operator=(const CReaderThread&) = delete;

    bool Start();
    // Clears KeepRunning and waits until the loop has set Stopped.
    void Stop();

    // Decodes one input report as the loop does; the caller holds StatusLock.
    void DecodeReport(const uint8_t* report);

    // One pass of the loop: a search while no keyboard is open, else one read
    // that waits at most `readTimeoutMs`. The thread runs it over and over;
    // tests that want no thread run it themselves.
    enum class StepResult { Opened, NotFound, Decoded, NothingRead, Lost, Stopping };
    StepResult Step(int readTimeoutMs);

    // Under StatusLock.
    std::atomic<uint8_t> ReplyReceived{0};
    std::atomic<uint8_t> DevicePresent{0};
    std::string LastReportText;
    // The text of the last reply: what a pull takes over and logs. An event
    // that comes after it changes LastReportText, never this.
    std::string LastReplyText;
    uint8_t LastReplyType = 0; // input type of the report that set ReplyReceived
    // Counts the connections opened since the start: a keyboard unplugged and
    // plugged in again (or another one) between two looks gets a new number.
    // Written under StatusLock; read without it.
    std::atomic<uint32_t> Connection{0};
    ReportSource* Device;
    std::atomic<int> ReaderState{0}; // 0 searching, 1 reading
    DeviceStatus Status;
    std::atomic<int> Stopped{0};
    std::atomic<int> KeepRunning{1};
    // Reports read and decoded since the start; for diagnostics and measuring.
    std::atomic<uint64_t> ReportsDecoded{0};
    // Event reports (type 11) decoded since the start.
    std::atomic<uint64_t> EventsDecoded{0};
    // Notified, with StatusLock taken in between, whenever this reader
    // decoded a report, opened a keyboard, lost it or finished a search that
    // found none: a thread that waits for a reply waits on it with StatusLock
    // instead of polling.
    std::condition_variable Changed;

    enum : int { Searching = 0, Reading = 1 };
    static constexpr int SearchIntervalMs = 1000;
    // A read wakes up this often to see whether the reader is being stopped,
    // so that Stop never waits long for a silent keyboard.
    static constexpr int ReadPollMs = 100;
    // Searches start at least this far apart, so that a burst of arrivals (a
    // keyboard's several interfaces, devices coming and going all the time)
    // costs one search, not one each.
    static constexpr std::chrono::milliseconds SearchSpacing{20};

private:
    using Clock = std::chrono::steady_clock;
    void Run();
    void WaitBeforeNextSearch();
    void NotifyChanged();
    void OnBusChange(HidChange change);

    std::vector<uint8_t> m_buffer;
    std::thread m_thread;
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    bool m_searchWanted = false;  // under m_wakeLock: an arrival since the last search
    Clock::time_point m_lastSearch; // reader thread only
    std::unique_ptr<HidWatch> m_watch;
};
