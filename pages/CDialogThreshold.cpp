#include "pages/CDialogThreshold.h"

#include "core/ReportRequests.h"
#include "pages/SliderMoves.h"
#include "pages/SliderScales.h"
#include "res/ControlIds.h"

#include <QLabel>
#include <QSlider>

namespace {

using slider::Scale;

} // namespace

CDialogThreshold::CDialogThreshold(QWidget* parent)
    : QWidget(parent), m_controls(ThresholdTemplate(), this) {
    m_low = {IDC_LOW_SLIDER, IDC_LOW_VALUE, Scale::Threshold};
    m_high = {IDC_HIGH_SLIDER, IDC_HIGH_VALUE, Scale::Threshold};
    m_interval = {IDC_INTERVAL_SLIDER, IDC_INTERVAL_VALUE, Scale::Interval};
    m_keyLimit = {IDC_KEY_LIMIT_SLIDER, IDC_KEY_LIMIT_VALUE, Scale::KeyLimit};
    m_clean = {IDC_CLEAN_SLIDER, IDC_CLEAN_VALUE, Scale::Clean};
    setMinimumSize(m_controls.size());

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

    struct Move {
        ShownValue* shown;
        uint16_t KeyboardSettings::*field;
    };
    for (const Move& m : {Move{&m_low, &KeyboardSettings::LowThreshold},
                          Move{&m_high, &KeyboardSettings::HighThreshold},
                          Move{&m_interval, &KeyboardSettings::IntervalTimer},
                          Move{&m_keyLimit, &KeyboardSettings::KeystrokeAlarmTrigger},
                          Move{&m_clean, &KeyboardSettings::CleanTimer}}) {
        slider::OnTechnicianMove(Slider(m.shown->sliderId), this,
                                 [this, m](int position) { OnMoved(*m.shown, m.field, position); });
    }
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

// A slider stands where the record's value puts it, at the nearest position
// when the value lies between two, and its label shows the value itself.
// Nothing here writes the record: only a move by the technician does.
void CDialogThreshold::ShowSettings(const KeyboardSettings& settings) {
    ShowValue(m_low, settings.LowThreshold);
    ShowValue(m_high, settings.HighThreshold);
    ShowValue(m_keyLimit, settings.KeystrokeAlarmTrigger);
    ShowValue(m_interval, settings.IntervalTimer);
    ShowValue(m_clean, settings.CleanTimer);
}

QString CDialogThreshold::ValueText(const ShownValue& shown, uint16_t value) {
    switch (shown.scale) {
    case Scale::Threshold:
        return QString::number(slider::PercentOfThreshold(value));
    case Scale::KeyLimit:
        return QString::number(value);
    default:
        return QStringLiteral("%1 sec").arg(unsigned{value});
    }
}

void CDialogThreshold::ShowValue(ShownValue& shown, uint16_t value) {
    slider::ShowPosition(Slider(shown.sliderId), slider::PositionOf(shown.scale, value));
    if (shown.labelValue != value) {
        Label(shown.labelId)->setText(ValueText(shown, value));
        shown.labelValue = value;
    }
}

// The moved slider's field takes the value of its new position; every other
// field of the thresholds report stays as the record holds it.
void CDialogThreshold::OnMoved(ShownValue& shown, uint16_t KeyboardSettings::*field, int position) {
    const uint16_t value = slider::ValueAt(shown.scale, position);
    g_settings.*field = value;
    ShowValue(shown, value);
    if (shown.scale == Scale::Threshold)
        emit thresholdsChanged();
    else if (shown.scale == Scale::KeyLimit)
        emit keystrokeTriggerChanged();
    RequestThresholds();
}
