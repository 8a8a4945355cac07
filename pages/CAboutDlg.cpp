#include "pages/CAboutDlg.h"

#include "app/ProgramIcon.h"

#include <QPushButton>

namespace {
enum : int { OkButton = 1 };
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    // The template's icon control shows the window's icon: set it first.
    setWindowIcon(ProgramIcon());
    m_controls = BuiltDialog(AboutTemplate(), this);
    setWindowTitle(QString::fromUtf8(AboutTemplate().caption));
    setFixedSize(m_controls.size());

    auto* ok = m_controls.get<QPushButton>(OkButton);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
