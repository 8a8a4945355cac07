#include "pages/CHelpDlg.h"

#include "pages/HelpText.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

enum : int { CloseButton = 1, TextBoxId = 1026 };

// The help file is laid out in columns, so it needs a fixed-pitch font.
QFont HelpFont() {
    const QString preferred = QStringLiteral("Courier New");
    if (QFontDatabase::families().contains(preferred)) {
        QFont font(preferred);
        font.setFixedPitch(true);
        return font;
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

} // namespace

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent), m_controls(HelpTemplate(), this) {
    setWindowTitle(QString::fromUtf8(HelpTemplate().caption));
    setFixedSize(m_controls.size());

    QPlainTextEdit* box = TextBox();
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setFont(HelpFont());
    box->setAccessibleName(QStringLiteral("Help text"));

    auto* close = m_controls.get<QPushButton>(CloseButton);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QPlainTextEdit* CHelpDlg::TextBox() const {
    return m_controls.get<QPlainTextEdit>(TextBoxId);
}

// Read at every showing: the file may be edited while the program runs.
void CHelpDlg::showEvent(QShowEvent* event) {
    TextBox()->setPlainText(LoadHelpText(m_strDir + QString::fromUtf8(HelpFileName)));
    m_controls.control(CloseButton)->setFocus();
    QDialog::showEvent(event);
}
