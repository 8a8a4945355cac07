#pragma once

#include "dialogkit/DialogBuilder.h"
#include "settings/KeyboardSettings.h"

#include <QWidget>

#include <functional>

class ReportRequests;

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
    // Where the page's changes ask for their report; none: they ask nothing.
    void SetRequests(ReportRequests* requests) { m_requests = requests; }
    // Switches the message log; returns whether it is open afterwards.
    std::function<bool(bool on)> m_switchMessageLog;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

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

    void RequestOptions();

    BuiltDialog m_controls;
    ReportRequests* m_requests = nullptr;
};
