#pragma once

#include "dialogkit/DialogBuilder.h"
#include "settings/KeyboardSettings.h"

class ReportRequests;

#include <QWidget>

class QCheckBox;
class QLabel;
class QSlider;

// The "Timers" page (template 149): alarm time slider and presets, and the
// timer, keystroke and clean-on-power-up switches.
class CTimers : public QWidget {
    Q_OBJECT
public:
    explicit CTimers(QWidget* parent = nullptr);
    QString Title() const;
    QWidget* Control(int id) const { return m_controls.control(id); }
    void EnableControls(bool enable, uint16_t productId);
    void ShowSettings(const KeyboardSettings& settings);
    // Where the page's changes ask for their report; none: they ask nothing.
    void SetRequests(ReportRequests* requests) { m_requests = requests; }
    // In test mode the bottom of the slider reads as the one-minute alarm.
    void SetTestMode(bool testMode) { m_testMode = testMode; }

signals:
    // The timer or keystroke alarm was switched: the indicators change.
    void alarmSwitchesChanged();

private:
    void ShowAlarmTime(uint16_t hours);
    void OnSliderMoved(int position);
    void OnPreset(uint16_t hours);
    void OnSwitchClicked(int id);

    QSlider* Slider() const;
    QLabel* ValueLabel() const;
    QCheckBox* Box(int id) const;

    BuiltDialog m_controls;
    ReportRequests* m_requests = nullptr;
    bool m_testMode = false;
    // The alarm time whose text the value label shows; -1: other text.
    int m_labelHours = -1;
};
