#pragma once

#include <QSize>

class QWidget;

// Template rectangles were measured for a narrower font than the ones found
// here. Widens the captioned controls of `page` (labels, check boxes, radio
// buttons) whose text would be cut, centred labels about their centre, never
// past the page's edge; then sets the page's minimum size to cover both the
// template and every control.
void FitTextControls(QWidget* page, QSize templateSize);
