#include "app/SensorHistoryWindow.h"

#include "app/HistoryPlot.h"
#include "app/HistoryTableModel.h"
#include "app/Prompts.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDefaultSpanMinutes = 5;
constexpr QSize kDefaultSize{760, 480};

QPushButton* Button(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    // In a dialog, Enter would otherwise press the first button (an export).
    button->setAutoDefault(false);
    return button;
}

} // namespace

SensorHistoryWindow::SensorHistoryWindow(const SensorHistory& history, LevelColours colours,
                                         QWidget* parent)
    : QDialog(parent), m_history(history) {
    setWindowTitle(QStringLiteral("Sensor History"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(false);
    m_model = new HistoryTableModel(this);
    m_plot = new HistoryPlot(m_model->Samples(), m_markers, colours, this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setAccessibleName(QStringLiteral("Sensor history table"));

    m_span = new QComboBox(this);
    for (int minutes : {1, 5, 30})
        m_span->addItem(minutes == 1 ? QStringLiteral("1 minute")
                                     : QStringLiteral("%1 minutes").arg(minutes),
                        minutes);
    m_span->setCurrentIndex(m_span->findData(kDefaultSpanMinutes));
    auto* spanLabel = new QLabel(QStringLiteral("&Span:"), this);
    spanLabel->setBuddy(m_span);
    m_pause = new QCheckBox(QStringLiteral("&Pause"), this);
    QPushButton* csv = Button(QStringLiteral("Save as &CSV\u2026"), this);
    QPushButton* png = Button(QStringLiteral("Save as P&NG\u2026"), this);

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
    resize(kDefaultSize);

    connect(m_span, &QComboBox::currentIndexChanged, this,
            [this](int) { SetSpanMinutes(m_span->currentData().toInt()); });
    connect(m_pause, &QCheckBox::toggled, this, &SensorHistoryWindow::SetPaused);
    connect(csv, &QPushButton::clicked, this, &SensorHistoryWindow::SaveCsv);
    connect(png, &QPushButton::clicked, this, &SensorHistoryWindow::SavePng);
    TakeSnapshot();
}

// The markers are copied only when one was added; the plot describes and
// draws only while it shows, not behind the Table tab.
void SensorHistoryWindow::TakeSnapshot() {
    if (m_history.Markers().Pushed() != m_markersTaken) {
        m_markers = m_history.Markers().Copy();
        m_markersTaken = m_history.Markers().Pushed();
    }
    m_model->TakeOver(m_history.Samples());
    m_shownVersion = m_history.Version();
    m_plot->Changed();
}

void SensorHistoryWindow::Refresh() {
    if (!m_paused && isVisible() && m_history.Version() != m_shownVersion)
        TakeSnapshot();
}

void SensorHistoryWindow::SetSensorCount(int count) {
    count = std::clamp(count, 0, MaxSensors);
    if (count == m_plot->SensorCount())
        return;
    m_plot->SetSensorCount(count);
    for (int i = 0; i < MaxSensors; ++i)
        m_table->setColumnHidden(HistoryTableModel::Left + i, i >= count);
}

void SensorHistoryWindow::SetSpanMinutes(int minutes) {
    m_plot->SetSpan(std::chrono::minutes(minutes));
    const int index = m_span->findData(minutes);
    if (index >= 0 && index != m_span->currentIndex())
        m_span->setCurrentIndex(index);
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
    return !path.isEmpty() &&
           Write(path, QByteArray::fromStdString(HistoryCsv(m_history.Samples().Copy())));
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
    QByteArray image;
    QBuffer buffer(&image);
    buffer.open(QIODevice::WriteOnly);
    return m_plot->grab().save(&buffer, "PNG") && Write(path, image);
}

bool SensorHistoryWindow::Write(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size())
        return true;
    CurrentPrompts().Message(this, QStringLiteral("Could not write %1").arg(path), windowTitle(),
                             Prompts::Icon::Error);
    return false;
}
