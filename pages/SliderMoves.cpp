#include "pages/SliderMoves.h"

#include <QSlider>

namespace {

// Set on a slider while the program itself positions it.
constexpr const char* ShowingProperty = "kbShowingRecord";

} // namespace

namespace slider {

void OnTechnicianMove(QSlider* slider, QObject* context, std::function<void(int)> moved) {
    QObject::connect(slider, &QSlider::valueChanged, context,
                     [slider, moved = std::move(moved)](int position) {
                         if (!slider->property(ShowingProperty).toBool())
                             moved(position);
                     });
}

void ShowPosition(QSlider* slider, int position) {
    if (slider->value() == position && slider->sliderPosition() == position)
        return;
    slider->setProperty(ShowingProperty, true);
    slider->setValue(position);
    slider->setProperty(ShowingProperty, false);
}

} // namespace slider
