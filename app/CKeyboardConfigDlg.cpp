#include "app/CKeyboardConfigDlg.h"

#include "app/SensorHistoryWindow.h"
#include "app/WritablePlaces.h"
#include "device/DeviceIds.h"
#include "dialogkit/IndicatorImages.h"
#include "emulator/BusSelection.h"
#include "pages/CAboutDlg.h"
#include "pages/CHelpDlg.h"
#include "pages/CPropSheet.h"
#include "res/ControlIds.h"
#include "res/DialogTemplate.h"
#include "settings/KeyboardSettings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// The About entry of the system menu.
constexpr unsigned AboutCommand = 16;
constexpr unsigned HistoryCommand = 32;
constexpr int TimerPeriodMs = 300;

// A top-level dialog, with the same frame either way. On Windows a window of
// type Qt::Window makes Qt ask the graphics adapter (Direct3D) where to place
// it, which doubled the time to the first picture and tripled the memory;
// on X11 the type names the window a normal one, not a passing dialog.
#ifdef Q_OS_WIN
constexpr Qt::WindowType TopLevelType = Qt::Dialog;
#else
constexpr Qt::WindowType TopLevelType = Qt::Window;
#endif

// Accessible names of the controls that have no caption of their own.
struct AccessibleText {
    int id;
    const char* name;
    const char* description;
};
constexpr AccessibleText kAccessibleTexts[] = {
    {IDC_LEFT_BAR, "Left sensor", nullptr},
    {IDC_RIGHT_BAR, "Right sensor", nullptr},
    {IDC_SENSOR3_BAR, "Sensor 3", nullptr},
    {IDC_SENSOR4_BAR, "Sensor 4", nullptr},
    {IDC_KEYSTROKE_BAR, "Keystrokes", nullptr},
    {IDC_LED_IMAGE, "LED", nullptr},
    {IDC_BEEPER_IMAGE, "Beeper", nullptr},
    {IDC_LEFT_VALUE, nullptr, "Left sensor percent"},
    {IDC_RIGHT_VALUE, nullptr, "Right sensor percent"},
    {IDC_SENSOR3_VALUE, nullptr, "Sensor 3 percent"},
    {IDC_SENSOR4_VALUE, nullptr, "Sensor 4 percent"},
    {IDC_KEYSTROKE_VALUE, nullptr, "Keystroke count"},
    {IDC_ID_NUMBER_TEXT, nullptr, "ID number"},
    {IDC_PRODUCT_ID_TEXT, nullptr, "Product ID"},
    {IDC_STATUS_TEXT, nullptr, "Status"},
};

} // namespace

CKeyboardConfigDlg::CKeyboardConfigDlg(bool testMode, const QString& programDir, QWidget* parent)
    : CKeyboardConfigDlg(testMode, programDir, CreateBusFromEnvironment(), parent) {}

CKeyboardConfigDlg::CKeyboardConfigDlg(bool testMode, const QString& programDir,
                                       std::shared_ptr<HidBus> bus, QWidget* parent)
    : QDialog(parent, TopLevelType | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
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

    // The system menu: Qt offers none, so its entries live in the window's
    // context menu; on Windows they go into the window's real system menu
    // instead.
    m_systemMenu = new QMenu(this);
    m_systemMenu->addSeparator();
    // Ctrl+H works in the window itself, not only while the menu is open.
    QAction* history = m_systemMenu->addAction(QStringLiteral("Sensor &History..."));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    history->setData(HistoryCommand);
    addAction(history);
    connect(history, &QAction::triggered, this, [this] { OnSysCommand(HistoryCommand); });
    QAction* about = m_systemMenu->addAction(QStringLiteral("&About Olvane..."));
    about->setData(AboutCommand);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(AboutCommand); });
#ifdef Q_OS_WIN
    AddToWindowsSystemMenu(HistoryCommand, history->text());
    AddToWindowsSystemMenu(AboutCommand, about->text());
#endif

    CreatePropertySheet();

    m_clrNormal = QColor(64, 255, 64);
    m_clrAlarm = QColor(255, 64, 64);
    m_clrAboveLow = QColor(64, 64, 255);

    for (int i = 0; i < 3; ++i) {
        m_hLedBitmap[i] = indicator::LedImage(i);
        m_hBeeperBitmap[i] = indicator::BeeperImage(i);
    }

    for (int id : {IDC_LEFT_BAR, IDC_RIGHT_BAR, IDC_SENSOR3_BAR, IDC_SENSOR4_BAR})
        static_cast<QProgressBar*>(Control(id))->setRange(0, 100);
    static_cast<QProgressBar*>(Control(IDC_KEYSTROKE_BAR))->setRange(0, 65535);

    for (const AccessibleText& text : kAccessibleTexts) {
        if (text.name)
            Control(text.id)->setAccessibleName(QString::fromUtf8(text.name));
        if (text.description)
            Control(text.id)->setAccessibleDescription(QString::fromUtf8(text.description));
    }

    static_cast<QCheckBox*>(Control(IDC_SIMULATE))->setChecked(false);

    if (QWidget* oneMinute = m_pPropSheet->m_timers.Control(IDC_PRESET_1_MIN))
        oneMinute->setVisible(m_bTestMode);
    for (int id : {IDC_SIMULATE, IDC_NUM_SENSORS_GROUP, IDC_NUM_SENSORS_0, IDC_NUM_SENSORS_1,
                   IDC_NUM_SENSORS_2, IDC_NUM_SENSORS_3, IDC_NUM_SENSORS_4})
        Control(id)->setHidden(!m_bTestMode);

    ConnectControls();
    m_core->SetView(this);
    SetConfigurationUnlocked(false);

    SetText(IDC_STATUS_TEXT, QStringLiteral("Looking for keyboard"));
    m_core->Start();

    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &CKeyboardConfigDlg::OnTimer);
    m_timer->start(TimerPeriodMs);

    UpdateAlarmIndicators();

    CheckRadioButton(IDC_NUM_SENSORS_0, IDC_NUM_SENSORS_4, IDC_NUM_SENSORS_2);
    ShowSensorColumns(2);

    SetText(IDC_PRODUCT_ID_TEXT, QStringLiteral("Unknown"));
}

