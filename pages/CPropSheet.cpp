#include "pages/CPropSheet.h"

#include "app/CKeyboardConfigDlg.h"

CPropSheet::CPropSheet(const QString& caption, CKeyboardConfigDlg* parent, int initialPage)
    : QTabWidget(parent), m_pParent(parent) {
    setWindowTitle(caption); // never visible: the sheet is a child without a frame

    // Each page sets its minimum size from its template, so the sheet's size
    // hint fits the largest page.
    addTab(&m_timers, m_timers.Title());
    addTab(&m_threshold, m_threshold.Title());
    if (parent->m_bTestMode)
        addTab(&m_manufacturing, m_manufacturing.Title());
    setCurrentIndex(initialPage);
    resize(sizeHint().expandedTo(minimumSizeHint()));
}
