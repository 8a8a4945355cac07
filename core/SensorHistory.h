#pragma once

#include "settings/DeviceStatus.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What one status reply showed, with the thresholds the record held when it
// was taken over. 32 bytes.
struct HistorySample {
    std::chrono::system_clock::time_point time;
    std::array<uint16_t, 4> levels{}; // raw: left, right, 3, 4
    uint16_t keystrokes = 0;
    uint16_t lowThreshold = 0;
    uint16_t highThreshold = 0;
    uint16_t keystrokeTrigger = 0;
    bool ledOn = false;
    bool beeperOn = false;
    bool cleanActive = false;

    bool operator==(const HistorySample&) const = default;
};

// Something seen between samples: an event report, the keyboard going away
// (unplugged, silent or replaced) and coming back.
struct HistoryMarker {
    enum Kind : uint8_t { Event, KeyboardLost, KeyboardFound };
    std::chrono::system_clock::time_point time;
    Kind kind = Event;
};

// A fixed-size ring: once full, each new entry replaces the oldest.
template <typename T, std::size_t N> class HistoryRing {
public:
    static constexpr std::size_t Capacity = N;
    void Push(const T& item) {
        m_items[(m_first + m_size) % N] = item;
        if (m_size < N)
            ++m_size;
        else
            m_first = (m_first + 1) % N;
        ++m_pushed;
    }
    std::size_t Size() const { return m_size; }
    // Every entry ever pushed, also those replaced since: a viewer that
    // remembers it can tell how many entries are new.
    uint64_t Pushed() const { return m_pushed; }
    // 0 is the oldest entry kept.
    const T& operator[](std::size_t i) const { return m_items[(m_first + i) % N]; }
    std::vector<T> Copy() const {
        std::vector<T> items;
        items.reserve(m_size);
        for (std::size_t i = 0; i < m_size; ++i)
            items.push_back((*this)[i]);
        return items;
    }

private:
    std::array<T, N> m_items{};
    std::size_t m_first = 0;
    std::size_t m_size = 0;
    uint64_t m_pushed = 0;
};

// The last half hour and more of the keyboard's live status: the polling
// machine adds a sample for each status reply it takes over (one every
// 600 ms, so 4096 samples hold about 41 minutes) and a marker for each event
// and each loss and return of the keyboard. Memory is fixed; no widgets, so
// any front end can show it. Not thread-safe: the thread that ticks the
// machine uses it.
class SensorHistory {
public:
    using Clock = std::chrono::system_clock;
    static constexpr std::size_t SampleCapacity = 4096;
    static constexpr std::size_t MarkerCapacity = 256;
    using SampleRing = HistoryRing<HistorySample, SampleCapacity>;
    using MarkerRing = HistoryRing<HistoryMarker, MarkerCapacity>;

    void AddSample(const DeviceStatus& status);
    void AddMarker(HistoryMarker::Kind kind);

    const SampleRing& Samples() const { return *m_samples; }
    const MarkerRing& Markers() const { return *m_markers; }
    // Counts every addition, so that a viewer can tell whether anything is new.
    uint64_t Version() const { return m_samples->Pushed() + m_markers->Pushed(); }

    // Time stamps come from the system clock unless replaced (simulated time).
    void SetClock(std::function<Clock::time_point()> clock) { m_clock = std::move(clock); }

private:
    Clock::time_point Now() const { return m_clock ? m_clock() : Clock::now(); }

    // On the heap: the window and the machine stay small objects.
    std::unique_ptr<SampleRing> m_samples = std::make_unique<SampleRing>();
    std::unique_ptr<MarkerRing> m_markers = std::make_unique<MarkerRing>();
    std::function<Clock::time_point()> m_clock;
};

// "2026-12-07T06:11:20.125+01:00": local time with milliseconds and the
// offset from UTC in force then (ISO 8601), the clock the window shows.
std::string IsoTime(std::chrono::system_clock::time_point time);

// The samples as CSV: a header row, then one row per sample, oldest first,
// with LF line ends. Levels and thresholds come twice: in percent as the
// window shows them ("left_percent"), then as the keyboard sent them
// ("left_raw", 0-255), in columns of their own at the end.
std::string HistoryCsv(const std::vector<HistorySample>& samples);
