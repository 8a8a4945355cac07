#pragma once

// The main window. Public API used by the pages, the property sheet and the
// tests; the rest of the class is the main window's own business.

#include "core/CoreView.h"
#include "core/PollingMachine.h"
#include "device/KeyboardLock.h"
#include "dialogkit/DialogBuilder.h"

#include <QColor>
#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

class CPropSheet;
class HidBus;
class QMenu;
class SensorHistoryWindow;
class QTimer;

// The main window: a view of the polling machine. Its timer ticks the
// machine; the machine tells it what to show; its buttons and the pages'
// controls change the settings record and ask the machine for reports.
class CKeyboardConfigDlg : public QDialog, private CoreView {
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

    PollingMachine& Core() { return *m_core; }

    // Display operations the pages' changes lead to.
    void RecolourSensorBars();
    void KeystrokeTriggerChanged();
    void UpdateAlarmIndicators();

    // Opens or closes "debug.txt" in the program directory (in the user's
    // state folder when that cannot be written). Returns whether the log is
    // open afterwards.
    bool EnableMessageLog(bool on);

    // One tick of the polling machine (the 300 ms timer calls it).
    void OnTimer();

    // The configuration lock behind the "Configure" / "Lock Config" button.
    // While unlocked the window holds the keyboard's KeyboardLock; when
    // another program holds it, a message names that program and the
    // configuration stays locked. Released on locking and on losing the
    // keyboard.
    void SetConfigurationUnlocked(bool unlock);

    // The rest of the display.
    void RefreshDisplay();
    void RefreshLiveStatus();
    void ShowSensorColumns(int n);

    // A control of the main window by resource id.
    QWidget* Control(int id) const { return m_controls.control(id); }
    // The window's system commands, with "&About Olvane..." (16): shown as
    // its context menu, on Windows added to its real system menu instead.
    QMenu* SystemMenu() const { return m_systemMenu; }
    void OnSysCommand(unsigned commandId);
    // Opens (or brings forward) the modeless "Sensor History" window.
    void OnSensorHistory();
    SensorHistoryWindow* HistoryWindow() const { return m_historyWindow; }

    // Stops or restarts the 300 ms timer (tests drive OnTimer themselves).
    void SetTimerRunning(bool running);
    // Shows the Help and About dialogs; tests replace it so nothing blocks.
    std::function<void(QDialog&)> m_runModal;

    CPropSheet* m_pPropSheet = nullptr;
    QColor m_clrAboveLow;
    QColor m_clrNormal;
    QColor m_clrAlarm;
    std::array<QPixmap, 3> m_hLedBitmap;    // enabled and off, on, disabled
    std::array<QPixmap, 3> m_hBeeperBitmap; // enabled and off, on, disabled
    QString m_strDir;
    bool m_bTestMode = false;

protected:
#ifdef Q_OS_WIN
    // SystemMenu_win.cpp: the entries are in the window's real system menu,
    // and the window offers no context menu of its own.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#else
    void contextMenuEvent(QContextMenuEvent* event) override;
#endif

private:
    void InitDialog(std::shared_ptr<HidBus> bus);
#ifdef Q_OS_WIN
    void AddToWindowsSystemMenu(unsigned commandId, const QString& caption);
#endif
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

    // What the polling machine asks to be shown.
    void ShowRecord() override {
        RefreshDisplay();
    }
    void ShowNoDevice() override;
    void ShowSensorCount(int count) override;
    void ShowConfigurationLock(bool unlocked) override;

    bool SimulateTicked() const;
    void CheckRadioButton(int first, int last, int id);

    // Display helpers.
    void ColourSensorBar(int barId, uint16_t level);
    void ColourKeystrokeBar();
    void ShowLedImage(int state);
    void ShowBeeperImage(int state);
    void SetBarColour(int barId, const QColor& colour);
    void SetText(int id, const QString& text);
    void SetNumber(int id, const char* format, uint16_t value);
    void SetTicked(int id, bool ticked);
    uint16_t CurrentProductId() const;

    std::unique_ptr<PollingMachine> m_core;
    BuiltDialog m_controls;
    QTimer* m_timer = nullptr;
    QMenu* m_systemMenu = nullptr;
    SensorHistoryWindow* m_historyWindow = nullptr; // created when first opened
    bool m_shutDown = false;
    KeyboardLock m_writerLock; // ConfigurationLock.cpp

    // What the display last put in its controls, so that a refresh touches
    // only the controls whose value changed: the number each number field
    // shows, and the picture index of each indicator (-1: none yet).
    QHash<int, uint16_t> m_shownNumbers;
    int m_shownLedIndex = -1;
    int m_shownBeeperIndex = -1;
};
