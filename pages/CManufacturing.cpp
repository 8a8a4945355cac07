#include "pages/CManufacturing.h"

#include "core/ReportRequests.h"
#include "device/DeviceIds.h"
#include "pages/FitText.h"
#include "pages/IdNumberText.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

enum : int {
    IdEdit = 1077,
    SetIdButton = 1081,
    HostEnable = 1085,
    HostLed = 1086,
    HostBeeper = 1087,
    MessageLog = 1027,
    SensorLeft = 1051,
    SensorRight = 1052,
    SensorPressure = 1053,
    Sensor4 = 1054,
    Backlight = 1098,
    ConfigSwitch = 1099,
    AutoSense = 1100,
    UsbKeyboard = 1104,
    Ps2Keyboard = 1105,
    ReEnumerate = 1106,
};

// The check boxes that each stand for one configuration flag of the record.
struct FlagBox {
    int id;
    uint8_t DeviceStatus::*field;
};
constexpr FlagBox kFlagBoxes[] = {
    {SensorLeft, &DeviceStatus::DisableSensorLeft},
    {SensorRight, &DeviceStatus::DisableSensorReft},
    {SensorPressure, &DeviceStatus::DisableSensorPressure},
    {Sensor4, &DeviceStatus::DisableSensor4},
    {Backlight, &DeviceStatus::DisableBacklight},
    {ConfigSwitch, &DeviceStatus::DisableConfig},
    {ReEnumerate, &DeviceStatus::EnableReEnumeration},
};

} // namespace

CManufacturing::CManufacturing(QWidget* parent)
    : QWidget(parent), m_controls(ManufacturingTemplate(), this) {
    FitTextControls(this, m_controls.size());
    m_controls.control(IdEdit)->setAccessibleName(QStringLiteral("ID Number"));

    connect(m_controls.get<QPushButton>(SetIdButton), &QPushButton::clicked, this,
            &CManufacturing::OnSetIdNumber);
    connect(Box(HostEnable), &QCheckBox::clicked, this, &CManufacturing::OnHostModeEnable);
    connect(Box(HostLed), &QCheckBox::clicked, this, [this] { OnHostOutput(HostLed); });
    connect(Box(HostBeeper), &QCheckBox::clicked, this, [this] { OnHostOutput(HostBeeper); });
    connect(Box(MessageLog), &QCheckBox::clicked, this, &CManufacturing::OnMessageLog);
    for (const FlagBox& f : kFlagBoxes)
        connect(Box(f.id), &QCheckBox::clicked, this, [this, id = f.id] { OnFlag(id); });
    connect(Box(AutoSense), &QCheckBox::clicked, this, &CManufacturing::OnDisableAutoSense);
    connect(Radio(UsbKeyboard), &QRadioButton::clicked, this, &CManufacturing::OnInterfaceChosen);
    connect(Radio(Ps2Keyboard), &QRadioButton::clicked, this, &CManufacturing::OnInterfaceChosen);
}

QString CManufacturing::Title() const {
    return QString::fromUtf8(ManufacturingTemplate().caption);
}

void CManufacturing::RequestOptions() {
    if (m_requests)
        m_requests->RequestOptionsReport();
}

QCheckBox* CManufacturing::Box(int id) const {
    return m_controls.get<QCheckBox>(id);
}
QRadioButton* CManufacturing::Radio(int id) const {
    return m_controls.get<QRadioButton>(id);
}
bool CManufacturing::Ticked(int id) const {
    return static_cast<QAbstractButton*>(m_controls.control(id))->isChecked();
}

