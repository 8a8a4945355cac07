#include "pages/CManufacturing.h"

#include "core/ReportRequests.h"
#include "device/DeviceIds.h"
#include "res/ControlIds.h"
#include "settings/IdNumberText.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The check boxes that each stand for one configuration flag of the record.
struct FlagBox {
    int id;
    uint8_t DeviceStatus::*field;
};
constexpr FlagBox kFlagBoxes[] = {
    {IDC_DISABLE_LEFT, &DeviceStatus::DisableSensorLeft},
    {IDC_DISABLE_RIGHT, &DeviceStatus::DisableSensorReft},
    {IDC_DISABLE_PRESSURE, &DeviceStatus::DisableSensorPressure},
    {IDC_DISABLE_SENSOR4, &DeviceStatus::DisableSensor4},
    {IDC_DISABLE_BACKLIGHT, &DeviceStatus::DisableBacklight},
    {IDC_DISABLE_CONFIG, &DeviceStatus::DisableConfig},
    {IDC_REENUMERATE, &DeviceStatus::EnableReEnumeration},
};

} // namespace

CManufacturing::CManufacturing(QWidget* parent)
    : QWidget(parent), m_controls(ManufacturingTemplate(), this) {
    setMinimumSize(m_controls.size());
    m_controls.control(IDC_ID_NUMBER_EDIT)->setAccessibleName(QStringLiteral("ID Number"));
    m_controls.control(IDC_ID_NUMBER_EDIT)->installEventFilter(this);

    connect(m_controls.get<QPushButton>(IDC_SET_ID_NUMBER), &QPushButton::clicked, this,
            &CManufacturing::OnSetIdNumber);
    connect(Box(IDC_HOST_MODE_ENABLE), &QCheckBox::clicked, this,
            &CManufacturing::OnHostModeEnable);
    connect(Box(IDC_HOST_LED_ON), &QCheckBox::clicked, this,
            [this] { OnHostOutput(IDC_HOST_LED_ON); });
    connect(Box(IDC_HOST_BEEPER_ON), &QCheckBox::clicked, this,
            [this] { OnHostOutput(IDC_HOST_BEEPER_ON); });
    connect(Box(IDC_MESSAGE_LOG), &QCheckBox::clicked, this, &CManufacturing::OnMessageLog);
    for (const FlagBox& f : kFlagBoxes)
        connect(Box(f.id), &QCheckBox::clicked, this, [this, id = f.id] { OnFlag(id); });
    connect(Box(IDC_DISABLE_AUTOSENSE), &QCheckBox::clicked, this,
            &CManufacturing::OnDisableAutoSense);
    connect(Radio(IDC_USB_KEYBOARD), &QRadioButton::clicked, this,
            &CManufacturing::OnInterfaceChosen);
    connect(Radio(IDC_PS2_KEYBOARD), &QRadioButton::clicked, this,
            &CManufacturing::OnInterfaceChosen);
}

// Enter in the ID box sets the number. Left to the line edit, it would go on
// to the window's default button and close the window.
bool CManufacturing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_controls.control(IDC_ID_NUMBER_EDIT) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_controls.get<QPushButton>(IDC_SET_ID_NUMBER)->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
    for (int id : {IDC_SET_ID_NUMBER, IDC_MESSAGE_LOG, IDC_ID_NUMBER_EDIT, IDC_HOST_MODE_ENABLE,
                   IDC_DISABLE_LEFT, IDC_DISABLE_RIGHT, IDC_DISABLE_PRESSURE, IDC_DISABLE_SENSOR4})
        m_controls.control(id)->setEnabled(enable);

    const bool hostOutputs = enable && Ticked(IDC_HOST_MODE_ENABLE);
    Box(IDC_HOST_BEEPER_ON)->setEnabled(hostOutputs);
    Box(IDC_HOST_LED_ON)->setEnabled(hostOutputs);

    const bool switches = enable && productId != ProductWithoutBeeper;
    for (int id :
         {IDC_DISABLE_CONFIG, IDC_DISABLE_BACKLIGHT, IDC_DISABLE_AUTOSENSE, IDC_REENUMERATE})
        Box(id)->setEnabled(switches);
    const bool interfaces = switches && Ticked(IDC_DISABLE_AUTOSENSE);
    Radio(IDC_USB_KEYBOARD)->setEnabled(interfaces);
    Radio(IDC_PS2_KEYBOARD)->setEnabled(interfaces);
}

