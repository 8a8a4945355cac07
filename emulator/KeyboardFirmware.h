#pragma once

#include "device/ReportProtocol.h"
#include "settings/DeviceStatus.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The keyboard's side of the report protocol, apart from how it is reached.
//
// It answers output reports (a request for type n with a report of type n;
// settings reports and "store" with a type-10 reply), keeps a stored copy of
// its settings that survives a power cycle, and moves its live values over
// simulated time: sensor levels wander, the keystroke count climbs, alarms
// rise when a limit is passed, a cleaning run follows an alarm and clears it.
// It also sends event reports (type 11) of its own accord.
//
// Everything it sends waits in an outgoing queue until the transport takes
// it. It is not thread-safe and uses no clock: it is deterministic for a
// given seed and sequence of calls.
class KeyboardFirmware {
public:
    using Report = protocol::Report;
    using Milliseconds = std::chrono::milliseconds;

    // Live values move in steps of this length.
    static constexpr Milliseconds Tick{100};
    // How long an alarm stays on before the user starts a cleaning run.
    static constexpr Milliseconds AlarmResponseTime{5000};

    // Event codes carried in byte 2 of an event report.
    enum EventCode : uint8_t {
        EventHeartbeat = 1,
        EventAlarmRaised = 2,
        EventCleaningStarted = 3,
        EventCleaningFinished = 4,
        EventRequested = 5,
    };

    explicit KeyboardFirmware(uint16_t productId = 0x0705, uint32_t seed = 1);

    uint16_t ProductId() const { return m_productId; }
    // The product 0x0703 has no beeper and none of the configuration,
    // backlight, auto-sense, PS/2 and re-enumeration switches.
    bool HasBeeper() const;
    bool HasExtendedSwitches() const;

    // The settings and live values as the keyboard holds them now, and the
    // copy that "store" last kept.
    const DeviceStatus& State() const { return m_state; }
    const DeviceStatus& Stored() const { return m_stored; }
    // Replace the state and the stored copy (product restrictions still apply).
    void SetState(const DeviceStatus& state);
    void SetStored(const DeviceStatus& stored);

    // Handles one output report as it reaches the keyboard: 9 bytes, byte 0
    // the report ID 0. Reports of unknown commands, requests for types other
    // than 1-4 and reports shorter than two bytes get no answer.
    void HandleOutputReport(const uint8_t* report, std::size_t length);

    // Moves simulated time forward: live values, alarms, cleaning, periodic
    // events. Remainders shorter than one tick are carried to the next call.
    void Advance(Milliseconds elapsed);

    // Power lost and back: settings come back from the stored copy, the live
    // values restart (the keystroke count is kept), a pending output is lost.
    void PowerCycle();

    // Queues an event report (type 11) now.
    void SendEvent(uint8_t code = EventRequested);
    // Queues a live-status report after one more keystroke: what the keyboard
    // sends when keys are pressed quickly (used for floods).
    void PressKey();

    // Periodic event reports; zero switches them off.
    void SetEventInterval(Milliseconds interval) { m_eventInterval = interval; }

    // Reports waiting to be sent, oldest first; TakeOutput empties the queue.
    bool HasOutput() const { return !m_output.empty(); }
    std::vector<Report> TakeOutput();

    // Factory settings of a fresh keyboard of this product.
    static DeviceStatus FactoryState(uint16_t productId);

private:
    void Step();
    void MoveSensors();
    void UpdateAlarms();
    void UpdateCleaning();
    void ApplyRestrictions(DeviceStatus& s) const;
    void Queue(const Report& report) { m_output.push_back(report); }
    uint32_t Random();

    uint16_t m_productId;
    DeviceStatus m_state;
    DeviceStatus m_stored;
    std::deque<Report> m_output;

    uint32_t m_random;
    Milliseconds m_carry{0};
    Milliseconds m_eventInterval{10000};
    Milliseconds m_sinceEvent{0};
    Milliseconds m_sinceClean{0};  // for the alarm timer (minutes)
    Milliseconds m_alarmFor{0};    // how long the current alarm has been on
    Milliseconds m_cleaningFor{0}; // how long the current cleaning run has been on
    bool m_alarm = false;
};
