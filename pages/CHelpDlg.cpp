#include "pages/CHelpDlg.h"

#include "pages/HelpText.h"
#include "res/ControlIds.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// The help file is laid out in columns, so it needs a fixed-pitch font: the
// system's (on Windows that is Courier New), or Courier New where there is
// one. Where the platform names none (offscreen), the first fixed-pitch
// family there is.
QFont HelpFont() {
#ifndef Q_OS_WIN
    const QString preferred = QStringLiteral("Courier New");
    if (QFontDatabase::families().contains(preferred)) {
        QFont font(preferred);
        font.setFixedPitch(true);
        return font;
    }
#endif
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        for (const QString& family : QFontDatabase::families()) {
            if (QFontDatabase::isFixedPitch(family)) {
                font.setFamily(family);
                break;
            }
        }
    }
    return font;
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

    auto* close = m_controls.get<QPushButton>(IDOK);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QPlainTextEdit* CHelpDlg::TextBox() const {
    return m_controls.get<QPlainTextEdit>(IDC_HELP_TEXT);
}

// Read at every showing: the file may be edited while the program runs.
void CHelpDlg::showEvent(QShowEvent* event) {
    TextBox()->setPlainText(LoadHelpText(m_strDir + QString::fromUtf8(HelpFileName)));
    m_controls.control(IDOK)->setFocus();
    QDialog::showEvent(event);
}
