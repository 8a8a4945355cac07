#pragma once

#include "app/DialogBuilder.h"
#include "settings/KeyboardSettings.h"

#include <QWidget>

// The "Threshold" page (template 148): five sliders for the two thresholds,
// the interval time, the keystroke alarm trigger and the clean time.
class CDialogThreshold : public QWidget {
    Q_OBJECT
public:
    explicit CDialogThreshold(QWidget* parent = nullptr);
    QString Title() const;
    QWidget* Control(int id) const { return m_controls.control(id); }
    void EnableControls(bool enable, uint16_t productId);
    void ShowSettings(const KeyboardSettings& settings);

private:
    BuiltDialog m_controls;
};
