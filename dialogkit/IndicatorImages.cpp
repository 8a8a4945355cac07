#include "dialogkit/IndicatorImages.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace indicator {
namespace {

QPixmap Canvas(const QColor& background) {
    QPixmap pixmap(Size, Size);
    pixmap.fill(background);
    return pixmap;
}

void DrawDisc(QPainter& p, const QColor& colour, qreal radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(Size / 2.0, Size / 2.0), radius, radius);
}

void DrawSun(QPainter& p) {
    const QPointF centre(Size / 2.0, Size / 2.0);
    p.setPen(QPen(Orange, 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        const qreal angle = i * M_PI / 4.0;
        const QPointF dir(std::cos(angle), std::sin(angle));
        p.drawLine(centre + dir * 10.0, centre + dir * 14.5);
    }
    DrawDisc(p, Orange, 7.5);
}

// A loudspeaker: the magnet box on the left and the cone opening right.
void DrawSpeaker(QPainter& p, const QColor& colour) {
    QPainterPath path;
    path.moveTo(5, 12);
    path.lineTo(11, 12);
    path.lineTo(19, 5);
    path.lineTo(19, 27);
    path.lineTo(11, 20);
    path.lineTo(5, 20);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

void DrawSoundLines(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(14, 11, 10, 10), -50 * 16, 100 * 16);
    p.drawArc(QRectF(12, 7, 18, 18), -50 * 16, 100 * 16);
}

} // namespace

QPixmap LedImage(int state) {
    QPixmap pixmap = Canvas(state == 2 ? LightGrey : LightBlue);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (state == 1)
        DrawSun(p);
    else
        DrawDisc(p, state == 2 ? DarkGrey : Black, 10.0);
    return pixmap;
}

QPixmap BeeperImage(int state) {
    QPixmap pixmap = Canvas(state == 2 ? LightGrey : LightBlue);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (state == 1) {
        DrawSpeaker(p, Red);
        DrawSoundLines(p, Red);
    } else {
        DrawSpeaker(p, state == 2 ? DarkGrey : Black);
    }
    return pixmap;
}

} // namespace indicator
