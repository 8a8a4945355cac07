#pragma once

#include <cstdint>

// Sensor levels and thresholds are bytes on the keyboard (0-255); people
// read them as percent of the byte's 256 steps, rounded to the nearest. The
// main window, its Threshold page and the sensor history all show them so.
// Larger levels give their true percentage, above 100.
inline constexpr unsigned LevelSteps = 256;

constexpr unsigned PercentOfLevel(uint16_t level) {
    return (static_cast<unsigned>(level) * 100u + LevelSteps / 2) / LevelSteps;
}
