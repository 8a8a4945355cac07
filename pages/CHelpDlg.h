#pragma once

#include "dialogkit/DialogBuilder.h"

#include <QDialog>
#include <QString>

class QPlainTextEdit;

// The Help dialog (template 145): shows "Olvane_Help.txt" from the program
// directory, read afresh each time the dialog is shown.
class CHelpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CHelpDlg(QWidget* parent = nullptr);

    // The program directory with its trailing separator; set before exec().
    QString m_strDir;

    // The text box (IDC_HELP_TEXT).
    QPlainTextEdit* TextBox() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    BuiltDialog m_controls;
};
