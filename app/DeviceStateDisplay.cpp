// What the polling machine asks the main window to show about the keyboard
// itself: its absence, its number of sensors.

#include "app/CKeyboardConfigDlg.h"

#include "device/CHidDevice.h"
#include "device/HidAccess.h"
#include "res/ControlIds.h"
#include "settings/KeyboardSettings.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>

void CKeyboardConfigDlg::ShowNoDevice() {
    QString status = QStringLiteral("No Device");
    if (m_core->Device().PermissionDenied())
        status += QString::fromUtf8(PermissionHint);
    SetText(IDC_STATUS_TEXT, status);
    SetText(IDC_PRODUCT_ID_TEXT, QStringLiteral("Unknown"));
}

void CKeyboardConfigDlg::ShowSensorCount(int count) {
    CheckRadioButton(IDC_NUM_SENSORS_0, IDC_NUM_SENSORS_4, IDC_NUM_SENSORS_0 + count);
    ShowSensorColumns(count);
}

void CKeyboardConfigDlg::CheckRadioButton(int first, int last, int id) {
    // An exclusive group never lets its checked button go: untick with the
    // group made non-exclusive for the moment.
    auto* any = static_cast<QRadioButton*>(Control(first));
    QButtonGroup* group = any->group();
    if (group)
        group->setExclusive(false);
    for (int i = first; i <= last; ++i)
        static_cast<QRadioButton*>(Control(i))->setChecked(i == id);
    if (group)
        group->setExclusive(true);
}
