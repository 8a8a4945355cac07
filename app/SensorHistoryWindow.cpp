#include "app/SensorHistoryWindow.h"

#include "app/Prompts.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

using Clock = std::chrono::system_clock;
using Ms = std::chrono::milliseconds;

const char* const kSensorNames[4] = {"Left", "Right", "Sensor 3", "Sensor 4"};
constexpr Qt::PenStyle kSensorStyles[4] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                           Qt::DashDotLine};
// Samples further apart than this belong to separate stretches of line:
// the keyboard was away or silent in between.
constexpr Ms kGap{5000};

QString ClockText(Clock::time_point t, const char* format = "HH:mm:ss") {
    const qint64 ms = std::chrono::duration_cast<Ms>(t.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QString::fromLatin1(format));
}

// As the main window colours a bar: 2 above High, 1 above Low, 0 otherwise.
int LevelClass(uint16_t level, const HistorySample& s) {
    return level > s.highThreshold ? 2 : level > s.lowThreshold ? 1 : 0;
}

const char* const kClassNames[3] = {"normal", "above Low", "above High"};

// A tick step for an axis from 0 to `top` with about five lines.
int AxisStep(int top) {
    for (int step : {10, 25, 50, 100, 250, 500, 1000, 2500, 5000, 10000, 25000})
        if (top / step <= 5)
            return step;
    return 50000;
}

} // namespace

// The samples as a table: one row a sample, named by its local time; the
// columns are named after what they hold.
class HistoryTableModel : public QAbstractTableModel {
public:
    explicit HistoryTableModel(const std::vector<HistorySample>& samples, QObject* parent)
        : QAbstractTableModel(parent), m_samples(samples) {}
    void Reset(const std::function<void()>& change) {
        beginResetModel();
        change();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_samples.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 11;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const HistorySample& s = m_samples[static_cast<std::size_t>(index.row())];
        auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
        switch (index.column()) {
        case 0:
        case 1:
        case 2:
        case 3:
            return s.levels[static_cast<std::size_t>(index.column())];
        case 4:
            return s.keystrokes;
        case 5:
            return onOff(s.ledOn);
        case 6:
            return onOff(s.beeperOn);
        case 7:
            return onOff(s.cleanActive);
        case 8:
            return s.lowThreshold;
        case 9:
            return s.highThreshold;
        default:
            return s.keystrokeTrigger;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return section < rowCount()
                       ? ClockText(m_samples[static_cast<std::size_t>(section)].time,
                                   "HH:mm:ss.zzz")
                       : QVariant();
        static const char* const names[11] = {
            "Left",   "Right", "Sensor 3",      "Sensor 4",       "Keystrokes",       "LED",
            "Beeper", "Clean", "Low threshold", "High threshold", "Keystroke trigger"};
        return section < 11 ? QString::fromLatin1(names[section]) : QVariant();
    }

private:
    const std::vector<HistorySample>& m_samples;
};

// Plain painting with QPainter: no dependency beyond Qt Widgets, and the
// segments take exactly the main window's bar colours.
class HistoryPlot : public QWidget {
public:
    HistoryPlot(const std::vector<HistorySample>& samples,
                const std::vector<HistoryMarker>& markers, LevelColours colours, QWidget* parent)
        : QWidget(parent), m_samples(samples), m_markers(markers), m_colours(colours) {
        setMinimumSize(600, 360);
        setAccessibleName(QStringLiteral("Sensor history plot"));
    }
    int sensors = 2;
    Ms span{Ms(5 * 60 * 1000)};

    // The description a screen reader gives: the latest values and the last
    // threshold crossing.
    void Describe() {
        if (m_samples.empty()) {
            setAccessibleDescription(QStringLiteral("No samples yet."));
            return;
        }
        const HistorySample& s = m_samples.back();
        QString text = QStringLiteral("Latest sample at %1:").arg(ClockText(s.time));
        for (int i = 0; i < sensors; ++i)
            text += QStringLiteral(" %1 %2,").arg(QLatin1String(kSensorNames[i])).arg(s.levels[i]);
        text += QStringLiteral(" keystrokes %1 (trigger %2); Low threshold %3, High threshold %4. ")
                    .arg(s.keystrokes)
                    .arg(s.keystrokeTrigger)
                    .arg(s.lowThreshold)
                    .arg(s.highThreshold);
        text += LastCrossing();
        setAccessibleDescription(text);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(28, 28, 36));
        p.setPen(Qt::lightGray);
        if (m_samples.empty() && m_markers.empty()) {
            p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No samples yet"));
            return;
        }
        const int line = fontMetrics().height();
        const QRect legend(56, 4, width() - 66, line);
        const int plotsTop = legend.bottom() + 6, plotsBottom = height() - line - 8;
        const int levelBottom = plotsTop + (plotsBottom - plotsTop) * 7 / 10;
        const QRect levelArea(QPoint(56, plotsTop), QPoint(width() - 10, levelBottom));
        const QRect keyArea(QPoint(56, levelBottom + 10), QPoint(width() - 10, plotsBottom));

