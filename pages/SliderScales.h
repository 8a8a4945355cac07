#pragma once

#include "core/LevelPercent.h"

#include <algorithm>
#include <cstdint>

// How the Threshold and Timers pages show a setting as a slider position
// (position 0 at the top, the largest value) and which setting a position
// stands for. A value between two positions, or outside the range, is shown
// at the nearest position; it changes only when the technician moves the
// slider, to ValueAt of the new position. Plain C++, so that tests without
// widgets can model the pages.
namespace slider {

enum class Scale { Threshold, Interval, KeyLimit, Clean, AlarmHours };

constexpr int PercentMax = 100;
constexpr int IntervalMax = 60;
constexpr int KeyLimitMax = 66; // thousands of keystrokes
constexpr int CleanMax = 255;
constexpr int AlarmHoursMax = 48;

constexpr int Maximum(Scale scale) {
    switch (scale) {
    case Scale::Threshold:
        return PercentMax;
    case Scale::Interval:
        return IntervalMax;
    case Scale::KeyLimit:
        return KeyLimitMax;
    case Scale::Clean:
        return CleanMax;
    case Scale::AlarmHours:
        break;
    }
    return AlarmHoursMax;
}

// A threshold is a byte on the keyboard; its slider shows it as a percentage,
// as the main window shows the levels.
constexpr int PercentOfThreshold(uint16_t value) {
    return static_cast<int>(PercentOfLevel(value));
}

constexpr int PositionOf(Scale scale, uint16_t value) {
    int position = 0;
    switch (scale) {
    case Scale::Threshold:
        position = PercentMax - PercentOfThreshold(value);
        break;
    case Scale::KeyLimit:
        position = KeyLimitMax - value / 1000;
        break;
    case Scale::AlarmHours:
        // 0 hours is the one-minute alarm at the bottom.
        position = value == 0 ? AlarmHoursMax : AlarmHoursMax - value;
        break;
    case Scale::Interval:
    case Scale::Clean:
        position = Maximum(scale) - value;
        break;
    }
    return std::clamp(position, 0, Maximum(scale));
}

constexpr uint16_t ValueAt(Scale scale, int position) {
    switch (scale) {
    case Scale::Threshold:
        return static_cast<uint16_t>((25550 - 255 * position) / 100);
    case Scale::KeyLimit:
        // Position 0 would be 66000, which does not fit the 16-bit trigger.
        return static_cast<uint16_t>((KeyLimitMax - std::max(position, 1)) * 1000);
    default:
        return static_cast<uint16_t>(Maximum(scale) - position);
    }
}

} // namespace slider