// The sheet is a child placed with its top-left corner on the hidden
// placeholder; it keeps the size its largest page needs.
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
    m_pPropSheet->move(Control(IDC_SHEET_PLACEHOLDER)->geometry().topLeft());
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
    onClick(IDC_CONFIGURE, &CKeyboardConfigDlg::OnConfigure);
    onClick(IDC_STORE, &CKeyboardConfigDlg::OnStore);
    onClick(IDC_HELP_BUTTON, &CKeyboardConfigDlg::OnHelp);
    onClick(IDC_ABOUT, &CKeyboardConfigDlg::OnAbout);
    onClick(IDC_SAVE, &CKeyboardConfigDlg::OnSave);
    onClick(IDC_RECALL, &CKeyboardConfigDlg::OnRecall);
    onClick(IDC_ENABLE_ALARM, &CKeyboardConfigDlg::OnEnableAlarm);
    onClick(IDC_ENABLE_BEEPER, &CKeyboardConfigDlg::OnEnableBeeper);
    connect(static_cast<QAbstractButton*>(Control(IDOK)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    connect(static_cast<QAbstractButton*>(Control(IDC_SIMULATE)), &QAbstractButton::toggled, this,
            [this](bool on) { m_core->SetSimulate(on); });
    for (int n = 0; n <= 4; ++n) {
        connect(static_cast<QAbstractButton*>(Control(IDC_NUM_SENSORS_0 + n)),
                &QAbstractButton::clicked, this, [this, n] { ShowSensorColumns(n); });
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
    delete m_historyWindow; // it shows the core's history
    m_historyWindow = nullptr;
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

void CKeyboardConfigDlg::ShowConfigurationLock(bool unlock) {
    if (!unlock)
        m_writerLock.Release(); // locked again, or the keyboard was lost
    const uint16_t productId = CurrentProductId();
    static_cast<QPushButton*>(Control(IDC_CONFIGURE))
        ->setText(unlock ? QStringLiteral("Lock Config") : QStringLiteral("Configure"));

    m_pPropSheet->m_timers.EnableControls(unlock, productId);
    m_pPropSheet->m_threshold.EnableControls(unlock, productId);
    if (m_bTestMode)
        m_pPropSheet->m_manufacturing.EnableControls(unlock, productId);

    for (int id : {IDC_ENABLE_ALARM, IDC_RECALL, IDC_SAVE, IDC_STORE})
        Control(id)->setEnabled(unlock);
    Control(IDC_ENABLE_BEEPER)->setEnabled(unlock && productId != ProductWithoutBeeper);
}

// The log lives in the program folder, or in the user's state folder when
// the program folder cannot be written; the page's box tells where.
bool CKeyboardConfigDlg::EnableMessageLog(bool on) {
    if (!on)
        return m_core->EnableMessageLog(false);
    const QString path = MessageLogPath(m_strDir);
    const bool open = m_core->EnableMessageLog(true, QFile::encodeName(path).toStdString());
    const QString shown = QDir::toNativeSeparators(path);
    if (m_pPropSheet)
        m_pPropSheet->m_manufacturing.Control(IDC_MESSAGE_LOG)
            ->setToolTip(open ? QStringLiteral("Writing to %1").arg(shown)
                              : QStringLiteral("Unable to open file \"%1\"").arg(shown));
    return open;
}

void CKeyboardConfigDlg::OnTimer() {
    m_core->Tick();
    if (m_historyWindow) {
        int columns = 0;
        for (int id : {IDC_LEFT_BAR, IDC_RIGHT_BAR, IDC_SENSOR3_BAR, IDC_SENSOR4_BAR})
            columns += Control(id)->isVisibleTo(this) ? 1 : 0;
        m_historyWindow->SetSensorCount(columns);
        m_historyWindow->Refresh();
    }
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
    else if ((commandId & ~0xFu) == HistoryCommand)
        OnSensorHistory();
}

void CKeyboardConfigDlg::OnSensorHistory() {
    if (!m_historyWindow)
        m_historyWindow = new SensorHistoryWindow(m_core->History(),
                                                  {m_clrNormal, m_clrAboveLow, m_clrAlarm}, this);
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
    m_historyWindow->Refresh();
}

#ifndef Q_OS_WIN
void CKeyboardConfigDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_systemMenu->exec(event->globalPos());
}
#endif

void CKeyboardConfigDlg::OnEnableAlarm() {
    g_settings.LedEnableStatus =
        static_cast<QCheckBox*>(Control(IDC_ENABLE_ALARM))->checkState() != Qt::Unchecked;
    m_core->RequestOptionsReport();
    UpdateAlarmIndicators();
}

void CKeyboardConfigDlg::OnEnableBeeper() {
    g_settings.BeeperEnableStatus =
        static_cast<QCheckBox*>(Control(IDC_ENABLE_BEEPER))->checkState() != Qt::Unchecked;
    m_core->RequestOptionsReport();
    UpdateAlarmIndicators();
}

bool CKeyboardConfigDlg::SimulateTicked() const {
    return static_cast<QCheckBox*>(Control(IDC_SIMULATE))->checkState() != Qt::Unchecked;
}

void CKeyboardConfigDlg::SetText(int id, const QString& text) {
    m_shownNumbers.remove(id);
    static_cast<QLabel*>(Control(id))->setText(text);
}
