#pragma once

#include "core/SensorHistory.h"

#include <QColor>
#include <QWidget>

#include <vector>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QTableView;
class HistoryPlot;
class HistoryTableModel;

// The colours of the main window's bars.
struct LevelColours {
    QColor normal, aboveLow, alarm;
};

// The "Sensor History" window: a plot of the levels against the thresholds
// and of the keystroke count against its trigger, with the events and the
// times without a keyboard marked, and the same samples as a table. It shows
// a copy of the history, taken on Refresh() unless paused. Modeless.
class SensorHistoryWindow : public QWidget {
    Q_OBJECT
public:
    SensorHistoryWindow(const SensorHistory& history, LevelColours colours,
                        QWidget* parent = nullptr);

    // Takes the history's new samples over (the main window calls it on each
    // tick); does nothing while paused, hidden or when nothing is new.
    void Refresh();
    // The sensor columns the keyboard has (0 to 4).
    void SetSensorCount(int count);
    // Span of the plot in minutes: 1, 5 or 30.
    void SetSpanMinutes(int minutes);
    void SetPaused(bool paused);

    // "Save as CSV..." and "Save as PNG...": ask for a file through the
    // prompts; return whether a file was written.
    bool SaveCsv();
    bool SavePng();

    QWidget* Plot() const;
    QTableView* Table() const { return m_table; }
    QAbstractItemModel* Model() const;

private:
    void TakeSnapshot();

    const SensorHistory& m_history;
    std::vector<HistorySample> m_samples;
    std::vector<HistoryMarker> m_markers;
    uint64_t m_shownVersion = ~uint64_t{0};
    bool m_paused = false;

    HistoryPlot* m_plot = nullptr;
    HistoryTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_span = nullptr;
    QCheckBox* m_pause = nullptr;
};
