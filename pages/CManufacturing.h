#pragma once

#include "app/DialogBuilder.h"
#include "settings/KeyboardSettings.h"

#include <QWidget>

class QCheckBox;
class QRadioButton;

// The "Manufacturing" page (template 150), test mode only.
class CManufacturing : public QWidget {
    Q_OBJECT
public:
    explicit CManufacturing(QWidget* parent = nullptr);
    QString Title() const;
    QWidget* Control(int id) const { return m_controls.control(id); }
    void EnableControls(bool enable, uint16_t productId);
    void ShowSettings(const KeyboardSettings& settings);

private:
    void OnSetIdNumber();
    void OnHostModeEnable();
    void OnHostOutput(int id);
    void OnMessageLog();
    void OnFlag(int id);
    void OnDisableAutoSense();
    void OnInterfaceChosen();

    QCheckBox* Box(int id) const;
    QRadioButton* Radio(int id) const;
    bool Ticked(int id) const;

    BuiltDialog m_controls;
};
