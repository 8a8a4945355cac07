#pragma once

#include "pages/CManufacturing.h"
#include "settings/CDialogThreshold.h"
#include "settings/CTimers.h"

#include <QTabWidget>

class CKeyboardConfigDlg;

// The tabbed container of the settings pages, a child of the main window.
// It holds the Timers and Threshold pages, and in test mode the
// Manufacturing page; the set of pages is fixed at construction. The main
// window drives the pages through the page members directly.
class CPropSheet : public QTabWidget {
    Q_OBJECT
public:
    CPropSheet(const QString& caption, CKeyboardConfigDlg* parent, int initialPage);

    CKeyboardConfigDlg* m_pParent;
    CTimers m_timers;
    CDialogThreshold m_threshold;
    CManufacturing m_manufacturing; // has no window outside test mode
};
