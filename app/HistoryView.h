#pragma once

// What the sensor history's plot, table and window share: the colours and
// names the main window uses, and the local clock they all read.

#include <QColor>
#include <QDateTime>
#include <QString>

#include <chrono>

// The colours of the main window's bars.
struct LevelColours {
    QColor normal, aboveLow, alarm;
};

inline constexpr int MaxSensors = 4;
inline const char* const SensorNames[MaxSensors] = {"Left", "Right", "Sensor 3", "Sensor 4"};

inline QDateTime LocalDateTime(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    return QDateTime::fromMSecsSinceEpoch(
        duration_cast<milliseconds>(t.time_since_epoch()).count());
}

inline QString ClockText(std::chrono::system_clock::time_point t, const char* format = "HH:mm:ss") {
    return LocalDateTime(t).toString(QString::fromLatin1(format));
}
