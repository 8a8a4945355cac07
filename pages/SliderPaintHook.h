#pragma once

#include <QObject>

#include <functional>

class QSlider;

// Runs a handler each time a slider is about to paint. The pages take their
// slider values from what the slider shows, so the record follows every
// repositioning that actually reaches the screen: a slider on a hidden page
// paints nothing and therefore writes nothing.
class SliderPaintHook : public QObject {
    Q_OBJECT
public:
    // The hook belongs to `slider` and ends with it.
    static void Install(QSlider* slider, std::function<void(int position)> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SliderPaintHook(QSlider* slider, std::function<void(int)> handler);
    QSlider* m_slider;
    std::function<void(int)> m_handler;
};
