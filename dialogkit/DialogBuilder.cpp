#include "dialogkit/DialogBuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>
#include <cmath>

QPointF DialogUnitScale(const QFont& font) {
    // The average character width is taken over the 52 letters, as the
    // dialog-unit definition of the original platform does.
    const QFontMetricsF metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const qreal width = std::round(metrics.horizontalAdvance(letters) / letters.size());
    const qreal height = std::ceil(metrics.height());
    return {width / 4.0, height / 8.0};
}

namespace {

QRect ToPixels(const QPointF& scale, int x, int y, int width, int height) {
    const int left = static_cast<int>(std::lround(x * scale.x()));
    const int top = static_cast<int>(std::lround(y * scale.y()));
    const int right = static_cast<int>(std::lround((x + width) * scale.x()));
    const int bottom = static_cast<int>(std::lround((y + height) * scale.y()));
    return QRect(left, top, right - left, bottom - top);
}

QLabel* MakeStatic(const ControlTemplate& c, QWidget* host) {
    auto* label = new QLabel(QString::fromUtf8(c.caption), host);
    if (c.flags & Centred) {
        label->setAlignment(Qt::AlignCenter);
    } else {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Left-aligned statics wrap their text like the original ones do.
        label->setWordWrap(c.height > 10);
    }
    if (c.flags & Sunken)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    else if (c.flags & Bordered)
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
    return label;
}

QWidget* MakeControl(const ControlTemplate& c, QWidget* host) {
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(caption, host);
        // Enter presses the push button that has the focus, which stands in
        // for the default button meanwhile; with the focus on anything else
        // Enter goes to the template's default button.
        button->setAutoDefault(true);
        button->setDefault(c.kind == ControlKind::DefaultPushButton);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(caption, host);
    case ControlKind::RadioButton:
        return new QRadioButton(caption, host);
    case ControlKind::GroupBox:
        return new QGroupBox(caption, host);
    case ControlKind::Static:
        return MakeStatic(c, host);
    case ControlKind::Edit:
        return new QLineEdit(caption, host);
    case ControlKind::MultiLineEdit: {
        auto* box = new QPlainTextEdit(host);
        box->setReadOnly(true);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        return box;
    }
    case ControlKind::Slider: {
        auto* slider = new QSlider(Qt::Vertical, host);
        slider->setTickPosition(QSlider::TicksBothSides);
        return slider;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(host);
        bar->setOrientation(Qt::Vertical);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::Bitmap: {
        auto* picture = new QLabel(host);
        picture->setAlignment(Qt::AlignCenter);
        return picture;
    }
    case ControlKind::Icon: {
        auto* picture = new QLabel(host);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setPixmap(host->windowIcon().pixmap(32, 32));
        return picture;
    }
    }
    return new QWidget(host);
}

} // namespace

BuiltDialog::BuiltDialog(const DialogTemplate& tmpl, QWidget* host) {
    const QPointF scale = DialogUnitScale(host->font());
    m_size = ToPixels(scale, 0, 0, tmpl.width, tmpl.height).size();

    QList<QGroupBox*> frames;
    QButtonGroup* radioGroup = nullptr;
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* widget = MakeControl(c, host);
        QRect rect = ToPixels(scale, c.x, c.y, c.width, c.height);
        // Fonts here run wider than the one the templates were laid out for:
        // one-line captions get the width they need rather than being cut.
        const bool oneLineCaption = c.kind == ControlKind::CheckBox ||
                                    c.kind == ControlKind::RadioButton ||
                                    (c.kind == ControlKind::Static &&
                                     !(c.flags & (Centred | Sunken | Bordered)) && c.height <= 10);
        if (oneLineCaption)
            rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
        widget->setGeometry(rect);
        // A widened caption may reach past the template's edge: the size covers it.
        m_size = m_size.expandedTo(QSize(rect.right() + 1, rect.bottom() + 1));
        if (c.id >= 0) {
            m_controls.insert(c.id, widget);
            widget->setObjectName(QStringLiteral("ctl%1").arg(c.id));
        }

        // Radio buttons form a group from a group-start button (or the first
        // radio button after another kind of control) to the next one.
        if (c.kind == ControlKind::RadioButton) {
            if (!radioGroup || (c.flags & GroupStart)) {
                radioGroup = new QButtonGroup(host);
                radioGroup->setExclusive(true);
            }
            radioGroup->addButton(static_cast<QRadioButton*>(widget), c.id);
        } else {
            radioGroup = nullptr;
        }

        if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            frames.append(frame);
            frame->setFocusPolicy(Qt::NoFocus);
        }
        if (c.flags & NoTabStop)
            widget->setFocusPolicy(widget->focusPolicy() == Qt::NoFocus ? Qt::NoFocus
                                                                        : Qt::ClickFocus);
        if (c.flags & Disabled)
            widget->setEnabled(false);
        if (c.flags & Hidden)
            widget->setHidden(true);
    }
    // Group boxes are frames drawn behind the controls they surround.
    for (QGroupBox* frame : frames)
        frame->lower();
}
