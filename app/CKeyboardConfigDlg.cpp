#include "app/CKeyboardConfigDlg.h"

#include "app/IndicatorImages.h"
#include "app/ProgramIcon.h"
#include "device/DeviceIds.h"
#include "emulator/BusSelection.h"
#include "pages/CAboutDlg.h"
#include "pages/CHelpDlg.h"
#include "pages/CPropSheet.h"
#include "res/DialogTemplate.h"
#include "settings/KeyboardSettings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// The About entry of the system menu.
constexpr unsigned AboutCommand = 16;
constexpr int TimerPeriodMs = 300;

// Accessible names of the controls that have no caption of their own.
struct AccessibleText {
    int id;
    const char* name;
    const char* description;
};
constexpr AccessibleText kAccessibleTexts[] = {
    {1028, "Left sensor", nullptr},
    {1029, "Right sensor", nullptr},
    {1030, "Sensor 3", nullptr},
    {1031, "Sensor 4", nullptr},
    {1042, "Keystrokes", nullptr},
    {1023, "LED", nullptr},
    {1024, "Beeper", nullptr},
    {1007, nullptr, "Left sensor percent"},
    {1009, nullptr, "Right sensor percent"},
    {1013, nullptr, "Sensor 3 percent"},
    {1025, nullptr, "Sensor 4 percent"},
    {1041, nullptr, "Keystroke count"},
    {1082, nullptr, "ID number"},
    {1101, nullptr, "Product ID"},
    {1014, nullptr, "Status"},
};

} // namespace

CKeyboardConfigDlg::CKeyboardConfigDlg(bool testMode, const QString& programDir, QWidget* parent)
    : CKeyboardConfigDlg(testMode, programDir, CreateBusFromEnvironment(), parent) {}

CKeyboardConfigDlg::CKeyboardConfigDlg(bool testMode, const QString& programDir,
                                       std::shared_ptr<HidBus> bus, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_strDir(programDir), m_bTestMode(testMode) {
    InitDialog(std::move(bus));
}

CKeyboardConfigDlg::~CKeyboardConfigDlg() {
    Shutdown();
}

// Initialisation in the order the rest of the program relies on: the pages
// exist before anything enables or fills them, the device exists before the
// timer can ask it anything.
void CKeyboardConfigDlg::InitDialog(std::shared_ptr<HidBus> bus) {
    m_core = std::make_unique<PollingMachine>(std::move(bus));

    const DialogTemplate& tmpl = MainWindowTemplate();
    setWindowTitle(QString::fromUtf8(tmpl.caption));
    m_controls = BuiltDialog(tmpl, this);
    setFixedSize(m_controls.size());

    // The system menu: Qt offers none on this platform, so its entry lives
    // in the window's context menu.
    m_systemMenu = new QMenu(this);
    m_systemMenu->addSeparator();
    QAction* about = m_systemMenu->addAction(QStringLiteral("&About Olvane..."));
    about->setData(AboutCommand);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(AboutCommand); });

    CreatePropertySheet();

    m_clrNormal = QColor(64, 255, 64);
    m_clrAlarm = QColor(255, 64, 64);
    m_clrAboveLow = QColor(64, 64, 255);

    setWindowIcon(ProgramIcon());

    for (int i = 0; i < 3; ++i) {
        m_hLedBitmap[i] = indicator::LedImage(i);
        m_hBeeperBitmap[i] = indicator::BeeperImage(i);
    }

    for (int id : {1028, 1029, 1030, 1031})
        static_cast<QProgressBar*>(Control(id))->setRange(0, 100);
    static_cast<QProgressBar*>(Control(1042))->setRange(0, 65535);

    for (const AccessibleText& text : kAccessibleTexts) {
        if (text.name)
            Control(text.id)->setAccessibleName(QString::fromUtf8(text.name));
        if (text.description)
            Control(text.id)->setAccessibleDescription(QString::fromUtf8(text.description));
    }

    static_cast<QCheckBox*>(Control(1088))->setChecked(false);

    if (QWidget* oneMinute = m_pPropSheet->m_timers.Control(1020))
        oneMinute->setVisible(m_bTestMode);
    for (int id : {1088, 1091, 1092, 1093, 1094, 1095, 1096})
        Control(id)->setHidden(!m_bTestMode);

    ConnectControls();
    m_core->SetView(this);
    SetConfigurationUnlocked(false);

    SetText(1014, QStringLiteral("Looking for keyboard"));
    m_core->Start();

    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &CKeyboardConfigDlg::OnTimer);
    m_timer->start(TimerPeriodMs);

    UpdateAlarmIndicators();

    CheckRadioButton(1092, 1096, 1094);
    ShowSensorColumns(2);

    SetText(1101, QStringLiteral("Unknown"));
}

// The sheet is a child placed with its top-left corner on the hidden
// placeholder 1084; it keeps the size its largest page needs.
void CKeyboardConfigDlg::CreatePropertySheet() {
    m_pPropSheet = new CPropSheet(QStringLiteral("PropSheet"), this, m_bTestMode, 0);
    CTimers& timers = m_pPropSheet->m_timers;
    CDialogThreshold& threshold = m_pPropSheet->m_threshold;
    CManufacturing& manufacturing = m_pPropSheet->m_manufacturing;
    timers.SetRequests(m_core.get());
    threshold.SetRequests(m_core.get());
    manufacturing.SetRequests(m_core.get());
    connect(&timers, &CTimers::alarmSwitchesChanged, this,
            &CKeyboardConfigDlg::UpdateAlarmIndicators);
    connect(&threshold, &CDialogThreshold::thresholdsChanged, this,
            &CKeyboardConfigDlg::RecolourSensorBars);
    connect(&threshold, &CDialogThreshold::keystrokeTriggerChanged, this,
            &CKeyboardConfigDlg::KeystrokeTriggerChanged);
    manufacturing.m_switchMessageLog = [this](bool on) { return EnableMessageLog(on); };
    m_pPropSheet->move(Control(1084)->geometry().topLeft());
    m_pPropSheet->show();

    // Every page is made current once, the first page last.
    const int pages = m_pPropSheet->count();
    for (int i = 1; i < pages; ++i)
        m_pPropSheet->setCurrentIndex(i);
    m_pPropSheet->setCurrentIndex(0);
}

