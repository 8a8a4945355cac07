#pragma once

// The main window. Public API used by the pages, the property sheet and the
// tests; the rest of the class is the main window's own business.

#include <QDialog>
#include <QString>

#include <cstdint>
#include <cstdio>

class CHidDevice;
class CPropSheet;
class CKeyboardConfigDlg;

extern CKeyboardConfigDlg* g_mainDialog; // set first thing in initialisation
extern CHidDevice* g_device;             // the one device object, owned by the main window
extern FILE* g_messageLog;               // "debug.txt" while the message log is on, else null

class CKeyboardConfigDlg : public QDialog {
    Q_OBJECT
public:
    // testMode and programDir (with its trailing separator) are decided by
    // the application before the window is created.
    CKeyboardConfigDlg(bool testMode, const QString& programDir, QWidget* parent = nullptr);
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

    bool m_bOptionsPending = false;
    bool m_bIdNumberPending = false;
    bool m_bThresholdsPending = false;
    CPropSheet* m_pPropSheet = nullptr;
    QString m_strDir;
    unsigned m_nWaitTicks = 0;
    bool m_bStorePending = false;
    bool m_bConfigUnlocked = false;
    bool m_bTestMode = false;
    int m_nPollState = 2;
    bool m_bRereadPending = false;
};
