#include "app/HistoryPlot.h"

#include "app/HistoryDescription.h"
#include "core/LevelPercent.h"

#include <QPainter>

#include <algorithm>
#include <optional>

namespace {

using Ms = std::chrono::milliseconds;

constexpr Qt::PenStyle kSensorStyles[MaxSensors] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                                    Qt::DashDotLine};
// Margins of the plots: the value labels on the left, the times below.
constexpr int kLeft = 56, kRight = 10, kTop = 4, kSpacing = 16, kSwatch = 24;
// Room above the highest value shown, as a factor of it.
constexpr double kHeadroom = 1.1;
// Raw level units per percent on the level axis.
constexpr double kLevelPerPercent = LevelSteps / 100.0;

const char* const kCaption = "dashed: Low (blue), High and trigger (red); \u25b2 event; "
                             "grey: no keyboard";

// A tick step for an axis from 0 to `top` with at most `lines` lines.
int AxisStep(double top, int lines) {
    for (int step : {10, 25, 50, 100, 250, 500, 1000, 2500, 5000, 10000, 25000})
        if (top / step <= lines)
            return step;
    return 50000;
}

} // namespace

HistoryPlot::HistoryPlot(const std::deque<HistorySample>& samples,
                         const std::vector<HistoryMarker>& markers, LevelColours colours,
                         QWidget* parent)
    : QWidget(parent), m_samples(samples), m_markers(markers), m_colours(colours) {
    setMinimumSize(480, 300);
    setAccessibleName(QStringLiteral("Sensor history plot"));
}

void HistoryPlot::SetSensorCount(int count) {
    m_sensors = std::clamp(count, 0, MaxSensors);
    Changed();
}

void HistoryPlot::SetSpan(Ms span) {
    m_span = span;
    update();
}

void HistoryPlot::Changed() {
    m_described = false;
    if (isVisible()) {
        Describe();
        update();
    }
}

void HistoryPlot::showEvent(QShowEvent*) {
    if (!m_described)
        Describe();
}

void HistoryPlot::Describe() {
    setAccessibleDescription(DescribeHistory(m_samples, m_sensors));
    m_described = true;
}

HistoryPlot::Legend HistoryPlot::LegendAt(int width) const {
    const QFontMetrics fm = fontMetrics();
    int entries = 0;
    for (int i = 0; i < m_sensors; ++i)
        entries +=
            (i ? kSpacing : 0) + kSwatch + 4 + fm.horizontalAdvance(QLatin1String(SensorNames[i]));
    Legend legend{QRect(kLeft, kTop, entries, fm.height()), {}};
    const QString caption = QString::fromUtf8(kCaption);
    const int room = width - kLeft - kRight, captionWidth = fm.horizontalAdvance(caption);
    if (entries + kSpacing + captionWidth <= room)
        legend.caption = QRect(width - kRight - captionWidth, kTop, captionWidth, fm.height());
    else
        legend.caption = fm.boundingRect(QRect(kLeft, kTop + fm.height() + 2, room, 1 << 16),
                                         Qt::TextWordWrap, caption);
    return legend;
}

void HistoryPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(28, 28, 36));
    p.setPen(Qt::lightGray);
    if (m_samples.empty() && m_markers.empty()) {
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No samples yet"));
        return;
    }
    const Legend legend = LegendAt(width());
    const int line = fontMetrics().height();
    const int plotsTop = std::max(legend.entries.bottom(), legend.caption.bottom()) + 6;
    const int plotsBottom = height() - line - 8;
    const int levelBottom = plotsTop + (plotsBottom - plotsTop) * 7 / 10;
    const QRect levelArea(QPoint(kLeft, plotsTop), QPoint(width() - kRight, levelBottom));
    const QRect keyArea(QPoint(kLeft, levelBottom + 10), QPoint(width() - kRight, plotsBottom));

    // The span ends now, or starts with the history while it is shorter.
    Clock::time_point first = Clock::time_point::max(), last = Clock::time_point::min();
    if (!m_samples.empty())
        first = m_samples.front().time, last = m_samples.back().time;
    if (!m_markers.empty())
        first = std::min(first, m_markers.front().time),
        last = std::max(last, m_markers.back().time);
    m_end = last;
    m_start = last - first < m_span ? first : last - m_span;
    m_area = levelArea;

    DrawAbsences(p, levelArea.united(keyArea));
    DrawTimeAxis(p, levelArea, keyArea);
    DrawLegend(p, legend);

    // Levels: the axis reaches the highest level or threshold shown.
    int top = LevelSteps - 1;
    for (std::size_t i = FirstVisible(); i < m_samples.size(); ++i) {
        const HistorySample& s = m_samples[i];
        for (int k = 0; k < m_sensors; ++k)
            top = std::max<int>(top, s.levels[static_cast<std::size_t>(k)]);
        top = std::max<int>({top, s.lowThreshold, s.highThreshold});
    }
    DrawValueAxis(p, levelArea, top * kHeadroom, kLevelPerPercent);
    for (int k = 0; k < m_sensors; ++k)
        DrawLine(
            p, levelArea, top * kHeadroom, kSensorStyles[k],
            [k](const HistorySample& s) { return s.levels[static_cast<std::size_t>(k)]; }, false);

    int keyTop = 100;
    for (std::size_t i = FirstVisible(); i < m_samples.size(); ++i)
        keyTop = std::max<int>({keyTop, m_samples[i].keystrokes, m_samples[i].keystrokeTrigger});
    DrawValueAxis(p, keyArea, keyTop * kHeadroom, 1);
    DrawLine(
        p, keyArea, keyTop * kHeadroom, Qt::SolidLine,
        [](const HistorySample& s) { return s.keystrokes; }, true);
    p.setPen(Qt::lightGray);
    p.drawText(levelArea.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Levels (%)"));
    p.drawText(keyArea.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Keystrokes"));
    DrawEvents(p, levelArea);
}

double HistoryPlot::Y(const QRect& area, double top, double value) {
    return area.bottom() - value * area.height() / std::max(top, 1.0);
}

double HistoryPlot::X(Clock::time_point t) const {
    const double part = std::chrono::duration<double>(t - m_start).count() /
                        std::chrono::duration<double>(m_span).count();
    return m_area.left() + part * m_area.width();
}

// The first sample that shows, or the one just before the span, which
// starts the line at the left edge.
std::size_t HistoryPlot::FirstVisible() const {
    auto it =
        std::lower_bound(m_samples.begin(), m_samples.end(), m_start,
                         [](const HistorySample& s, Clock::time_point t) { return s.time < t; });
    return it == m_samples.begin() ? 0 : std::size_t(it - m_samples.begin()) - 1;
}

// Labels every step of the shown unit; `perLabel` values make one unit.
void HistoryPlot::DrawValueAxis(QPainter& p, const QRect& area, double top, double perLabel) {
    p.setPen(QColor(70, 70, 80));
    p.drawRect(area);
    // About five lines, fewer where the labels would crowd.
    const int lines = std::clamp(area.height() / (2 * fontMetrics().height()), 1, 5);
    const int step = AxisStep(top / perLabel, lines);
    for (int v = 0; v * perLabel <= top; v += step) {
        const double y = Y(area, top, v * perLabel);
        p.setPen(QColor(55, 55, 65));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::lightGray);
        p.drawText(QRectF(0, y - 8, area.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v));
    }
}

