#pragma once

#include "core/SensorHistory.h"

#include <QString>

#include <deque>

// What a screen reader says of the history plot: the latest sample, with
// the levels and thresholds in percent as the main window shows them, and
// the last time a sensor crossed a threshold.
QString DescribeHistory(const std::deque<HistorySample>& samples, int sensors);
