#include "pages/CPropSheet.h"

CPropSheet::CPropSheet(const QString& caption, QWidget* parent, bool testMode, int initialPage)
    : QTabWidget(parent) {
    setWindowTitle(caption); // never visible: the sheet is a child without a frame

    // Each page sets its minimum size from its template, so the sheet's size
    // hint fits the largest page.
    addTab(&m_timers, m_timers.Title());
    addTab(&m_threshold, m_threshold.Title());
    m_timers.SetTestMode(testMode);
    if (testMode)
        addTab(&m_manufacturing, m_manufacturing.Title());
    setCurrentIndex(initialPage);
    resize(sizeHint().expandedTo(minimumSizeHint()));
}
