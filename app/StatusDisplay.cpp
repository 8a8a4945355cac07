// The live status display of the main window: bars, numbers, indicators and
// the status line, drawn from the settings record.

#include "app/CKeyboardConfigDlg.h"

#include "device/DeviceIds.h"
#include "pages/CPropSheet.h"
#include "res/ControlIds.h"
#include "settings/KeyboardSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>

#include <algorithm>

namespace {

// Sensor columns left to right: number field, label, bar.
struct SensorColumn {
    int field, label, bar;
};
constexpr SensorColumn kSensorColumns[] = {
    {IDC_LEFT_VALUE, IDC_LEFT_CAPTION, IDC_LEFT_BAR},
    {IDC_RIGHT_VALUE, IDC_RIGHT_CAPTION, IDC_RIGHT_BAR},
    {IDC_SENSOR3_VALUE, IDC_SENSOR3_CAPTION, IDC_SENSOR3_BAR},
    {IDC_SENSOR4_VALUE, IDC_SENSOR4_CAPTION, IDC_SENSOR4_BAR},
};
constexpr SensorColumn kKeystrokeColumn{IDC_KEYSTROKE_VALUE, IDC_KEYSTROKE_CAPTION,
                                        IDC_KEYSTROKE_BAR};

constexpr int PercentMax = 100;

int IndicatorIndex(int state) {
    return state == 0 || state == 1 ? state : 2;
}

// Screen readers hear the indicator's state, which the picture shows.
QString IndicatorDescription(int index) {
    static const char* const texts[] = {"Off", "On", "Disabled"};
    return QString::fromLatin1(texts[index]);
}

void ShowIndicator(QWidget* picture, const QPixmap& image, int index) {
    auto* label = static_cast<QLabel*>(picture);
    label->setPixmap(image);
    label->setAccessibleDescription(IndicatorDescription(index));
}

} // namespace

void CKeyboardConfigDlg::RefreshDisplay() {
    const QString product = QString::asprintf("0x%4.4hX", CurrentProductId());
    const QString status = m_bTestMode ? QString::fromStdString(g_settings.LastReportText)
                                       : QStringLiteral("Keyboard connected and active");
    SetText(IDC_STATUS_TEXT, status);
    SetText(IDC_PRODUCT_ID_TEXT, product);

    m_pPropSheet->m_threshold.ShowSettings(g_settings);
    m_pPropSheet->m_timers.ShowSettings(g_settings);
    if (m_bTestMode)
        m_pPropSheet->m_manufacturing.ShowSettings(g_settings);

    static_cast<QCheckBox*>(Control(IDC_ENABLE_ALARM))->setChecked(g_settings.LedEnableStatus);
    static_cast<QCheckBox*>(Control(IDC_ENABLE_BEEPER))->setChecked(g_settings.BeeperEnableStatus);
    SetText(IDC_ID_NUMBER_TEXT, QString::asprintf("%5.5hu", g_settings.IdNumber));

    RefreshLiveStatus();
}

void CKeyboardConfigDlg::RefreshLiveStatus() {
    ShowSensorLevel(IDC_RIGHT_BAR, IDC_RIGHT_VALUE, g_settings.RightLevel);
    ShowSensorLevel(IDC_LEFT_BAR, IDC_LEFT_VALUE, g_settings.LeftLevel);
    ShowSensorLevel(IDC_SENSOR3_BAR, IDC_SENSOR3_VALUE, g_settings.PressureLevel);
    ShowSensorLevel(IDC_SENSOR4_BAR, IDC_SENSOR4_VALUE, g_settings.Sensor4Level);
    ShowKeystrokes(g_settings.KeystrokeCount);
    static_cast<QCheckBox*>(Control(IDC_CLEAN_ACTIVE))->setChecked(g_settings.CleanActive);
    UpdateAlarmIndicators();
}

