#include "core/SensorHistory.h"

#include "core/LevelPercent.h"
#include "device/ReportProtocol.h"

#include <cstdio>
#include <ctime>

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
}

void SensorHistory::AddMarker(HistoryMarker::Kind kind) {
    m_markers->Push({Now(), kind});
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const std::time_t whole = system_clock::to_time_t(floor<seconds>(ms));
    const std::tm local = protocol::LocalTime(whole);
    // The offset is the local clock's reading, taken as if it were UTC,
    // less the time itself.
    const sys_days date =
        year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                       day{static_cast<unsigned>(local.tm_mday)}};
    const sys_seconds asUtc =
        date + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
    const auto offset = duration_cast<minutes>(asUtc - floor<seconds>(ms)).count();
    const auto offsetAbs = offset < 0 ? -offset : offset;
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>((ms - floor<seconds>(ms)).count()),
                  offset < 0 ? '-' : '+', static_cast<int>(offsetAbs / 60),
                  static_cast<int>(offsetAbs % 60));
    return text;
}

std::string HistoryCsv(const std::vector<HistorySample>& samples) {
    std::string csv = "time,left_percent,right_percent,sensor3_percent,sensor4_percent,keystrokes,"
                      "led_on,beeper_on,clean_active,low_threshold_percent,"
                      "high_threshold_percent,keystroke_trigger,left_raw,right_raw,sensor3_raw,"
                      "sensor4_raw,low_threshold_raw,high_threshold_raw\n";
    char row[192];
    for (const HistorySample& s : samples) {
        const auto& l = s.levels;
        std::snprintf(row, sizeof row, ",%u,%u,%u,%u,%u,%d,%d,%d,%u,%u,%u,%u,%u,%u,%u,%u,%u\n",
                      PercentOfLevel(l[0]), PercentOfLevel(l[1]), PercentOfLevel(l[2]),
                      PercentOfLevel(l[3]), s.keystrokes, s.ledOn, s.beeperOn, s.cleanActive,
                      PercentOfLevel(s.lowThreshold), PercentOfLevel(s.highThreshold),
                      s.keystrokeTrigger, l[0], l[1], l[2], l[3], s.lowThreshold, s.highThreshold);
        csv += IsoTime(s.time);
        csv += row;
    }
    return csv;
}
