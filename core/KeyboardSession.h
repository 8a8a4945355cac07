#pragma once

#include "core/KeyboardBus.h"
#include "core/ReplyRule.h"
#include "device/HidBus.h"
#include "device/ReportProtocol.h"
#include "settings/KeyboardSettings.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CHidDevice;

// One keyboard driven without a tick: each exchange writes one report and
// waits for the reader thread to decode the answer (woken by the reader's
// Changed, no polling), and is repeated the way the window repeats it. What
// answers an exchange is decided as in the window (reply::Answers): a reply
// already waiting when a report goes out answers nothing sent after it; an
// event (type 11) never answers anything.
// A keyboard lost, or replaced by another connection, ends every exchange.
//
// The message log gets the lines the window writes: the senders' and the
// requests' lines, and the text of every reply taken over.
//
// Not thread-safe: one thread drives a session; several sessions may run on
// threads of their own.
class KeyboardSession {
public:
    enum class Result {
        Done,
        NoKeyboard,       // none on the bus, or none could be opened
        PermissionDenied, // a keyboard is there but may not be opened
        NoAnswer,         // every attempt went unanswered
        Lost,             // the keyboard went away (or was replaced) meanwhile
        Differs,          // the keyboard holds other settings than it was sent
        Interrupted,      // InterruptAll was called
    };

    // The window gives up waiting after 7 ticks of 300 ms (49 for the store)
    // and sends again; the session does so too, at most this often.
    static constexpr std::chrono::milliseconds ReplyTimeout{7 * 300};
    static constexpr std::chrono::milliseconds StoreReplyTimeout{49 * 300};
    static constexpr int Attempts = 3;
    static constexpr int StoreAttempts = 2;
    // How long Open waits for the reader to open a keyboard the bus lists:
    // its first search runs at once, the next ones a second apart.
    static constexpr std::chrono::milliseconds OpenTimeout{2500};

    // `log` (may be null) stays the caller's.
    explicit KeyboardSession(std::shared_ptr<HidBus> bus, FILE* log = nullptr);
    ~KeyboardSession();
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // Shorter waits for tests; the defaults are the window's.
    void SetReplyTimeouts(std::chrono::milliseconds reply, std::chrono::milliseconds store) {
        m_replyTimeout = reply;
        m_storeReplyTimeout = store;
    }

    // Starts the reader and waits until it opened the first keyboard on the
    // bus (Done), or found it may not (PermissionDenied), or found none.
    Result Open();
    // Stops the reader and closes the keyboard.
    void Close();
    uint16_t ProductId() const;

    // What the keyboard reported: every reply taken over lands here, through
    // the record's pulls (full for types 2 to 4, live for the others).
    KeyboardSettings& Record() { return m_record; }

    // Request 1 to 4 and its answer.
    Result Request(uint8_t type);
    // Requests 2, 3 and 4: the whole configuration.
    Result ReadConfiguration();
    // Report 5, 6, 7 or 9 built from `values`, and its acknowledgement.
    Result Send(uint8_t command, const KeyboardSettings& values);

    // Sends the reports of `commands` (any of 5, 6, 7; sent in the window's
    // order 7, 5, 6) built from `wanted`, reads the configuration back and
    // compares every setting those reports carry with what the keyboard can
    // hold of it. Differs leaves the differences in `differences`.
    Result WriteSettings(const KeyboardSettings& wanted, const std::vector<uint8_t>& commands,
                         std::string& differences);

    // Reads the keyboard's configuration, lays `overlay`'s changes over it,
    // sends `commands` built from the result, checks the read-back against it
    // and stores if asked.
    Result Change(const std::function<void(DeviceStatus&)>& overlay,
                  const std::vector<uint8_t>& commands, bool store, std::string& differences);
    // A settings file's first `valueLines` fields, held in `file`, laid over
    // the keyboard's own configuration as a recall in the window does; all
    // three reports are sent, the ID number being the keyboard's own.
    Result ApplyFileFields(const DeviceStatus& file, int valueLines, bool store,
                           std::string& differences);

    // Waits until `until`, telling events as they come; Done at the time.
    Result Pause(std::chrono::steady_clock::time_point until);

    // Called with the report text of every event report the session notices
    // while it waits (on the driving thread). Two reports decoded between two
    // wake-ups show only the later one; the event log has every event.
    void OnEvent(std::function<void(const std::string& reportText)> handler) {
        m_onEvent = std::move(handler);
    }

    // Ends every wait of every session at once and for good (a signal).
    static void InterruptAll();
    static bool Interrupted();

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    // Await's `awaited` when only time passes.
    static constexpr uint8_t NothingAwaited = 0xFF;
    Result Exchange(const std::function<int()>& write, uint8_t awaited, bool fullPull,
                    std::chrono::milliseconds timeout, int attempts);
    Result Await(TimePoint deadline, uint8_t awaited, bool fullPull);
    int WriteRequest(uint8_t type);
    bool KeyboardGone() const;

    std::shared_ptr<HidBus> m_bus;
    std::unique_ptr<CHidDevice> m_device;
    FILE* m_log;
    KeyboardSettings m_record;
    uint32_t m_connection = 0;
    uint64_t m_seenReports = 0;
    std::chrono::milliseconds m_replyTimeout = ReplyTimeout;
    std::chrono::milliseconds m_storeReplyTimeout = StoreReplyTimeout;
    std::function<void(const std::string&)> m_onEvent;
};

const char* ResultText(KeyboardSession::Result result);
