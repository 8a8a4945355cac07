#include "pages/CDialogThreshold.h"

#include "core/ReportRequests.h"
#include "dialogkit/FitText.h"
#include "pages/SliderPaintHook.h"
#include "pages/SliderScales.h"
#include "res/ControlIds.h"

#include <QLabel>
#include <QSlider>

namespace {

using slider::Scale;

QString Seconds(uint16_t value) {
    return QStringLiteral("%1 sec").arg(unsigned{value});
}

} // namespace

CDialogThreshold::CDialogThreshold(QWidget* parent)
    : QWidget(parent), m_controls(ThresholdTemplate(), this) {
    m_low = {IDC_LOW_SLIDER, IDC_LOW_VALUE, Scale::Threshold};
    m_high = {IDC_HIGH_SLIDER, IDC_HIGH_VALUE, Scale::Threshold};
    m_interval = {IDC_INTERVAL_SLIDER, IDC_INTERVAL_VALUE, Scale::Interval};
    m_keyLimit = {IDC_KEY_LIMIT_SLIDER, IDC_KEY_LIMIT_VALUE, Scale::KeyLimit};
    m_clean = {IDC_CLEAN_SLIDER, IDC_CLEAN_VALUE, Scale::Clean};
    FitTextControls(this, m_controls.size());

    // Ranges and tick marks; no page size, the slider's own is kept.
    struct Range {
        int id, maximum, tick;
    };
    for (const Range& r : {Range{IDC_INTERVAL_SLIDER, slider::Maximum(Scale::Interval), 5},
                           Range{IDC_CLEAN_SLIDER, slider::Maximum(Scale::Clean), 15},
                           Range{IDC_LOW_SLIDER, slider::Maximum(Scale::Threshold), 5},
                           Range{IDC_HIGH_SLIDER, slider::Maximum(Scale::Threshold), 5},
                           Range{IDC_KEY_LIMIT_SLIDER, slider::Maximum(Scale::KeyLimit), 6}}) {
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
// A slider is moved whenever it stands elsewhere than the record says (the
// user may have moved it since); a value label is written only when the
// record's value differs from the one whose text it shows.
void CDialogThreshold::ShowSettings(const KeyboardSettings& settings) {
    ShowValue(m_low, settings.LowThreshold,
              [](uint16_t v) { return QString::number(slider::PercentOfThreshold(v)); });
    ShowValue(m_high, settings.HighThreshold,
              [](uint16_t v) { return QString::number(slider::PercentOfThreshold(v)); });
    ShowValue(m_keyLimit, settings.KeystrokeAlarmTrigger,
              [](uint16_t v) { return QString::number(v); });
    ShowValue(m_interval, settings.IntervalTimer, Seconds);
    ShowValue(m_clean, settings.CleanTimer, Seconds);
}

void CDialogThreshold::ShowValue(ShownValue& shown, uint16_t value, QString (*text)(uint16_t)) {
    QSlider* s = Slider(shown.sliderId);
    const int position = slider::PositionOf(shown.scale, value);
    if (s->value() != position || s->sliderPosition() != position)
        s->setValue(position);
    if (shown.labelValue != value) {
        Label(shown.labelId)->setText(text(value));
        shown.labelValue = value;
    }
}

// The label now shows the slider's own reading, not a record value.
void CDialogThreshold::PaintedLabel(ShownValue& shown, const QString& text) {
    Label(shown.labelId)->setText(text);
    shown.labelValue = -1;
}

void CDialogThreshold::OnLowPainted(int position) {
    g_settings.LowThreshold = slider::ValueAt(Scale::Threshold, position);
    PaintedLabel(m_low, QString::number(slider::PercentMax - position));
    emit thresholdsChanged();
    RequestThresholds();
}

void CDialogThreshold::OnHighPainted(int position) {
    g_settings.HighThreshold = slider::ValueAt(Scale::Threshold, position);
    PaintedLabel(m_high, QString::number(slider::PercentMax - position));
    emit thresholdsChanged();
    RequestThresholds();
}

void CDialogThreshold::OnIntervalPainted(int position) {
    g_settings.IntervalTimer = slider::ValueAt(Scale::Interval, position);
    PaintedLabel(m_interval, Seconds(g_settings.IntervalTimer));
    RequestThresholds();
}

void CDialogThreshold::OnKeyLimitPainted(int position) {
    g_settings.KeystrokeAlarmTrigger = slider::ValueAt(Scale::KeyLimit, position);
    PaintedLabel(m_keyLimit, QString::number(g_settings.KeystrokeAlarmTrigger));
    RequestThresholds();
    emit keystrokeTriggerChanged();
}

void CDialogThreshold::OnCleanPainted(int position) {
    g_settings.CleanTimer = slider::ValueAt(Scale::Clean, position);
    PaintedLabel(m_clean, Seconds(g_settings.CleanTimer));
    RequestThresholds();
}
