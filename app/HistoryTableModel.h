#pragma once

#include "core/SensorHistory.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <deque>

// The history's samples as a table, oldest first, each row named by its
// local time (with the date when the rows span midnight); levels and
// thresholds in percent, as the main window shows them. It keeps its own copy,
// so that a paused window stays still. TakeOver() appends what the history
// gained and drops only the rows its ring has dropped: rows already shown
// keep their place, and with them the selection and a screen reader's place.
class HistoryTableModel : public QAbstractTableModel {
public:
    enum Column {
        Left,
        Right,
        Sensor3,
        Sensor4,
        Keystrokes,
        Led,
        Beeper,
        Clean,
        LowThreshold,
        HighThreshold,
        KeystrokeTrigger,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // Brings the rows up to the history's ring.
    void TakeOver(const SensorHistory::SampleRing& ring);
    const std::deque<HistorySample>& Samples() const { return m_samples; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool SpansMidnight() const;

    std::deque<HistorySample> m_samples;
    uint64_t m_taken = 0; // how many samples the ring had ever received
    bool m_spansMidnight = false;
};
