#include "pages/CAboutDlg.h"

#include "dialogkit/ProgramIcon.h"
#include "res/ControlIds.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    // The template's icon control shows the window's icon: set it first.
    setWindowIcon(ProgramIcon());
    m_controls = BuiltDialog(AboutTemplate(), this);
    setWindowTitle(QString::fromUtf8(AboutTemplate().caption));
    // The two-line product name wraps within its box, as it was laid out.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->alignment() & Qt::AlignHCenter)
            label->setWordWrap(true);
    }
    setFixedSize(m_controls.size());

    auto* ok = m_controls.get<QPushButton>(IDOK);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
