#include "app/HistoryDescription.h"

#include "app/HistoryView.h"
#include "core/LevelBand.h"
#include "core/LevelPercent.h"

namespace {

// The band as the main window colours a bar, indexing kClassNames.
int LevelClass(uint16_t level, const HistorySample& s) {
    return static_cast<int>(BandOf(level, s.lowThreshold, s.highThreshold));
}
const char* const kClassNames[3] = {"normal", "above Low", "above High"};

QString LastCrossing(const std::deque<HistorySample>& samples, std::size_t sensors) {
    for (std::size_t i = samples.size(); i-- > 1;) {
        const HistorySample &a = samples[i - 1], &b = samples[i];
        for (std::size_t k = 0; k < sensors; ++k) {
            const int from = LevelClass(a.levels[k], a), to = LevelClass(b.levels[k], b);
            if (from != to)
                return QStringLiteral("Last threshold crossing: %1 went from %2 to %3 at %4.")
                    .arg(QLatin1String(SensorNames[k]), QLatin1String(kClassNames[from]),
                         QLatin1String(kClassNames[to]), ClockText(b.time));
        }
    }
    return QStringLiteral("No threshold crossing in the history.");
}

} // namespace

QString DescribeHistory(const std::deque<HistorySample>& samples, int sensors) {
    if (samples.empty())
        return QStringLiteral("No samples yet.");
    const HistorySample& s = samples.back();
    QString text = QStringLiteral("Latest sample at %1, levels and thresholds in percent:")
                       .arg(ClockText(s.time));
    for (std::size_t i = 0; i < std::size_t(sensors); ++i)
        text += QStringLiteral(" %1 %2,")
                    .arg(QLatin1String(SensorNames[i]))
                    .arg(PercentOfLevel(s.levels[i]));
    text += QStringLiteral(" keystrokes %1 (trigger %2); Low threshold %3, High threshold %4. ")
                .arg(s.keystrokes)
                .arg(s.keystrokeTrigger)
                .arg(PercentOfLevel(s.lowThreshold))
                .arg(PercentOfLevel(s.highThreshold));
    return text + LastCrossing(samples, std::size_t(sensors));
}