        m_end = m_samples.empty() ? m_markers.back().time : m_samples.back().time;
        if (!m_markers.empty())
            m_end = std::max(m_end, m_markers.back().time);
        m_area = levelArea;

        DrawAbsences(p, levelArea.united(keyArea));
        DrawTimeAxis(p, levelArea, keyArea);
        DrawLegend(p, legend);

        // Levels: the axis reaches the highest level or threshold shown.
        int top = 255;
        ForVisible([&](const HistorySample& s) {
            for (int i = 0; i < sensors; ++i)
                top = std::max<int>(top, s.levels[i]);
            top = std::max<int>({top, s.lowThreshold, s.highThreshold});
        });
        DrawValueAxis(p, levelArea, top * 11 / 10);
        for (int i = 0; i < sensors; ++i)
            DrawLine(
                p, levelArea, top * 11 / 10, kSensorStyles[i],
                [i](const HistorySample& s) { return s.levels[i]; }, false);

        int keyTop = 100;
        ForVisible([&](const HistorySample& s) {
            keyTop = std::max<int>({keyTop, s.keystrokes, s.keystrokeTrigger});
        });
        DrawValueAxis(p, keyArea, keyTop * 11 / 10);
        DrawLine(
            p, keyArea, keyTop * 11 / 10, Qt::SolidLine,
            [](const HistorySample& s) { return s.keystrokes; }, true);
        p.setPen(Qt::lightGray);
        p.drawText(keyArea.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Keystrokes"));

        DrawEvents(p, levelArea);
    }

private:
    double X(Clock::time_point t) const {
        const double part = std::chrono::duration<double>(t - (m_end - span)).count() /
                            std::chrono::duration<double>(span).count();
        return m_area.left() + part * m_area.width();
    }
    static double Y(const QRect& area, int top, int value) {
        return area.bottom() - double(value) * area.height() / std::max(top, 1);
    }
    // Each sample that shows, and the one just before the span, which
    // starts the line at the left edge.
    std::size_t FirstVisible() const {
        const auto from = m_end - span;
        auto it = std::lower_bound(
            m_samples.begin(), m_samples.end(), from,
            [](const HistorySample& s, Clock::time_point t) { return s.time < t; });
        return it == m_samples.begin() ? 0 : std::size_t(it - m_samples.begin()) - 1;
    }
    template <typename F> void ForVisible(F f) const {
        for (std::size_t i = FirstVisible(); i < m_samples.size(); ++i)
            f(m_samples[i]);
    }

    // A value's line, cut into stretches without gaps and with the same
    // thresholds; each stretch is drawn once for each colour band, clipped to
    // it, so that the part above a threshold takes that threshold's colour.
    // The thresholds are drawn as dashed lines along each stretch.
    template <typename V>
    void DrawLine(QPainter& p, const QRect& area, int top, Qt::PenStyle style, V value,
                  bool keystrokes) {
        std::size_t begin = FirstVisible();
        while (begin < m_samples.size()) {
            std::size_t end = begin + 1;
            const HistorySample& first = m_samples[begin];
            while (end < m_samples.size() &&
                   m_samples[end].time - m_samples[end - 1].time <= kGap &&
                   m_samples[end].lowThreshold == first.lowThreshold &&
                   m_samples[end].highThreshold == first.highThreshold &&
                   m_samples[end].keystrokeTrigger == first.keystrokeTrigger)
                ++end;
            // A stretch ends where the next one starts, unless a gap lies between.
            const bool joined =
                end < m_samples.size() && m_samples[end].time - m_samples[end - 1].time <= kGap;
            QPolygonF points;
            for (std::size_t i = begin; i < end + (joined ? 1 : 0); ++i)
                points << QPointF(X(m_samples[i].time), Y(area, top, value(m_samples[i])));
            const double x0 = points.first().x(), x1 = std::max(points.last().x(), x0 + 1);
            struct Band {
                int from, to; // values, exclusive of `from`
                QColor colour;
            };
            std::vector<Band> bands;
            if (keystrokes) {
                bands = {{-1, first.keystrokeTrigger, m_colours.normal},
                         {first.keystrokeTrigger, 1 << 20, m_colours.alarm}};
            } else {
                const int low = first.lowThreshold, high = first.highThreshold;
                bands = {{-1, std::min(low, high), m_colours.normal},
                         {low, high, m_colours.aboveLow},
                         {high, 1 << 20, m_colours.alarm}};
            }
            // Only the bands the stretch reaches (a line between two points
            // stays between their values).
            int lowest = value(first), highest = lowest;
            for (std::size_t i = begin; i < end + (joined ? 1 : 0); ++i) {
                lowest = std::min<int>(lowest, value(m_samples[i]));
                highest = std::max<int>(highest, value(m_samples[i]));
            }
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
                dashed(first.lowThreshold, m_colours.aboveLow);
                dashed(first.highThreshold, m_colours.alarm);
            }
            p.setClipping(false);
            begin = end;
        }
    }

