#include "app/HistoryPlot.h"

#include "core/LevelBand.h"

#include <QPainter>

#include <algorithm>
#include <utility>

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
        // The keystroke count has a single trigger: both thresholds at it.
        const int low = keystrokes ? first.keystrokeTrigger : first.lowThreshold;
        const int high = keystrokes ? first.keystrokeTrigger : first.highThreshold;
        const std::pair<LevelBand, QColor> bands[] = {{LevelBand::Normal, m_colours.normal},
                                                      {LevelBand::AboveLow, m_colours.aboveLow},
                                                      {LevelBand::AboveHigh, m_colours.alarm}};
        // Only the bands the stretch reaches (a line between two points stays
        // between their values).
        for (const auto& [band, colour] : bands) {
            const LevelRange range = RangeOf(band, low, high);
            if (range.to <= range.from || highest <= range.from || lowest > range.to)
                continue;
            const double yTop = std::max<double>(Y(area, top, range.to), area.top());
            const double yBottom = std::min<double>(Y(area, top, range.from), area.bottom() + 1);
            p.setClipRect(QRectF(QPointF(x0, yTop), QPointF(x1, yBottom))
                              .intersected(area.adjusted(0, 0, 1, 1)));
            p.setPen(QPen(colour, 1, style));
            p.drawPolyline(points);
        }
        p.setClipRect(area.adjusted(0, 0, 1, 1));
        auto dashed = [&](int v, const QColor& c) {
            p.setPen(QPen(c.darker(130), 1, Qt::DashLine));
            p.drawLine(QPointF(x0, Y(area, top, v)), QPointF(x1, Y(area, top, v)));
        };
        if (!keystrokes)
            dashed(low, m_colours.aboveLow);
        dashed(high, m_colours.alarm);
        p.setClipping(false);
        begin = end;
    }
}
