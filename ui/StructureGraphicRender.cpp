#include "ui/StructureGraphicRender.h"

#include "foundation/AnsiText.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <cmath>

namespace kanvio {
namespace {

// Boxes are given by their corners the way the pipe's geometry was worked out: left, top,
// right and bottom, the right and bottom edges outside the box.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

void DrawFlowArrow(QPainter& painter, const TStructureGraphicLayout& layout) {
    const int h = layout.InitialHeight;
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::black);
    painter.drawLine(20, h / 3, 20, 2 * h / 3);
    QPolygon head;
    if (layout.Direction) {
        head << QPoint(12, 7 * h / 12) << QPoint(20, 2 * h / 3) << QPoint(28, 7 * h / 12);
    } else {
        head << QPoint(12, 5 * h / 12) << QPoint(20, h / 3) << QPoint(28, 5 * h / 12);
    }
    painter.drawPolygon(head);
}

void DrawTopSymbol(QPainter& painter, const TStructureGraphicLayout& layout) {
    const int x = layout.PipeX;
    const int y0 = layout.Y0;
    if (layout.Top == TTopSymbol::ManholeCircle) {
        painter.drawEllipse(Box(x - 8, y0 - 14, x + 8, y0));
        return;
    }
    // A pipe stub seen from the side: its two edges, the open end and the far rim's
    // visible half.
    painter.drawLine(x - 7, y0, x + 7, y0);
    painter.drawLine(x - 7, y0 - 14, x + 7, y0 - 14);
    painter.drawEllipse(Box(x - 11, y0 - 14, x - 3, y0));
    painter.drawArc(Box(x + 5, y0 - 14, x + 12, y0), -90 * 16, 180 * 16);
}

void DrawBottomSymbol(QPainter& painter, const TStructureGraphicLayout& layout) {
    const int x = layout.PipeX;
    const int y1 = layout.Y1;
    switch (layout.Bottom) {
    case TBottomSymbol::AbortBar:
        painter.drawLine(x - 10, y1 + 2, x + 10, y1 + 2);
        break;
    case TBottomSymbol::ManholeCircle:
        painter.drawEllipse(Box(x - 7, y1, x + 7, y1 + 14));
        break;
    case TBottomSymbol::None:
        break;
    }
}

} // namespace

QImage RenderStructureBitmap(const TStructureGraphicLayout& layout, const QFont& bitmapFont,
                             qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage image(int(std::ceil(layout.Width * ratio)), int(std::ceil(layout.Height * ratio)),
                 QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, ratio > 1.0);
    painter.setFont(bitmapFont);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawText(QRect(layout.StartManholeAt, QSize(layout.Width, layout.Height)),
                     Qt::AlignLeft | Qt::AlignTop, AnsiToQString(layout.StartManhole));
    painter.drawText(QRect(layout.EndManholeAt, QSize(layout.Width, layout.Height)),
                     Qt::AlignLeft | Qt::AlignTop, AnsiToQString(layout.EndManhole));

    DrawFlowArrow(painter, layout);

    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::black, 2));
    DrawTopSymbol(painter, layout);
    const int x = layout.PipeX;
    painter.drawLine(x - 5, layout.Y0, x - 5, layout.Y1);
    painter.drawLine(x + 5, layout.Y0, x + 5, layout.Y1);
    DrawBottomSymbol(painter, layout);

    for (const TObservationRow& row : layout.Rows) {
        painter.drawLine(x + 5, row.TickY, x + 25, row.TickY);
        painter.drawLine(row.LeaderStart, row.LeaderEnd);
    }
    return image;
}

} // namespace kanvio
