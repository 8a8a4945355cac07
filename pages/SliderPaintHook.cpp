#include "pages/SliderPaintHook.h"

#include <QEvent>
#include <QSlider>

SliderPaintHook::SliderPaintHook(QSlider* slider, std::function<void(int)> handler)
    : QObject(slider), m_slider(slider), m_handler(std::move(handler)) {}

void SliderPaintHook::Install(QSlider* slider, std::function<void(int position)> handler) {
    slider->installEventFilter(new SliderPaintHook(slider, std::move(handler)));
}

bool SliderPaintHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_slider && event->type() == QEvent::Paint)
        m_handler(m_slider->value());
    return false; // the slider draws itself as usual
}