    void DrawValueAxis(QPainter& p, const QRect& area, int top) {
        p.setPen(QColor(70, 70, 80));
        p.drawRect(area);
        const int step = AxisStep(top);
        for (int v = 0; v <= top; v += step) {
            const double y = Y(area, top, v);
            p.setPen(QColor(55, 55, 65));
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            p.setPen(Qt::lightGray);
            p.drawText(QRectF(0, y - 8, area.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(v));
        }
    }

    // Clock times along the bottom, with a line for each across both plots.
    void DrawTimeAxis(QPainter& p, const QRect& levels, const QRect& keys) {
        const Ms step = span <= Ms(60000) ? Ms(10000) : span <= Ms(300000) ? Ms(60000) : Ms(300000);
        const auto from = std::chrono::ceil<Ms>(m_end - span);
        auto t = Clock::time_point(from.time_since_epoch() - from.time_since_epoch() % step + step);
        for (; t <= m_end; t += step) {
            const double x = X(t);
            p.setPen(QColor(55, 55, 65));
            p.drawLine(QPointF(x, levels.top()), QPointF(x, levels.bottom()));
            p.drawLine(QPointF(x, keys.top()), QPointF(x, keys.bottom()));
            p.setPen(Qt::lightGray);
            p.drawText(QRectF(x - 40, keys.bottom() + 2, 80, 16), Qt::AlignCenter,
                       ClockText(t, step < Ms(60000) ? "HH:mm:ss" : "HH:mm"));
        }
    }

    void DrawLegend(QPainter& p, const QRect& legend) {
        int x = legend.left();
        for (int i = 0; i < sensors; ++i) {
            p.setPen(QPen(m_colours.normal, 2, kSensorStyles[i]));
            p.drawLine(x, legend.center().y(), x + 24, legend.center().y());
            p.setPen(Qt::lightGray);
            p.drawText(x + 28, legend.top(), 80, legend.height(), Qt::AlignVCenter,
                       QLatin1String(kSensorNames[i]));
            x += 28 + fontMetrics().horizontalAdvance(QLatin1String(kSensorNames[i])) + 16;
        }
        p.setPen(Qt::lightGray);
        p.drawText(legend, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("dashed: Low (blue), High and trigger (red); \u25b2 event; "
                                  "grey: no keyboard"));
    }

    // Grey where no keyboard was present: from a loss to the return after it
    // (or to now); a return with no loss kept before it starts at the left.
    void DrawAbsences(QPainter& p, const QRect& area) {
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
                    band(lostAt.value_or(m_end - span), m.time);
                lostAt.reset();
            } else
                continue;
            first = false;
        }
        if (lostAt)
            band(*lostAt, m_end);
    }

    void DrawEvents(QPainter& p, const QRect& area) {
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

    QString LastCrossing() const {
        for (std::size_t i = m_samples.size(); i-- > 1;) {
            const HistorySample &a = m_samples[i - 1], &b = m_samples[i];
            for (int k = 0; k < sensors; ++k) {
                const int from = LevelClass(a.levels[k], a), to = LevelClass(b.levels[k], b);
                if (from != to)
                    return QStringLiteral("Last threshold crossing: %1 went from %2 to %3 at %4.")
                        .arg(QLatin1String(kSensorNames[k]), QLatin1String(kClassNames[from]),
                             QLatin1String(kClassNames[to]), ClockText(b.time));
            }
        }
        return QStringLiteral("No threshold crossing in the history.");
    }

    const std::vector<HistorySample>& m_samples;
    const std::vector<HistoryMarker>& m_markers;
    LevelColours m_colours;
    Clock::time_point m_end;
    QRect m_area;
};

