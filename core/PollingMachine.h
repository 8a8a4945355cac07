#pragma once

#include "core/MessageLog.h"
#include "core/ReplyRule.h"
#include "core/ReportRequests.h"
#include "core/SensorHistory.h"
#include "settings/SettingsFile.h"

#include <cstdint>
#include <memory>
#include <string>

class CHidDevice;
class CoreView;
class HidBus;

// Every exchange with the keyboard that the program starts: one step per
// tick, at most one report written per tick, replies looked for on later
// ticks. Between exchanges it asks for the live status; after a connection
// and after a recall it reads the whole configuration (requests 2, 3, 4);
// changes made while the configuration is unlocked are sent in a fixed order
// and repeated until answered.
//
// Nothing reaches a keyboard that nobody chose: reports 5, 6 and 7 go only to
// a keyboard whose whole configuration was read since it was found, and a
// full read counts only when each of its requests was answered with a reply
// of the type asked for.
//
// It owns the device (and with it the reader thread) and the message log;
// the settings record is the process-wide g_settings. Not thread-safe: one
// thread ticks it and calls everything else.
class PollingMachine : public ReportRequests {
public:
    enum State : int {
        Dispatch = 0,
        AwaitStatus = 1,
        StartFullRead = 2,
        AwaitThresholds = 3,
        AwaitIdNumber = 4,
        AwaitConfigurationFlags = 5,
        AwaitIdNumberAck = 6,
        AwaitThresholdsAck = 7,
        AwaitConfigurationFlagsAck = 8,
        AwaitStoreAck = 9,
    };
    // Longest waits for a reply, in ticks.
    static constexpr uint16_t ReplyTickLimit = 6;
    static constexpr uint16_t StoreReplyTickLimit = 48;

    struct Pending {
        bool options = false;    // report 7, configuration flags
        bool thresholds = false; // report 5, thresholds and timers
        bool idNumber = false;   // report 6
        bool store = false;      // report 9
        bool reread = false;     // requests 2, 3, 4
    };

    explicit PollingMachine(std::shared_ptr<HidBus> bus);
    ~PollingMachine();
    PollingMachine(const PollingMachine&) = delete;
    PollingMachine& operator=(const PollingMachine&) = delete;

    // Starts the reader thread, which looks for the keyboard.
    bool Start();
    // Stops the reader thread and closes the device and the message log.
    void Stop();

    void SetView(CoreView* view) { m_view = view; }

    // One step of the machine.
    void Tick();
    uint64_t Ticks() const { return m_ticks; }

    // ReportRequests: each marks its report only while unlocked.
    void RequestOptionsReport() override;
    void RequestThresholdsReport() override;
    void RequestIdNumberReport() override;
    // The "Store" button: asks the keyboard to keep what it was sent.
    void RequestStore() { m_pending.store = true; }

    // The configuration lock. Unlocking needs a keyboard being read, or
    // Simulate; locking always succeeds. The view is shown the lock state
    // afterwards, also after a refusal, and it is returned.
    bool SetConfigurationUnlocked(bool unlock);
    bool ConfigurationUnlocked() const { return m_unlocked; }

    // Simulate mode (test mode only): the record's thresholds report is logged
    // on every tick and nothing is sent to the keyboard.
    void SetSimulate(bool on) { m_simulate = on; }
    bool Simulate() const { return m_simulate; }

    // Reads a settings file into the record. Only a file read without error
    // replaces the record (and is then sent, while unlocked); any file that
    // could be opened makes the keyboard's configuration be read back.
    RecallResult Recall(const std::string& path);

    // The message log: opened (truncated) at `path`, or closed.
    bool EnableMessageLog(bool on, const std::string& path = {});
    FILE* MessageLogStream() const { return m_log.Stream(); }

    CHidDevice& Device() { return *m_device; }
    const CHidDevice& Device() const { return *m_device; }
    // The keyboard is open and being read.
    bool KeyboardPresent() const;
    // The product ID of the open keyboard, 0 without one.
    uint16_t ProductId() const;
    // The keyboard's configuration was read completely on this connection,
    // and no full read has started since, so reports 5, 6 and 7 may be sent.
    bool ConfigurationVerified() const;

    // The levels of every status reply taken over, events and the times
    // without a keyboard.
    SensorHistory& History() { return m_history; }
    const SensorHistory& History() const { return m_history; }

    int PollState() const { return m_state; }
    const Pending& PendingReports() const { return m_pending; }

private:
    int GetReport(uint8_t type);
    bool StartFullReadRequest();
    bool CheckReply(uint16_t limit, uint8_t awaited);
    void DispatchStep();
    void NoKeyboard();
    bool KeyboardReplaced();
    void ClearPending() { m_pending = Pending{}; }
    uint32_t CurrentConnection() const;
    void NoteKeyboardPresence(bool present);
    void NoteEvents();

    void ShowRecord();
    void ShowNoDevice();

    // A setting changed while its report waits for the keyboard's answer must
    // be sent again: each request is counted, and the answer clears the
    // pending flag only when no request came after the report was sent.
    struct RequestCount {
        unsigned requested = 0;
        unsigned sent = 0;
    };
    static void ClearUnlessRequestedAgain(bool& pending, const RequestCount& count);

    std::unique_ptr<CHidDevice> m_device;
    MessageLog m_log;
    CoreView* m_view = nullptr;

    int m_state = StartFullRead;
    unsigned m_waitTicks = 0;
    uint64_t m_ticks = 0;
    Pending m_pending;
    RequestCount m_optionsRequests;
    RequestCount m_thresholdsRequests;
    RequestCount m_idNumberRequests;
    bool m_unlocked = false;
    bool m_simulate = false;
    // A type-10 reply names no report. Once a write went unanswered in time,
    // its answer may still come, late, after the next write: from then on an
    // answer only makes the machine ask for the status before it sends the
    // report again, and the next status reply ends the doubt.
    enum class Acknowledgements { Trusted, LateOnePossible, StatusFirst };
    Acknowledgements m_acknowledgements = Acknowledgements::Trusted;

    // The reader's connection the machine works with (0: none seen since the
    // keyboard was last missing), and the one whose configuration was last
    // read completely (0: none, or a full read is under way).
    uint32_t m_connection = 0;
    uint32_t m_verifiedConnection = 0;

    SensorHistory m_history;
    // Whether the last tick found a keyboard (-1: no tick yet), and the
    // reader's count of events already marked.
    int m_keyboardSeen = -1;
    uint64_t m_eventsSeen = 0;
};
