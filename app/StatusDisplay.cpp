// The live status display of the main window: bars, numbers, indicators and
// the status line, drawn from the settings record.

#include "app/CKeyboardConfigDlg.h"

#include "core/LevelBand.h"
#include "core/LevelPercent.h"
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

// A picture and its description change together, and only when the state
// they stand for changes: setting a label's pixmap repaints it every time.
void ShowIndicator(QWidget* picture, const QPixmap& image, int index, int& shownIndex) {
    if (shownIndex == index)
        return;
    shownIndex = index;
    auto* label = static_cast<QLabel*>(picture);
    label->setPixmap(image);
    label->setAccessibleDescription(IndicatorDescription(index));
}

// Larger levels than 255 show a full bar and their true percentage in the
// number field.
int BarPosition(uint16_t level) {
    return static_cast<int>(std::min(PercentOfLevel(level), unsigned{PercentMax}));
}

struct SensorReading {
    int bar, field;
    uint16_t level;
};

void SetBarValue(QWidget* bar, int value) {
    auto* progress = static_cast<QProgressBar*>(bar);
    if (progress->value() != value)
        progress->setValue(value);
}

} // namespace

void CKeyboardConfigDlg::RefreshDisplay() {
    const QString status = m_bTestMode ? QString::fromStdString(g_settings.LastReportText)
                                       : QStringLiteral("Keyboard connected and active");
    SetText(IDC_STATUS_TEXT, status);
    SetNumber(IDC_PRODUCT_ID_TEXT, "0x%4.4hX", CurrentProductId());

    m_pPropSheet->m_threshold.ShowSettings(g_settings);
    m_pPropSheet->m_timers.ShowSettings(g_settings);
    if (m_bTestMode)
        m_pPropSheet->m_manufacturing.ShowSettings(g_settings);

    SetTicked(IDC_ENABLE_ALARM, g_settings.LedEnableStatus);
    SetTicked(IDC_ENABLE_BEEPER, g_settings.BeeperEnableStatus);
    SetNumber(IDC_ID_NUMBER_TEXT, "%5.5hu", g_settings.IdNumber);

    RefreshLiveStatus();
}

// Numbers and indicators first, then each bar's colour and length together.
// A bar whose new length shows repaints at once (the progress bar does so
// itself), and that paint takes along every control marked for repainting
// before it: a refresh thus paints the window once rather than once a bar and
// again for the numbers, and a bar that changes colour and length is painted
// once.
void CKeyboardConfigDlg::RefreshLiveStatus() {
    const SensorReading sensors[] = {
        {IDC_RIGHT_BAR, IDC_RIGHT_VALUE, g_settings.RightLevel},
        {IDC_LEFT_BAR, IDC_LEFT_VALUE, g_settings.LeftLevel},
        {IDC_SENSOR3_BAR, IDC_SENSOR3_VALUE, g_settings.PressureLevel},
        {IDC_SENSOR4_BAR, IDC_SENSOR4_VALUE, g_settings.Sensor4Level},
    };
    for (const SensorReading& sensor : sensors)
        SetNumber(sensor.field, "%hu", static_cast<uint16_t>(PercentOfLevel(sensor.level)));
    const uint16_t count = g_settings.KeystrokeCount;
    SetNumber(kKeystrokeColumn.field, "%hu", count);
    SetTicked(IDC_CLEAN_ACTIVE, g_settings.CleanActive);
    UpdateAlarmIndicators();

    for (const SensorReading& sensor : sensors) {
        ColourSensorBar(sensor.bar, sensor.level);
        SetBarValue(Control(sensor.bar), BarPosition(sensor.level));
    }
    ColourKeystrokeBar();
    SetBarValue(Control(kKeystrokeColumn.bar), count);
}

// The colour follows the raw level's band: past the high threshold red, past
// the low one blue, else green.
void CKeyboardConfigDlg::ColourSensorBar(int barId, uint16_t level) {
    const LevelBand band = BandOf(level, g_settings.LowThreshold, g_settings.HighThreshold);
    SetBarColour(barId, band == LevelBand::AboveHigh  ? m_clrAlarm
                        : band == LevelBand::AboveLow ? m_clrAboveLow
                                                      : m_clrNormal);
}

void CKeyboardConfigDlg::ColourKeystrokeBar() {
    const int trigger = g_settings.KeystrokeAlarmTrigger;
    SetBarColour(kKeystrokeColumn.bar,
                 BandOf(g_settings.KeystrokeCount, trigger, trigger) == LevelBand::AboveHigh
                     ? m_clrAlarm
                     : m_clrNormal);
}

void CKeyboardConfigDlg::SetBarColour(int barId, const QColor& colour) {
    QWidget* bar = Control(barId);
    if (bar->palette().color(QPalette::Highlight) == colour)
        return;
    QPalette palette = bar->palette();
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
    ShowIndicator(Control(IDC_LED_IMAGE), m_hLedBitmap[index], index, m_shownLedIndex);
}

// The product without a beeper always shows the disabled picture.
void CKeyboardConfigDlg::ShowBeeperImage(int state) {
    const int index = CurrentProductId() == ProductWithoutBeeper ? 2 : IndicatorIndex(state);
    ShowIndicator(Control(IDC_BEEPER_IMAGE), m_hBeeperBitmap[index], index, m_shownBeeperIndex);
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

void CKeyboardConfigDlg::SetTicked(int id, bool ticked) {
    auto* box = static_cast<QCheckBox*>(Control(id));
    if (box->isChecked() != ticked)
        box->setChecked(ticked);
}

// Numbers are formatted only when they differ from the one the field shows;
// SetText forgets the field's number when it puts other text there.
void CKeyboardConfigDlg::SetNumber(int id, const char* format, uint16_t value) {
    auto shown = m_shownNumbers.find(id);
    if (shown != m_shownNumbers.end() && shown.value() == value)
        return;
    static_cast<QLabel*>(Control(id))->setText(QString::asprintf(format, value));
    m_shownNumbers.insert(id, value);
}
