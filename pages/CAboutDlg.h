#pragma once

#include "dialogkit/DialogBuilder.h"

#include <QDialog>

// The About box (template 100): product name, version and supported products.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QWidget* Control(int id) const { return m_controls.control(id); }

private:
    BuiltDialog m_controls;
};