// Raw levels 0-255 become 0-100 percent, rounded; larger levels show a full
// bar and their true percentage in the number field.
void CKeyboardConfigDlg::ShowSensorLevel(int barId, int fieldId, uint16_t level) {
    const unsigned percent = (static_cast<unsigned>(level) * 100u + 128u) / 256u;
    static_cast<QProgressBar*>(Control(barId))->setValue(static_cast<int>(std::min(percent, 100u)));
    ColourSensorBar(barId, level);
    SetText(fieldId, QString::asprintf("%hu", static_cast<unsigned short>(percent)));
}

void CKeyboardConfigDlg::ShowKeystrokes(uint16_t count) {
    static_cast<QProgressBar*>(Control(kKeystrokeColumn.bar))->setValue(count);
    ColourKeystrokeBar();
    SetText(kKeystrokeColumn.field, QString::asprintf("%hu", count));
}

// The colour follows the raw level: past the high threshold red, past the
// low one blue, else green. A level equal to a threshold does not pass it.
void CKeyboardConfigDlg::ColourSensorBar(int barId, uint16_t level) {
    if (level > g_settings.HighThreshold)
        SetBarColour(barId, m_clrAlarm);
    else if (level > g_settings.LowThreshold)
        SetBarColour(barId, m_clrAboveLow);
    else
        SetBarColour(barId, m_clrNormal);
}

void CKeyboardConfigDlg::ColourKeystrokeBar() {
    SetBarColour(kKeystrokeColumn.bar, g_settings.KeystrokeCount > g_settings.KeystrokeAlarmTrigger
                                           ? m_clrAlarm
                                           : m_clrNormal);
}

void CKeyboardConfigDlg::SetBarColour(int barId, const QColor& colour) {
    QWidget* bar = Control(barId);
    QPalette palette = bar->palette();
    if (palette.color(QPalette::Highlight) == colour)
        return;
    palette.setColor(QPalette::Highlight, colour);
    bar->setPalette(palette);
}

void CKeyboardConfigDlg::RecolourSensorBars() {
    ColourSensorBar(IDC_LEFT_BAR, g_settings.LeftLevel);
    ColourSensorBar(IDC_RIGHT_BAR, g_settings.RightLevel);
    ColourSensorBar(IDC_SENSOR3_BAR, g_settings.PressureLevel);
    ColourSensorBar(IDC_SENSOR4_BAR, g_settings.Sensor4Level);
}

void CKeyboardConfigDlg::KeystrokeTriggerChanged() {
    ColourKeystrokeBar();
}

void CKeyboardConfigDlg::UpdateAlarmIndicators() {
    const bool armed = g_settings.EnableTimer || g_settings.EnableKeystroke;
    if (g_settings.BeeperEnableStatus && armed)
        ShowBeeperImage(g_settings.BeeperAlarmOn ? 1 : 0);
    else
        ShowBeeperImage(2);
    if (g_settings.LedEnableStatus && armed)
        ShowLedImage(g_settings.LedAlarmOn ? 1 : 0);
    else
        ShowLedImage(2);
}

void CKeyboardConfigDlg::ShowLedImage(int state) {
    const int index = IndicatorIndex(state);
    ShowIndicator(Control(IDC_LED_IMAGE), m_hLedBitmap[index], index);
}

// The product without a beeper always shows the disabled picture.
void CKeyboardConfigDlg::ShowBeeperImage(int state) {
    const int index = CurrentProductId() == ProductWithoutBeeper ? 2 : IndicatorIndex(state);
    ShowIndicator(Control(IDC_BEEPER_IMAGE), m_hBeeperBitmap[index], index);
}

void CKeyboardConfigDlg::ShowSensorColumns(int n) {
    if (n < 0 || n > 4)
        return;
    for (int i = 0; i < 4; ++i) {
        const bool shown = i < n;
        for (int id : {kSensorColumns[i].field, kSensorColumns[i].label, kSensorColumns[i].bar})
            Control(id)->setHidden(!shown);
    }
    for (int id : {kKeystrokeColumn.field, kKeystrokeColumn.label, kKeystrokeColumn.bar})
        Control(id)->setHidden(false);
}
