#include "pages/CDialogThreshold.h"

#include "core/ReportRequests.h"
#include "pages/FitText.h"
#include "pages/SliderPaintHook.h"
#include "res/ControlIds.h"

#include <QLabel>
#include <QSlider>

#include <algorithm>

namespace {

constexpr int IntervalMax = 60;
constexpr int CleanMax = 255;
constexpr int PercentMax = 100;
constexpr int KeyLimitMax = 66; // thousands of keystrokes

// A threshold is a byte on the keyboard; the sliders show it as a percentage.
uint16_t ThresholdAtPosition(int position) {
    return static_cast<uint16_t>((25550 - 255 * position) / 100);
}
int PercentOfThreshold(uint16_t value) {
    return (100 * value + 128) / 256;
}

QString Seconds(unsigned value) {
    return QStringLiteral("%1 sec").arg(value);
}

} // namespace

CDialogThreshold::CDialogThreshold(QWidget* parent)
    : QWidget(parent), m_controls(ThresholdTemplate(), this) {
    FitTextControls(this, m_controls.size());

    // Ranges and tick marks; no page size, the slider's own is kept.
    struct Range {
        int id, maximum, tick;
    };
    for (const Range& r :
         {Range{IDC_INTERVAL_SLIDER, IntervalMax, 5}, Range{IDC_CLEAN_SLIDER, CleanMax, 15},
          Range{IDC_LOW_SLIDER, PercentMax, 5}, Range{IDC_HIGH_SLIDER, PercentMax, 5},
          Range{IDC_KEY_LIMIT_SLIDER, KeyLimitMax, 6}}) {
        Slider(r.id)->setRange(0, r.maximum);
        Slider(r.id)->setTickInterval(r.tick);
        // Position 0 is drawn at the top and Up moves towards it.
        Slider(r.id)->setInvertedAppearance(true);
        Slider(r.id)->setInvertedControls(true);
    }

    struct Naming {
        int slider, label;
        const char* name;
        const char* valueDescription;
    };
    for (const Naming& n :
         {Naming{IDC_LOW_SLIDER, IDC_LOW_VALUE, "Low", "Low threshold percent"},
          Naming{IDC_HIGH_SLIDER, IDC_HIGH_VALUE, "High", "High threshold percent"},
          Naming{IDC_INTERVAL_SLIDER, IDC_INTERVAL_VALUE, "Interval", "Interval time"},
          Naming{IDC_KEY_LIMIT_SLIDER, IDC_KEY_LIMIT_VALUE, "Key Limit", "Keystroke limit"},
          Naming{IDC_CLEAN_SLIDER, IDC_CLEAN_VALUE, "Clean", "Clean time"}}) {
        Slider(n.slider)->setAccessibleName(QString::fromUtf8(n.name));
        Label(n.label)->setAccessibleDescription(QString::fromUtf8(n.valueDescription));
    }

    SliderPaintHook::Install(Slider(IDC_LOW_SLIDER), [this](int p) { OnLowPainted(p); });
    SliderPaintHook::Install(Slider(IDC_HIGH_SLIDER), [this](int p) { OnHighPainted(p); });
    SliderPaintHook::Install(Slider(IDC_INTERVAL_SLIDER), [this](int p) { OnIntervalPainted(p); });
    SliderPaintHook::Install(Slider(IDC_KEY_LIMIT_SLIDER), [this](int p) { OnKeyLimitPainted(p); });
    SliderPaintHook::Install(Slider(IDC_CLEAN_SLIDER), [this](int p) { OnCleanPainted(p); });
}

QString CDialogThreshold::Title() const {
    return QString::fromUtf8(ThresholdTemplate().caption);
}

void CDialogThreshold::RequestThresholds() {
    if (m_requests)
        m_requests->RequestThresholdsReport();
}

QSlider* CDialogThreshold::Slider(int id) const {
    return m_controls.get<QSlider>(id);
}
QLabel* CDialogThreshold::Label(int id) const {
    return m_controls.get<QLabel>(id);
}

void CDialogThreshold::EnableControls(bool enable, uint16_t /*productId*/) {
    for (int id : {IDC_LOW_SLIDER, IDC_HIGH_SLIDER, IDC_INTERVAL_SLIDER, IDC_KEY_LIMIT_SLIDER,
                   IDC_CLEAN_SLIDER})
        Slider(id)->setEnabled(enable);
}

// Positions the sliders; the values they can represent reach the record when
// they next paint, so an out-of-range value is shown once and then replaced.
void CDialogThreshold::ShowSettings(const KeyboardSettings& settings) {
    const int low = PercentOfThreshold(settings.LowThreshold);
    Slider(IDC_LOW_SLIDER)->setValue(PercentMax - low);
    Label(IDC_LOW_VALUE)->setText(QString::number(low));

    const int high = PercentOfThreshold(settings.HighThreshold);
    Slider(IDC_HIGH_SLIDER)->setValue(PercentMax - high);
    Label(IDC_HIGH_VALUE)->setText(QString::number(high));

    const uint16_t trigger = settings.KeystrokeAlarmTrigger;
    Slider(IDC_KEY_LIMIT_SLIDER)->setValue(KeyLimitMax - trigger / 1000);
    Label(IDC_KEY_LIMIT_VALUE)->setText(QString::number(trigger));

    const uint16_t interval = settings.IntervalTimer;
    Slider(IDC_INTERVAL_SLIDER)->setValue(interval > IntervalMax ? 0 : IntervalMax - interval);
    Label(IDC_INTERVAL_VALUE)->setText(Seconds(interval));

    const uint16_t clean = settings.CleanTimer;
    Slider(IDC_CLEAN_SLIDER)->setValue(clean > CleanMax ? 0 : CleanMax - clean);
    Label(IDC_CLEAN_VALUE)->setText(Seconds(clean));
}

void CDialogThreshold::OnLowPainted(int position) {
    g_settings.LowThreshold = ThresholdAtPosition(position);
    Label(IDC_LOW_VALUE)->setText(QString::number(PercentMax - position));
    emit thresholdsChanged();
    RequestThresholds();
}

void CDialogThreshold::OnHighPainted(int position) {
    g_settings.HighThreshold = ThresholdAtPosition(position);
    Label(IDC_HIGH_VALUE)->setText(QString::number(PercentMax - position));
    emit thresholdsChanged();
    RequestThresholds();
}

void CDialogThreshold::OnIntervalPainted(int position) {
    g_settings.IntervalTimer = static_cast<uint16_t>(IntervalMax - position);
    Label(IDC_INTERVAL_VALUE)->setText(Seconds(g_settings.IntervalTimer));
    RequestThresholds();
}

// Position 0 would be 66000, which does not fit the 16-bit trigger.
void CDialogThreshold::OnKeyLimitPainted(int position) {
    g_settings.KeystrokeAlarmTrigger =
        static_cast<uint16_t>((KeyLimitMax - std::max(position, 1)) * 1000);
    Label(IDC_KEY_LIMIT_VALUE)->setText(QString::number(g_settings.KeystrokeAlarmTrigger));
    RequestThresholds();
    emit keystrokeTriggerChanged();
}

void CDialogThreshold::OnCleanPainted(int position) {
    g_settings.CleanTimer = static_cast<uint16_t>(CleanMax - position);
    Label(IDC_CLEAN_VALUE)->setText(Seconds(g_settings.CleanTimer));
    RequestThresholds();
}