void CKeyboardConfigDlg::ConnectControls() {
    auto onClick = [this](int id, void (CKeyboardConfigDlg::*handler)()) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
    onClick(6, &CKeyboardConfigDlg::OnConfigure);
    onClick(8, &CKeyboardConfigDlg::OnStore);
    onClick(7, &CKeyboardConfigDlg::OnHelp);
    onClick(3, &CKeyboardConfigDlg::OnAbout);
    onClick(4, &CKeyboardConfigDlg::OnSave);
    onClick(5, &CKeyboardConfigDlg::OnRecall);
    onClick(1015, &CKeyboardConfigDlg::OnEnableAlarm);
    onClick(1021, &CKeyboardConfigDlg::OnEnableBeeper);
    connect(static_cast<QAbstractButton*>(Control(1)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    connect(static_cast<QAbstractButton*>(Control(1088)), &QAbstractButton::toggled, this,
            [this](bool on) { m_core->SetSimulate(on); });
    for (int n = 0; n <= 4; ++n) {
        connect(static_cast<QAbstractButton*>(Control(1092 + n)), &QAbstractButton::clicked, this,
                [this, n] { ShowSensorColumns(n); });
    }
}

// Stop the timer first so that nothing talks to the device any more, then
// the device and its reader thread, then the log, then the pages.
void CKeyboardConfigDlg::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_timer)
        m_timer->stop();
    m_core->SetView(nullptr);
    m_core->Stop(); // the reader thread, the device and the message log
    delete m_pPropSheet;
    m_pPropSheet = nullptr;
}

void CKeyboardConfigDlg::SetTimerRunning(bool running) {
    if (running)
        m_timer->start(TimerPeriodMs);
    else
        m_timer->stop();
}

uint16_t CKeyboardConfigDlg::CurrentProductId() const {
    return m_core->ProductId();
}

void CKeyboardConfigDlg::SetConfigurationUnlocked(bool unlock) {
    m_core->SetConfigurationUnlocked(unlock);
}

void CKeyboardConfigDlg::ShowConfigurationLock(bool unlock) {
    const uint16_t productId = CurrentProductId();
    static_cast<QPushButton*>(Control(6))
        ->setText(unlock ? QStringLiteral("Lock Config") : QStringLiteral("Configure"));

    m_pPropSheet->m_timers.EnableControls(unlock, productId);
    m_pPropSheet->m_threshold.EnableControls(unlock, productId);
    if (m_bTestMode)
        m_pPropSheet->m_manufacturing.EnableControls(unlock, productId);

    for (int id : {1015, 5, 4, 8})
        Control(id)->setEnabled(unlock);
    Control(1021)->setEnabled(unlock && productId != ProductWithoutBeeper);
}

bool CKeyboardConfigDlg::EnableMessageLog(bool on) {
    const QByteArray path = QFile::encodeName(m_strDir + QStringLiteral("debug.txt"));
    return m_core->EnableMessageLog(on, path.toStdString());
}

void CKeyboardConfigDlg::OnTimer() {
    m_core->Tick();
}

// Unlocking needs a keyboard being read, or Simulate.
void CKeyboardConfigDlg::OnConfigure() {
    SetConfigurationUnlocked(!m_core->ConfigurationUnlocked());
}

void CKeyboardConfigDlg::OnStore() {
    m_core->RequestStore();
}

void CKeyboardConfigDlg::ShowModal(QDialog& dialog) {
    if (m_runModal)
        m_runModal(dialog);
    else
        dialog.exec();
}

void CKeyboardConfigDlg::OnHelp() {
    CHelpDlg help(this);
    help.m_strDir = m_strDir;
    ShowModal(help);
}

void CKeyboardConfigDlg::OnAbout() {
    CAboutDlg about(this);
    ShowModal(about);
}

void CKeyboardConfigDlg::OnSysCommand(unsigned commandId) {
    if ((commandId & ~0xFu) == AboutCommand)
        OnAbout();
}

void CKeyboardConfigDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_systemMenu->exec(event->globalPos());
}

void CKeyboardConfigDlg::OnEnableAlarm() {
    g_settings.LedEnableStatus =
        static_cast<QCheckBox*>(Control(1015))->checkState() != Qt::Unchecked;
    m_core->RequestOptionsReport();
    UpdateAlarmIndicators();
}

void CKeyboardConfigDlg::OnEnableBeeper() {
    g_settings.BeeperEnableStatus =
        static_cast<QCheckBox*>(Control(1021))->checkState() != Qt::Unchecked;
    m_core->RequestOptionsReport();
    UpdateAlarmIndicators();
}

bool CKeyboardConfigDlg::SimulateTicked() const {
    return static_cast<QCheckBox*>(Control(1088))->checkState() != Qt::Unchecked;
}

void CKeyboardConfigDlg::SetText(int id, const QString& text) {
    static_cast<QLabel*>(Control(id))->setText(text);
}
