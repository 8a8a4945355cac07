#include "pages/CTimers.h"

#include "core/ReportRequests.h"
#include "pages/SliderMoves.h"
#include "pages/SliderScales.h"
#include "res/ControlIds.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

using slider::Scale;

// An alarm time of 0 is the one-minute alarm used in service.
QString AlarmText(uint16_t hours) {
    return hours == 0 ? QStringLiteral("1 min") : QStringLiteral("%1 hrs").arg(hours);
}

} // namespace

CTimers::CTimers(QWidget* parent) : QWidget(parent), m_controls(TimersTemplate(), this) {
    setMinimumSize(m_controls.size());

    Slider()->setRange(0, slider::Maximum(Scale::AlarmHours));
    Slider()->setTickInterval(4);
    Slider()->setPageStep(4);
    // Position 0 is drawn at the top and Up moves towards it.
    Slider()->setInvertedAppearance(true);
    Slider()->setInvertedControls(true);
    Slider()->setAccessibleName(QStringLiteral("Alarm Timer"));
    ValueLabel()->setAccessibleDescription(QStringLiteral("Alarm time"));
    slider::OnTechnicianMove(Slider(), this, [this](int p) { OnSliderMoved(p); });

    const std::pair<int, uint16_t> presets[] = {{IDC_PRESET_24_HRS, 24},
                                                {IDC_PRESET_8_HRS, 8},
                                                {IDC_PRESET_4_HRS, 4},
                                                {IDC_PRESET_3_HRS, 3},
                                                {IDC_PRESET_1_MIN, 0}};
    for (auto [id, hours] : presets) {
        connect(m_controls.get<QPushButton>(id), &QPushButton::clicked, this,
                [this, h = hours] { OnPreset(h); });
    }
    for (int id : {IDC_TIMER_ENABLE, IDC_KEYSTROKE_ENABLE, IDC_CLEAN_ON_POWER_UP})
        connect(Box(id), &QCheckBox::clicked, this, [this, id] { OnSwitchClicked(id); });
}

QString CTimers::Title() const {
    return QString::fromUtf8(TimersTemplate().caption);
}

QSlider* CTimers::Slider() const {
    return m_controls.get<QSlider>(IDC_ALARM_TIMER_SLIDER);
}
QLabel* CTimers::ValueLabel() const {
    return m_controls.get<QLabel>(IDC_ALARM_TIMER_VALUE);
}
QCheckBox* CTimers::Box(int id) const {
    return m_controls.get<QCheckBox>(id);
}

// Enabling leaves the "1 Min" button hidden outside test mode.
void CTimers::EnableControls(bool enable, uint16_t /*productId*/) {
    for (int id : {IDC_ALARM_TIMER_SLIDER, IDC_PRESET_24_HRS, IDC_PRESET_8_HRS, IDC_PRESET_4_HRS,
                   IDC_PRESET_3_HRS, IDC_PRESET_1_MIN, IDC_TIMER_ENABLE, IDC_KEYSTROKE_ENABLE,
                   IDC_CLEAN_ON_POWER_UP})
        m_controls.control(id)->setEnabled(enable);
}

// Setting the boxes programmatically does not emit clicked(), so no report
// is requested from here. Only what differs from the record is touched.
void CTimers::ShowSettings(const KeyboardSettings& settings) {
    ShowAlarmTime(settings.AlarmTimer);
    for (auto [id, on] : {std::pair{IDC_CLEAN_ON_POWER_UP, settings.PowerOnWipe != 0},
                          std::pair{IDC_TIMER_ENABLE, settings.EnableTimer != 0},
                          std::pair{IDC_KEYSTROKE_ENABLE, settings.EnableKeystroke != 0}}) {
        if (Box(id)->isChecked() != on)
            Box(id)->setChecked(on);
    }
}

// The slider stands where `hours` puts it, at the nearest end when it lies
// outside the slider's range, and the label shows `hours` itself.
void CTimers::ShowAlarmTime(uint16_t hours) {
    slider::ShowPosition(Slider(), slider::PositionOf(Scale::AlarmHours, hours));
    if (m_labelHours != hours) {
        ValueLabel()->setText(AlarmText(hours));
        m_labelHours = hours;
    }
}

// The bottom end is 0 hours; in test mode it reads as the one-minute alarm.
void CTimers::OnSliderMoved(int position) {
    const uint16_t hours = slider::ValueAt(Scale::AlarmHours, position);
    g_settings.AlarmTimer = hours;
    if (hours == 0 && !m_testMode) {
        ValueLabel()->setText(QStringLiteral("0 hrs"));
        m_labelHours = -1;
    } else {
        ShowAlarmTime(hours);
    }
    if (m_requests)
        m_requests->RequestThresholdsReport();
}

void CTimers::OnPreset(uint16_t hours) {
    ShowAlarmTime(hours);
    g_settings.AlarmTimer = hours;
    if (m_requests)
        m_requests->RequestThresholdsReport();
}

void CTimers::OnSwitchClicked(int id) {
    const uint8_t on = Box(id)->isChecked() ? 1 : 0;
    switch (id) {
    case IDC_TIMER_ENABLE:
        g_settings.EnableTimer = on;
        break;
    case IDC_KEYSTROKE_ENABLE:
        g_settings.EnableKeystroke = on;
        break;
    default:
        g_settings.PowerOnWipe = on;
        break;
    }
    if (m_requests)
        m_requests->RequestOptionsReport();
    if (id != IDC_CLEAN_ON_POWER_UP)
        emit alarmSwitchesChanged();
}
