#pragma once

// The main window. Public API used by the pages, the property sheet and the
// tests; the rest of the class is the main window's own business.

#include "app/DialogBuilder.h"

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

class CHidDevice;
class CPropSheet;
class CKeyboardConfigDlg;
class HidBus;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

extern CKeyboardConfigDlg* g_mainDialog; // set first thing in initialisation
extern CHidDevice* g_device;             // the one device object, owned by the main window
extern FILE* g_messageLog;               // "debug.txt" while the message log is on, else null

class CKeyboardConfigDlg : public QDialog {
    Q_OBJECT
public:
    // testMode and programDir (with its trailing separator) are decided by
    // the application before the window is created. The keyboard is looked
    // for on the bus chosen by the environment.
    CKeyboardConfigDlg(bool testMode, const QString& programDir, QWidget* parent = nullptr);
    // The same on a given HID bus (the built-in keyboard in tests).
    CKeyboardConfigDlg(bool testMode, const QString& programDir, std::shared_ptr<HidBus> bus,
                       QWidget* parent = nullptr);
    ~CKeyboardConfigDlg() override;

    // Pending-report requests: mark the report only while unlocked.
    void RequestOptionsReport();
    void RequestThresholdsReport();
    void RequestIdNumberReport();

    // Display operations the pages call.
    void RecolourSensorBars();
    void KeystrokeTriggerChanged();
    void UpdateAlarmIndicators();

    // Opens or closes "debug.txt" in the program directory. Returns whether
    // the log is open afterwards.
    bool EnableMessageLog(bool on);

    // One tick of the polling state machine (the 300 ms timer calls it).
    void OnTimer();

    // The configuration lock behind the "Configure" / "Lock Config" button.
    void SetConfigurationUnlocked(bool unlock);

    // The rest of the display.
    void RefreshDisplay();
    void RefreshLiveStatus();
    void ShowSensorColumns(int n);

    // A control of the main window by resource id.
    QWidget* Control(int id) const { return m_controls.control(id); }
    // The window's menu of system commands, with "&About Olvane..." (16).
    QMenu* SystemMenu() const { return m_systemMenu; }
    void OnSysCommand(unsigned commandId);

    // Stops or restarts the 300 ms timer (tests drive OnTimer themselves).
    void SetTimerRunning(bool running);
    // Shows the Help and About dialogs; tests replace it so nothing blocks.
    std::function<void(QDialog&)> m_runModal;

    bool m_bOptionsPending = false;
    bool m_bIdNumberPending = false;
    bool m_bThresholdsPending = false;
    CPropSheet* m_pPropSheet = nullptr;
    QColor m_clrAboveLow;
    QColor m_clrNormal;
    QColor m_clrAlarm;
    std::array<QPixmap, 3> m_hLedBitmap;    // enabled and off, on, disabled
    std::array<QPixmap, 3> m_hBeeperBitmap; // enabled and off, on, disabled
    QString m_strDir;
    unsigned m_nWaitTicks = 0;
    bool m_bStorePending = false;
    bool m_bConfigUnlocked = false;
    bool m_bTestMode = false;
    int m_nPollState = 2;
    bool m_bRereadPending = false;

    // Longest waits for a reply, in ticks.
    static constexpr uint16_t ReplyTickLimit = 6;
    static constexpr uint16_t StoreReplyTickLimit = 48;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void InitDialog(std::shared_ptr<HidBus> bus);
    void CreatePropertySheet();
    void ConnectControls();
    void Shutdown();
    void ShowModal(QDialog& dialog);

    // Button and check box handlers.
    void OnConfigure();
    void OnStore();
    void OnHelp();
    void OnAbout();
    void OnSave();
    void OnRecall();
    void OnEnableAlarm();
    void OnEnableBeeper();

    // Polling state machine steps.
    int GetReport(uint8_t type);
    bool CheckReply(uint16_t limit);
    void DispatchStep();
    void ShowNoDevice();
    bool SimulateTicked() const;
    void CheckRadioButton(int first, int last, int id);

    // Display helpers.
    void ShowSensorLevel(int barId, int fieldId, uint16_t level);
    void ShowKeystrokes(uint16_t count);
    void ColourSensorBar(int barId, uint16_t level);
    void ColourKeystrokeBar();
    void ShowLedImage(int state);
    void ShowBeeperImage(int state);
    void SetBarColour(int barId, const QColor& colour);
    void SetText(int id, const QString& text);
    uint16_t CurrentProductId() const;

    // A setting changed while its report waits for the keyboard's answer must
    // be sent again: each request is counted, and the answer clears the
    // pending flag only when no request came after the report was sent.
    struct RequestCount {
        unsigned requested = 0;
        unsigned sent = 0;
    };
    RequestCount m_optionsRequests;
    RequestCount m_thresholdsRequests;
    RequestCount m_idNumberRequests;
    static void ClearUnlessRequestedAgain(bool& pending, const RequestCount& count);

    BuiltDialog m_controls;
    QTimer* m_timer = nullptr;
    QMenu* m_systemMenu = nullptr;
    bool m_shutDown = false;
};