// Clock times along the bottom, with a line for each across both plots.
void HistoryPlot::DrawTimeAxis(QPainter& p, const QRect& levels, const QRect& keys) {
    const Ms step = m_span <= Ms(60000) ? Ms(10000) : m_span <= Ms(300000) ? Ms(60000) : Ms(300000);
    const auto from = std::chrono::ceil<Ms>(m_start);
    auto t = Clock::time_point(from.time_since_epoch() - from.time_since_epoch() % step + step);
    for (; t <= m_start + m_span; t += step) {
        const double x = X(t);
        p.setPen(QColor(55, 55, 65));
        p.drawLine(QPointF(x, levels.top()), QPointF(x, levels.bottom()));
        p.drawLine(QPointF(x, keys.top()), QPointF(x, keys.bottom()));
        const QString label = ClockText(t, step < Ms(60000) ? "HH:mm:ss" : "HH:mm");
        const double half = fontMetrics().horizontalAdvance(label) / 2.0 + 1;
        if (x + half > width()) // a label cut at the edge would mislead
            continue;
        p.setPen(Qt::lightGray);
        p.drawText(QRectF(x - half, keys.bottom() + 2, 2 * half, fontMetrics().height()),
                   Qt::AlignCenter, label);
    }
}

void HistoryPlot::DrawLegend(QPainter& p, const Legend& legend) {
    const QRect& r = legend.entries;
    int x = r.left();
    for (int i = 0; i < m_sensors; ++i) {
        const QString name = QLatin1String(SensorNames[i]);
        p.setPen(QPen(m_colours.normal, 2, kSensorStyles[i]));
        p.drawLine(x, r.center().y(), x + kSwatch, r.center().y());
        p.setPen(Qt::lightGray);
        x += kSwatch + 4;
        p.drawText(QRect(x, r.top(), fontMetrics().horizontalAdvance(name), r.height()),
                   Qt::AlignVCenter, name);
        x += fontMetrics().horizontalAdvance(name) + kSpacing;
    }
    p.drawText(legend.caption, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(kCaption));
}

// Grey where no keyboard was present: from a loss to the return after it
// (or to now); a return with no loss kept before it starts at the left.
void HistoryPlot::DrawAbsences(QPainter& p, const QRect& area) {
    std::optional<Clock::time_point> lostAt;
    bool first = true;
    auto band = [&](Clock::time_point from, Clock::time_point to) {
        const double x0 = std::max<double>(X(from), area.left()),
                     x1 = std::min<double>(X(to), area.right());
        if (x1 <= x0)
            return;
        const QRectF r(QPointF(x0, area.top()), QPointF(x1, area.bottom()));
        p.fillRect(r, QColor(90, 90, 100, 140));
        p.setPen(Qt::lightGray);
        if (r.width() > 80)
            p.drawText(r, Qt::AlignCenter, QStringLiteral("no keyboard"));
    };
    for (const HistoryMarker& m : m_markers) {
        if (m.kind == HistoryMarker::KeyboardLost)
            lostAt = m.time;
        else if (m.kind == HistoryMarker::KeyboardFound) {
            if (lostAt || first)
                band(lostAt.value_or(m_start), m.time);
            lostAt.reset();
        } else
            continue;
        first = false;
    }
    if (lostAt)
        band(*lostAt, m_end);
}

void HistoryPlot::DrawEvents(QPainter& p, const QRect& area) {
    p.setRenderHint(QPainter::Antialiasing);
    for (const HistoryMarker& m : m_markers) {
        const double x = X(m.time);
        if (m.kind != HistoryMarker::Event || x < area.left())
            continue;
        p.setPen(QPen(QColor(255, 200, 0, 110), 1, Qt::DotLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 0));
        const QPointF tip(x, area.bottom() - 8);
        p.drawPolygon(QPolygonF{tip, tip + QPointF(-5, 8), tip + QPointF(5, 8)});
    }
    p.setBrush(Qt::NoBrush);
}
