#pragma once

#include "app/HistoryView.h"
#include "core/SensorHistory.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QTableView;
class HistoryPlot;
class HistoryTableModel;

// The "Sensor History" window: the plot and, on a tab of its own, the table
// of the same samples, with the span, a pause and the exports. A modeless
// dialog, so that screen readers and window lists present it as a window.
// It shows the history as it was on the last Refresh() before a pause.
class SensorHistoryWindow : public QDialog {
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

    HistoryPlot* Plot() const { return m_plot; }
    QTableView* Table() const { return m_table; }
    HistoryTableModel* Model() const { return m_model; }

private:
    void TakeSnapshot();
    bool Write(const QString& path, const QByteArray& data);

    const SensorHistory& m_history;
    std::vector<HistoryMarker> m_markers;
    uint64_t m_markersTaken = 0; // the markers' Pushed() when last copied
    uint64_t m_shownVersion = ~uint64_t{0};
    bool m_paused = false;

    HistoryTableModel* m_model = nullptr;
    HistoryPlot* m_plot = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_span = nullptr;
    QCheckBox* m_pause = nullptr;
};
