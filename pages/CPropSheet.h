#pragma once

#include "pages/CManufacturing.h"
#include "pages/CDialogThreshold.h"
#include "pages/CTimers.h"

#include <QTabWidget>

// The tabbed container of the settings pages, a child of the main window.
// It holds the Timers and Threshold pages, and in test mode the
// Manufacturing page; the set of pages is fixed at construction. The main
// window drives the pages through the page members directly.
class CPropSheet : public QTabWidget {
    Q_OBJECT
public:
    CPropSheet(const QString& caption, QWidget* parent, bool testMode, int initialPage);

    CTimers m_timers;
    CDialogThreshold m_threshold;
    CManufacturing m_manufacturing; // has no window outside test mode
};
