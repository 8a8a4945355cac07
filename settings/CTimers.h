#pragma once

#include "app/DialogBuilder.h"
#include "settings/KeyboardSettings.h"

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

private:
    void ShowAlarmTime(uint16_t hours);
    void OnSliderPainted(int position);
    void OnPreset(uint16_t hours);
    void OnSwitchClicked(int id);

    QSlider* Slider() const;
    QLabel* ValueLabel() const;
    QCheckBox* Box(int id) const;

    BuiltDialog m_controls;
};
