#include "ui/StructureViewImages.h"

#include "ui/StructureGraphicView.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace kanvio {

namespace {

constexpr int kFrame = 2;

} // namespace

QImage PanelImage(QWidget& panel) {
    QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(panel.palette().color(panel.backgroundRole()));
    panel.render(&image);
    return image;
}

QImage WholeGraphicImage(TStructureGraphicView& scrollBox) {
    QWidget& canvas = *scrollBox.Canvas();
    // Rendering the canvas itself paints what lies outside the visible part too, so the
    // scroll box need not be stretched and restored for it.
    const QSize content(std::max(canvas.width(), scrollBox.viewport()->width()),
                        std::max(canvas.height(), scrollBox.viewport()->height()));
    QImage image(content + QSize(kFrame, kFrame), QImage::Format_ARGB32_Premultiplied);
    image.fill(scrollBox.palette().color(QPalette::Mid));
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(kFrame, kFrame), content),
                     canvas.palette().color(QPalette::Window));
    painter.end();
    canvas.render(&image, QPoint(kFrame, kFrame));
    return image;
}

} // namespace kanvio
