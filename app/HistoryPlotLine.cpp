#include "app/HistoryPlot.h"

#include <QPainter>

#include <algorithm>

namespace {

// Samples further apart than this belong to separate stretches of line:
// the keyboard was away or silent in between.
constexpr std::chrono::milliseconds kGap{5000};

} // namespace

// A value's line, cut into stretches without gaps and with the same
// thresholds; each stretch is drawn once for each colour band, clipped to it,
// so that the part above a threshold takes that threshold's colour. The
// thresholds are drawn as dashed lines along each stretch.
void HistoryPlot::DrawLine(QPainter& p, const QRect& area, double top, Qt::PenStyle style,
                           const std::function<int(const HistorySample&)>& value, bool keystrokes) {
    std::size_t begin = FirstVisible();
    while (begin < m_samples.size()) {
        std::size_t end = begin + 1;
        const HistorySample& first = m_samples[begin];
        while (end < m_samples.size() && m_samples[end].time - m_samples[end - 1].time <= kGap &&
               m_samples[end].lowThreshold == first.lowThreshold &&
               m_samples[end].highThreshold == first.highThreshold &&
               m_samples[end].keystrokeTrigger == first.keystrokeTrigger)
            ++end;
        // A stretch ends where the next one starts, unless a gap lies between.
        const bool joined =
            end < m_samples.size() && m_samples[end].time - m_samples[end - 1].time <= kGap;
        QPolygonF points;
        int lowest = value(first), highest = lowest;
        for (std::size_t i = begin; i < end + (joined ? 1 : 0); ++i) {
            points << QPointF(X(m_samples[i].time), Y(area, top, value(m_samples[i])));
            lowest = std::min<int>(lowest, value(m_samples[i]));
            highest = std::max<int>(highest, value(m_samples[i]));
        }
        const double x0 = points.first().x(), x1 = std::max(points.last().x(), x0 + 1);
        struct Band {
            int from, to; // values, exclusive of `from`
            QColor colour;
        };
        std::vector<Band> bands;
        const int low = first.lowThreshold, high = first.highThreshold;
        if (keystrokes)
            bands = {{-1, first.keystrokeTrigger, m_colours.normal},
                     {first.keystrokeTrigger, 1 << 20, m_colours.alarm}};
        else
            bands = {{-1, std::min(low, high), m_colours.normal},
                     {low, high, m_colours.aboveLow},
                     {high, 1 << 20, m_colours.alarm}};
        // Only the bands the stretch reaches (a line between two points stays
        // between their values).
        for (const Band& band : bands) {
            if (band.to <= band.from || highest <= band.from || lowest > band.to)
                continue;
            const double yTop = std::max<double>(Y(area, top, band.to), area.top());
            const double yBottom = std::min<double>(Y(area, top, band.from), area.bottom() + 1);
            p.setClipRect(QRectF(QPointF(x0, yTop), QPointF(x1, yBottom))
                              .intersected(area.adjusted(0, 0, 1, 1)));
            p.setPen(QPen(band.colour, 1, style));
            p.drawPolyline(points);
        }
        p.setClipRect(area.adjusted(0, 0, 1, 1));
        auto dashed = [&](int v, const QColor& c) {
            p.setPen(QPen(c.darker(130), 1, Qt::DashLine));
            p.drawLine(QPointF(x0, Y(area, top, v)), QPointF(x1, Y(area, top, v)));
        };
        if (keystrokes) {
            dashed(first.keystrokeTrigger, m_colours.alarm);
        } else {
            dashed(low, m_colours.aboveLow);
            dashed(high, m_colours.alarm);
        }
        p.setClipping(false);
        begin = end;
    }
}