// Fills the boxes only; what is enabled follows the next EnableControls.
// Only the boxes that differ from the record are touched.
void CManufacturing::ShowSettings(const KeyboardSettings& settings) {
    const std::pair<int, uint8_t> states[] = {
        {IDC_DISABLE_LEFT, settings.DisableSensorLeft},
        {IDC_DISABLE_RIGHT, settings.DisableSensorReft},
        {IDC_DISABLE_PRESSURE, settings.DisableSensorPressure},
        {IDC_DISABLE_SENSOR4, settings.DisableSensor4},
        {IDC_REENUMERATE, settings.EnableReEnumeration},
        {IDC_DISABLE_BACKLIGHT, settings.DisableBacklight},
        {IDC_DISABLE_CONFIG, settings.DisableConfig},
        {IDC_DISABLE_AUTOSENSE, settings.DisableAutoSense},
        {IDC_HOST_MODE_ENABLE, settings.HostModeEnable},
        {IDC_HOST_LED_ON, settings.HostLedOn},
        {IDC_HOST_BEEPER_ON, settings.HostBeeperOn},
    };
    for (auto [id, value] : states) {
        if (Ticked(id) != (value != 0))
            Box(id)->setChecked(value != 0);
    }
    // Checking one radio button of the pair clears the other.
    const int chosen = settings.Ps2Keyboard != 0 ? IDC_PS2_KEYBOARD : IDC_USB_KEYBOARD;
    if (!Ticked(chosen))
        Radio(chosen)->setChecked(true);
}

void CManufacturing::OnSetIdNumber() {
    const QString text = m_controls.get<QLineEdit>(IDC_ID_NUMBER_EDIT)->text();
    g_settings.IdNumber = IdNumberFromText(text.toStdString());
    if (m_requests)
        m_requests->RequestIdNumberReport();
}

// Turning host mode off keeps the LED and beeper choices for the next time.
void CManufacturing::OnHostModeEnable() {
    const bool on = Ticked(IDC_HOST_MODE_ENABLE);
    Box(IDC_HOST_LED_ON)->setEnabled(on);
    Box(IDC_HOST_BEEPER_ON)->setEnabled(on);
    g_settings.HostModeEnable = on ? 1 : 0;
    if (on) {
        g_settings.HostLedOn = Ticked(IDC_HOST_LED_ON) ? 1 : 0;
        g_settings.HostBeeperOn = Ticked(IDC_HOST_BEEPER_ON) ? 1 : 0;
    }
    RequestOptions();
}

void CManufacturing::OnHostOutput(int id) {
    if (!Ticked(IDC_HOST_MODE_ENABLE))
        return;
    uint8_t& field = id == IDC_HOST_LED_ON ? g_settings.HostLedOn : g_settings.HostBeeperOn;
    field = Ticked(id) ? 1 : 0;
    RequestOptions();
}

// A log that cannot be opened must not look switched on.
void CManufacturing::OnMessageLog() {
    const bool wanted = Ticked(IDC_MESSAGE_LOG);
    const bool open = m_switchMessageLog ? m_switchMessageLog(wanted) : false;
    if (wanted && !open)
        Box(IDC_MESSAGE_LOG)->setChecked(false);
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
    const bool on = Ticked(IDC_DISABLE_AUTOSENSE);
    Radio(IDC_USB_KEYBOARD)->setEnabled(on);
    Radio(IDC_PS2_KEYBOARD)->setEnabled(on);
    g_settings.DisableAutoSense = on ? 1 : 0;
    RequestOptions();
}

void CManufacturing::OnInterfaceChosen() {
    g_settings.Ps2Keyboard = Ticked(IDC_USB_KEYBOARD) ? 0 : 1;
    RequestOptions();
}
