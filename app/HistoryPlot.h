#pragma once

#include "app/HistoryView.h"
#include "core/SensorHistory.h"

#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

// The history drawn with QPainter: each sensor's level against the Low and
// High thresholds, on an axis in percent as the main window shows them, and
// the keystroke count against its trigger; the line segments take the main
// window's bar colours. Events are marked, times without a keyboard shaded.
// The time axis spans the chosen span; a history shorter than it starts at
// the left edge. It draws the samples and markers it is given.
class HistoryPlot : public QWidget {
public:
    HistoryPlot(const std::deque<HistorySample>& samples, const std::vector<HistoryMarker>& markers,
                LevelColours colours, QWidget* parent = nullptr);

    void SetSensorCount(int count);
    int SensorCount() const { return m_sensors; }
    void SetSpan(std::chrono::milliseconds span);

    // The samples or markers changed: the plot is drawn again and what it
    // tells a screen reader (the latest values, the last threshold crossing)
    // is made anew, both only while it shows or once it is shown.
    void Changed();

    // Where the legend's entries and the caption that explains the marks go
    // at the present width: side by side where they fit, else the caption
    // below the entries, wrapped.
    struct Legend {
        QRect entries, caption;
    };
    Legend LegendAt(int width) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    void Describe();
    using Clock = std::chrono::system_clock;
    double X(Clock::time_point t) const;
    std::size_t FirstVisible() const;
    static double Y(const QRect& area, double top, double value);
    // In HistoryPlotLine.cpp.
    void DrawLine(QPainter& p, const QRect& area, double top, Qt::PenStyle style,
                  const std::function<int(const HistorySample&)>& value, bool keystrokes);
    void DrawValueAxis(QPainter& p, const QRect& area, double top, double perLabel);
    void DrawTimeAxis(QPainter& p, const QRect& levels, const QRect& keys);
    void DrawLegend(QPainter& p, const Legend& legend);
    void DrawAbsences(QPainter& p, const QRect& area);
    void DrawEvents(QPainter& p, const QRect& area);

    const std::deque<HistorySample>& m_samples;
    const std::vector<HistoryMarker>& m_markers;
    LevelColours m_colours;
    int m_sensors = 2;
    std::chrono::milliseconds m_span{5 * 60 * 1000};
    bool m_described = false; // the description tells the present samples
    // Set by each paint: the time axis and the level plot's rectangle.
    Clock::time_point m_start, m_end;
    QRect m_area;
};
