#pragma once

#include "res/DialogTemplate.h"

#include <QHash>
#include <QWidget>

// Builds the widgets of a dialog template as children of `host`, converting
// dialog units to pixels from the host font's average character width and
// height (x * width / 4, y * height / 8), and gives access to them by
// resource id. The templates were laid out for a narrower font than the ones
// found here: one-line captions are widened to their text rather than cut.
class BuiltDialog {
public:
    BuiltDialog() = default;
    BuiltDialog(const DialogTemplate& tmpl, QWidget* host);

    QWidget* control(int id) const { return m_controls.value(id, nullptr); }
    template <typename T> T* get(int id) const { return qobject_cast<T*>(control(id)); }
    // The template's size in pixels, grown to cover every control.
    QSize size() const { return m_size; }

private:
    QHash<int, QWidget*> m_controls;
    QSize m_size;
};

// Pixels per dialog unit for a font, horizontally and vertically.
QPointF DialogUnitScale(const QFont& font);
