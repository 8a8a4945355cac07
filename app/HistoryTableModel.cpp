#include "app/HistoryTableModel.h"

#include "app/HistoryView.h"
#include "core/LevelPercent.h"

#include <algorithm>

void HistoryTableModel::TakeOver(const SensorHistory::SampleRing& ring) {
    const uint64_t fresh = ring.Pushed() - m_taken;
    if (fresh == 0)
        return;
    m_taken = ring.Pushed();
    const std::size_t taken = static_cast<std::size_t>(std::min<uint64_t>(fresh, ring.Size()));
    // Of the rows shown, only the newest ones the ring still holds stay.
    const std::size_t kept = ring.Size() - taken;
    if (m_samples.size() > kept) {
        const int dropped = static_cast<int>(m_samples.size() - kept);
        beginRemoveRows({}, 0, dropped - 1);
        m_samples.erase(m_samples.begin(), m_samples.begin() + dropped);
        endRemoveRows();
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(taken) - 1);
    for (std::size_t i = ring.Size() - taken; i < ring.Size(); ++i)
        m_samples.push_back(ring[i]);
    endInsertRows();

    // Every row's name changes when the date comes in or goes.
    if (SpansMidnight() != m_spansMidnight) {
        m_spansMidnight = !m_spansMidnight;
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}

bool HistoryTableModel::SpansMidnight() const {
    return !m_samples.empty() && LocalDateTime(m_samples.front().time).date() !=
                                     LocalDateTime(m_samples.back().time).date();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_samples.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const HistorySample& s = m_samples[static_cast<std::size_t>(index.row())];
    auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    switch (index.column()) {
    case Left:
    case Right:
    case Sensor3:
    case Sensor4:
        return PercentOfLevel(s.levels[static_cast<std::size_t>(index.column())]);
    case Keystrokes:
        return s.keystrokes;
    case Led:
        return onOff(s.ledOn);
    case Beeper:
        return onOff(s.beeperOn);
    case Clean:
        return onOff(s.cleanActive);
    case LowThreshold:
        return PercentOfLevel(s.lowThreshold);
    case HighThreshold:
        return PercentOfLevel(s.highThreshold);
    default:
        return s.keystrokeTrigger;
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= rowCount())
            return {};
        const auto when = m_samples[static_cast<std::size_t>(section)].time;
        if (role == Qt::ToolTipRole) // the full time, as the CSV gives it
            return QString::fromStdString(IsoTime(when));
        const QDateTime time = LocalDateTime(when);
        if (role == Qt::DisplayRole)
            return time.toString(m_spansMidnight ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                 : QStringLiteral("HH:mm:ss.zzz"));
        return {};
    }
    if (role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    static const char* const names[ColumnCount] = {
        "Left %", "Right %", "Sensor 3 %",      "Sensor 4 %",       "Keystrokes",       "LED",
        "Beeper", "Clean",   "Low threshold %", "High threshold %", "Keystroke trigger"};
    return QString::fromLatin1(names[section]);
}
