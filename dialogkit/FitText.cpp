#include "dialogkit/FitText.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

bool HasText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return !label->text().isEmpty() && !label->wordWrap();
    return qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
}

} // namespace

void FitTextControls(QWidget* page, QSize templateSize) {
    const int pageWidth = templateSize.width();
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!HasText(w))
            continue;
        const int wanted = w->sizeHint().width();
        QRect r = w->geometry();
        if (wanted <= r.width())
            continue;
        auto* label = qobject_cast<QLabel*>(w);
        if (label && (label->alignment() & Qt::AlignHCenter)) {
            const int centre = r.center().x();
            r.setLeft(std::max(0, centre - wanted / 2));
        }
        r.setRight(std::min(pageWidth - 1, r.left() + wanted - 1));
        w->setGeometry(r);
    }

    QSize size = templateSize;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        size = size.expandedTo(QSize(w->geometry().right() + 1, w->geometry().bottom() + 1));
    page->setMinimumSize(size);
}
