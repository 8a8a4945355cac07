#include "pages/CAboutDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {
enum : int { OkButton = 1 };
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_controls(AboutTemplate(), this) {
    setWindowTitle(QString::fromUtf8(AboutTemplate().caption));
    setFixedSize(m_controls.size());

    auto* ok = m_controls.get<QPushButton>(OkButton);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
