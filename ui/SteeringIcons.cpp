#include "ui/SteeringIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace kanvio {

namespace {

const QColor kInk(40, 40, 40);

QPolygonF Triangle(qreal left, qreal right, bool pointsRight) {
    const qreal tip = pointsRight ? right : left;
    const qreal base = pointsRight ? left : right;
    return QPolygonF({QPointF(base, 7), QPointF(tip, 16), QPointF(base, 25)});
}

void Draw(QPainter& p, int imageNumber) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    switch (imageNumber) {
    case 0:
        p.drawPolygon(Triangle(9, 25, true));
        break;
    case 1:
        p.drawRect(9, 7, 5, 18);
        p.drawRect(18, 7, 5, 18);
        break;
    case 2:
        p.drawRect(8, 8, 16, 16);
        break;
    case 3:
        p.drawRect(5, 7, 3, 18);
        p.drawPolygon(Triangle(8, 17, false));
        p.drawPolygon(Triangle(17, 26, false));
        break;
    case 4:
        p.drawPolygon(Triangle(6, 15, true));
        p.drawPolygon(Triangle(15, 24, true));
        p.drawRect(24, 7, 3, 18);
        break;
    case 5:
        p.drawRoundedRect(6, 6, 20, 20, 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(10, 7, 12, 7);
        p.drawRect(11, 18, 10, 7);
        break;
    case 6:
        p.drawRoundedRect(5, 12, 22, 11, 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(9, 6, 14, 7);
        p.drawRect(9, 19, 14, 8);
        break;
    case 7:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kInk, 3));
        p.drawEllipse(6, 6, 20, 20);
        p.drawLine(16, 16, 16, 10);
        p.drawLine(16, 16, 21, 16);
        break;
    case 8: {
        const QColor colours[] = {QColor(220, 40, 40), QColor(40, 170, 40), QColor(40, 80, 220)};
        const QPointF centres[] = {QPointF(11, 12), QPointF(21, 12), QPointF(16, 21)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawEllipse(centres[i], 7, 7);
        }
        break;
    }
    case 9:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(190, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(7, 8, 18, 18), 120 * 16, 300 * 16);
        p.drawLine(16, 5, 16, 15);
        break;
    default:
        break;
    }
}

} // namespace

QIcon SteeringIcon(int imageNumber) {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter, imageNumber);
    painter.end();
    return QIcon(picture);
}

} // namespace kanvio
