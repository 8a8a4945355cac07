#pragma once

#include <algorithm>
#include <limits>

// Where a level stands against the Low and High thresholds: past High it is
// in the alarm band, else past Low above Low, else normal; a level equal to a
// threshold does not pass it. The main window colours its bars by it and the
// sensor history its lines and crossings. A count against a single trigger
// follows the same rule with both thresholds at the trigger.
enum class LevelBand { Normal, AboveLow, AboveHigh };

constexpr LevelBand BandOf(int level, int low, int high) {
    return level > high  ? LevelBand::AboveHigh
           : level > low ? LevelBand::AboveLow
                         : LevelBand::Normal;
}

// The levels BandOf puts in a band: above `from`, up to and with `to`; none
// when `to` is not above `from`.
struct LevelRange {
    int from, to;
};

constexpr LevelRange RangeOf(LevelBand band, int low, int high) {
    switch (band) {
    case LevelBand::Normal:
        return {-1, std::min(low, high)};
    case LevelBand::AboveLow:
        return {low, high};
    case LevelBand::AboveHigh:
        break;
    }
    return {high, std::numeric_limits<int>::max()};
}
