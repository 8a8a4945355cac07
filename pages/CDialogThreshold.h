#pragma once

#include "dialogkit/DialogBuilder.h"
#include "pages/SliderScales.h"
#include "settings/KeyboardSettings.h"

class ReportRequests;

#include <QWidget>

class QLabel;
class QSlider;

// The "Threshold" page (template 148): five sliders for the two thresholds,
// the interval time, the keystroke alarm trigger and the clean time.
// Each slider shows its largest value at the top (position 0).
class CDialogThreshold : public QWidget {
    Q_OBJECT
public:
    explicit CDialogThreshold(QWidget* parent = nullptr);
    QString Title() const;
    QWidget* Control(int id) const { return m_controls.control(id); }
    void EnableControls(bool enable, uint16_t productId);
    void ShowSettings(const KeyboardSettings& settings);
    // Where the page's changes ask for their report; none: they ask nothing.
    void SetRequests(ReportRequests* requests) { m_requests = requests; }

signals:
    // A threshold or the keystroke trigger changed: the bars need new colours.
    void thresholdsChanged();
    void keystrokeTriggerChanged();

private:
    QSlider* Slider(int id) const;
    QLabel* Label(int id) const;

    void RequestThresholds();

    // A slider and its value label, with the record value whose text the
    // label shows (-1: none yet).
    struct ShownValue {
        int sliderId = 0, labelId = 0;
        slider::Scale scale = slider::Scale::Threshold;
        int labelValue = -1;
    };
    static QString ValueText(const ShownValue& shown, uint16_t value);
    void ShowValue(ShownValue& shown, uint16_t value);
    void OnMoved(ShownValue& shown, uint16_t KeyboardSettings::*field, int position);

    BuiltDialog m_controls;
    ReportRequests* m_requests = nullptr;
    ShownValue m_low, m_high, m_interval, m_keyLimit, m_clean;
};