SensorHistoryWindow::SensorHistoryWindow(const SensorHistory& history, LevelColours colours,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history) {
    setWindowTitle(QStringLiteral("Sensor History"));
    m_plot = new HistoryPlot(m_samples, m_markers, colours, this);
    m_model = new HistoryTableModel(m_samples, this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setAccessibleName(QStringLiteral("Sensor history table"));

    m_span = new QComboBox(this);
    m_span->addItem(QStringLiteral("1 minute"), 1);
    m_span->addItem(QStringLiteral("5 minutes"), 5);
    m_span->addItem(QStringLiteral("30 minutes"), 30);
    m_span->setCurrentIndex(1);
    auto* spanLabel = new QLabel(QStringLiteral("&Span:"), this);
    spanLabel->setBuddy(m_span);
    m_pause = new QCheckBox(QStringLiteral("&Pause"), this);
    auto* csv = new QPushButton(QStringLiteral("Save as &CSV\u2026"), this);
    auto* png = new QPushButton(QStringLiteral("Save as P&NG\u2026"), this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(spanLabel);
    controls->addWidget(m_span);
    controls->addWidget(m_pause);
    controls->addStretch();
    controls->addWidget(csv);
    controls->addWidget(png);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(m_plot, QStringLiteral("P&lot"));
    tabs->addTab(m_table, QStringLiteral("&Table"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(tabs);
    resize(760, 480);

    connect(m_span, &QComboBox::currentIndexChanged, this,
            [this](int) { SetSpanMinutes(m_span->currentData().toInt()); });
    connect(m_pause, &QCheckBox::toggled, this, &SensorHistoryWindow::SetPaused);
    connect(csv, &QPushButton::clicked, this, &SensorHistoryWindow::SaveCsv);
    connect(png, &QPushButton::clicked, this, &SensorHistoryWindow::SavePng);
    TakeSnapshot();
}

QWidget* SensorHistoryWindow::Plot() const {
    return m_plot;
}

QAbstractItemModel* SensorHistoryWindow::Model() const {
    return m_model;
}

void SensorHistoryWindow::TakeSnapshot() {
    m_model->Reset([this] {
        m_samples = m_history.Samples().Copy();
        m_markers = m_history.Markers().Copy();
    });
    m_shownVersion = m_history.Version();
    m_plot->Describe();
    m_plot->update();
}

void SensorHistoryWindow::Refresh() {
    if (!m_paused && isVisible() && m_history.Version() != m_shownVersion)
        TakeSnapshot();
}

void SensorHistoryWindow::SetSensorCount(int count) {
    count = std::clamp(count, 0, 4);
    if (count == m_plot->sensors)
        return;
    m_plot->sensors = count;
    for (int i = 0; i < 4; ++i)
        m_table->setColumnHidden(i, i >= count);
    m_plot->Describe();
    m_plot->update();
}

void SensorHistoryWindow::SetSpanMinutes(int minutes) {
    m_plot->span = Ms(minutes * 60 * 1000);
    const int index = m_span->findData(minutes);
    if (index >= 0 && index != m_span->currentIndex())
        m_span->setCurrentIndex(index);
    m_plot->update();
}

void SensorHistoryWindow::SetPaused(bool paused) {
    m_paused = paused;
    if (m_pause->isChecked() != paused)
        m_pause->setChecked(paused);
    if (!paused)
        TakeSnapshot();
}

bool SensorHistoryWindow::SaveCsv() {
    const QString path = CurrentPrompts().SaveFileName(
        this, {QStringLiteral("Save as CSV"),
               QStringLiteral("csv"),
               QStringLiteral("sensor-history.csv"),
               QString(),
               {QStringLiteral("CSV files (*.csv)"), QStringLiteral("All Files (*.*)")}});
    if (path.isEmpty())
        return false;
    QFile file(path);
    const std::string csv = HistoryCsv(m_history.Samples().Copy());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(csv.data(), qint64(csv.size())) == qint64(csv.size()))
        return true;
    CurrentPrompts().Message(this, QStringLiteral("Could not write %1").arg(path), windowTitle(),
                             Prompts::Icon::Error);
    return false;
}

bool SensorHistoryWindow::SavePng() {
    const QString path = CurrentPrompts().SaveFileName(
        this, {QStringLiteral("Save as PNG"),
               QStringLiteral("png"),
               QStringLiteral("sensor-history.png"),
               QString(),
               {QStringLiteral("PNG images (*.png)"), QStringLiteral("All Files (*.*)")}});
    if (path.isEmpty())
        return false;
    if (m_plot->grab().save(path, "PNG"))
        return true;
    CurrentPrompts().Message(this, QStringLiteral("Could not write %1").arg(path), windowTitle(),
                             Prompts::Icon::Error);
    return false;
}
