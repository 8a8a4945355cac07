#include "core/SensorHistory.h"

#include <cstdio>

void SensorHistory::AddSample(const DeviceStatus& s) {
    HistorySample sample;
    sample.time = Now();
    sample.levels = {s.LeftLevel, s.RightLevel, s.PressureLevel, s.Sensor4Level};
    sample.keystrokes = s.KeystrokeCount;
    sample.lowThreshold = s.LowThreshold;
    sample.highThreshold = s.HighThreshold;
    sample.keystrokeTrigger = s.KeystrokeAlarmTrigger;
    sample.ledOn = s.LedAlarmOn != 0;
    sample.beeperOn = s.BeeperAlarmOn != 0;
    sample.cleanActive = s.CleanActive != 0;
    m_samples->Push(sample);
    ++m_version;
}

void SensorHistory::AddMarker(HistoryMarker::Kind kind) {
    m_markers->Push({Now(), kind});
    ++m_version;
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string HistoryCsv(const std::vector<HistorySample>& samples) {
    std::string csv = "time,left,right,sensor3,sensor4,keystrokes,led_on,beeper_on,clean_active,"
                      "low_threshold,high_threshold,keystroke_trigger\n";
    char row[128];
    for (const HistorySample& s : samples) {
        std::snprintf(row, sizeof row, ",%u,%u,%u,%u,%u,%d,%d,%d,%u,%u,%u\n", s.levels[0],
                      s.levels[1], s.levels[2], s.levels[3], s.keystrokes, s.ledOn, s.beeperOn,
                      s.cleanActive, s.lowThreshold, s.highThreshold, s.keystrokeTrigger);
        csv += IsoTime(s.time);
        csv += row;
    }
    return csv;
}