// The keyboard without a beeper also lacks the configuration, backlight,
// auto-sense and re-enumeration switches: they stay off whatever the lock.
void CManufacturing::EnableControls(bool enable, uint16_t productId) {
    for (int id : {SetIdButton, MessageLog, IdEdit, HostEnable, SensorLeft, SensorRight,
                   SensorPressure, Sensor4})
        m_controls.control(id)->setEnabled(enable);

    const bool hostOutputs = enable && Ticked(HostEnable);
    Box(HostBeeper)->setEnabled(hostOutputs);
    Box(HostLed)->setEnabled(hostOutputs);

    const bool switches = enable && productId != ProductWithoutBeeper;
    for (int id : {ConfigSwitch, Backlight, AutoSense, ReEnumerate})
        Box(id)->setEnabled(switches);
    const bool interfaces = switches && Ticked(AutoSense);
    Radio(UsbKeyboard)->setEnabled(interfaces);
    Radio(Ps2Keyboard)->setEnabled(interfaces);
}

// Fills the boxes only; what is enabled follows the next EnableControls.
void CManufacturing::ShowSettings(const KeyboardSettings& settings) {
    const std::pair<int, uint8_t> states[] = {
        {SensorLeft, settings.DisableSensorLeft},
        {SensorRight, settings.DisableSensorReft},
        {SensorPressure, settings.DisableSensorPressure},
        {Sensor4, settings.DisableSensor4},
        {ReEnumerate, settings.EnableReEnumeration},
        {Backlight, settings.DisableBacklight},
        {ConfigSwitch, settings.DisableConfig},
        {AutoSense, settings.DisableAutoSense},
        {HostEnable, settings.HostModeEnable},
        {HostLed, settings.HostLedOn},
        {HostBeeper, settings.HostBeeperOn},
    };
    for (auto [id, value] : states)
        Box(id)->setChecked(value != 0);
    // Checking one radio button of the pair clears the other.
    Radio(settings.Ps2Keyboard != 0 ? Ps2Keyboard : UsbKeyboard)->setChecked(true);
}

void CManufacturing::OnSetIdNumber() {
    const QString text = m_controls.get<QLineEdit>(IdEdit)->text();
    g_settings.IdNumber = IdNumberFromText(text.toStdString());
    if (m_requests)
        m_requests->RequestIdNumberReport();
}

// Turning host mode off keeps the LED and beeper choices for the next time.
void CManufacturing::OnHostModeEnable() {
    const bool on = Ticked(HostEnable);
    Box(HostLed)->setEnabled(on);
    Box(HostBeeper)->setEnabled(on);
    g_settings.HostModeEnable = on ? 1 : 0;
    if (on) {
        g_settings.HostLedOn = Ticked(HostLed) ? 1 : 0;
        g_settings.HostBeeperOn = Ticked(HostBeeper) ? 1 : 0;
    }
    RequestOptions();
}

void CManufacturing::OnHostOutput(int id) {
    if (!Ticked(HostEnable))
        return;
    uint8_t& field = id == HostLed ? g_settings.HostLedOn : g_settings.HostBeeperOn;
    field = Ticked(id) ? 1 : 0;
    RequestOptions();
}

// A log that cannot be opened must not look switched on.
void CManufacturing::OnMessageLog() {
    const bool wanted = Ticked(MessageLog);
    const bool open = m_switchMessageLog ? m_switchMessageLog(wanted) : false;
    if (wanted && !open)
        Box(MessageLog)->setChecked(false);
}

void CManufacturing::OnFlag(int id) {
    for (const FlagBox& f : kFlagBoxes) {
        if (f.id == id)
            g_settings.*f.field = Ticked(id) ? 1 : 0;
    }
    RequestOptions();
}

// Unticking keeps the chosen interface; only the choice is locked.
void CManufacturing::OnDisableAutoSense() {
    const bool on = Ticked(AutoSense);
    Radio(UsbKeyboard)->setEnabled(on);
    Radio(Ps2Keyboard)->setEnabled(on);
    g_settings.DisableAutoSense = on ? 1 : 0;
    RequestOptions();
}

void CManufacturing::OnInterfaceChosen() {
    g_settings.Ps2Keyboard = Ticked(UsbKeyboard) ? 0 : 1;
    RequestOptions();
}
