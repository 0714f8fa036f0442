#include "core/StartupPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kanvio {
namespace {

const QColor Ground(0xC8, 0xB0, 0x8A);
const QColor GroundDark(0xA0, 0x86, 0x60);
const QColor Concrete(0x9A, 0x9E, 0xA3);
const QColor PipeWall(0x5C, 0x63, 0x6B);
const QColor Water(0x3F, 0x7F, 0xC4);
const QColor Frame(0x30, 0x36, 0x3C);
const QColor VideoBlue(0x1E, 0x3A, 0x5F);
const QColor Accent(0xD9, 0x53, 0x1E);

// A manhole shaft from the surface down to the pipe, with its cover and rungs.
void DrawShaft(QPainter& painter, int centreX, int surfaceY, int pipeTop, int pipeBottom) {
    const QRect shaft(centreX - 14, surfaceY, 28, pipeBottom - surfaceY);
    painter.setPen(QPen(PipeWall, 2));
    painter.setBrush(Concrete.lighter(125));
    painter.drawRect(shaft);
    painter.setPen(QPen(PipeWall, 1));
    for (int y = surfaceY + 10; y < pipeTop - 4; y += 9) {
        painter.drawLine(centreX - 6, y, centreX + 6, y);
    }
    painter.setPen(QPen(Frame, 2));
    painter.setBrush(Frame);
    painter.drawRect(centreX - 18, surfaceY - 4, 36, 5);
}

void FillWindow(QPainter& painter, const QRect& area, const QColor& body) {
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(area);
    painter.setBrush(QColor(0x3B, 0x6E, 0xA8));
    painter.drawRect(QRect(area.left(), area.top(), area.width(), 7));
    painter.setBrush(body);
    painter.drawRect(area.adjusted(3, 10, -3, -3));
}

// A little pipe schematic as the structure graphic shows it.
void DrawPipeSketch(QPainter& painter, const QRect& area) {
    const int x = area.left() + area.width() / 4;
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPoint(x, area.top() + 4), 3, 3);
    painter.drawLine(x - 2, area.top() + 7, x - 2, area.bottom() - 6);
    painter.drawLine(x + 2, area.top() + 7, x + 2, area.bottom() - 6);
    painter.drawEllipse(QPoint(x, area.bottom() - 3), 3, 3);
    const QColor rows[] = {QColor(Qt::blue), Accent, QColor(Qt::blue), QColor(0x2E, 0x9E, 0x4F)};
    int y = area.top() + 10;
    for (const QColor& colour : rows) {
        painter.setPen(QPen(Frame, 1));
        painter.drawLine(x + 2, y, x + 7, y);
        painter.setPen(QPen(colour, 2));
        painter.drawLine(x + 10, y, area.right() - 3, y);
        y += (area.height() - 18) / 4;
    }
}

void DrawListSketch(QPainter& painter, const QRect& area) {
    painter.setPen(QPen(QColor(0x90, 0x96, 0x9C), 1));
    for (int y = area.top() + 4; y < area.bottom() - 2; y += 6) {
        painter.drawLine(area.left() + 3, y, area.right() - 3, y);
    }
}

void DrawVideoSketch(QPainter& painter, const QRect& area) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(VideoBlue);
    painter.drawRect(area);
    // A view down a pipe: two rings shrinking towards the far end.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xB8, 0xC4, 0xD0), 1));
    const QPoint centre = area.center();
    const int radius = std::min(area.width(), area.height()) / 2 - 2;
    painter.drawEllipse(centre, radius, radius);
    painter.drawEllipse(centre, radius / 2, radius / 2);
}

void DrawControlsSketch(QPainter& painter, const QRect& area) {
    painter.setPen(QPen(Frame, 1));
    painter.drawLine(area.left() + 3, area.top() + 4, area.right() - 3, area.top() + 4);
    painter.setBrush(Accent);
    for (int i = 0; i < 4; ++i) {
        painter.drawRect(area.left() + 3 + i * 9, area.top() + 8, 6, 5);
    }
}

} // namespace

QImage SplashPicture() {
    QImage image(SplashPictureWidth, SplashPictureHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const int surface = 46;
    const int pipeTop = 132;
    const int pipeBottom = 158;
    QLinearGradient earth(0, surface, 0, SplashPictureHeight);
    earth.setColorAt(0, Ground);
    earth.setColorAt(1, GroundDark);
    painter.fillRect(QRect(0, surface, SplashPictureWidth, SplashPictureHeight - surface), earth);
    painter.fillRect(QRect(0, surface - 6, SplashPictureWidth, 6), QColor(0x6B, 0x6F, 0x73));

    // The pipe between the two shafts, with water in its invert.
    painter.setPen(QPen(PipeWall, 2));
    painter.setBrush(Concrete);
    painter.drawRect(QRect(18, pipeTop, SplashPictureWidth - 36, pipeBottom - pipeTop));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Water);
    painter.drawRect(QRect(19, pipeBottom - 8, SplashPictureWidth - 38, 7));
    DrawShaft(painter, 40, surface, pipeTop, pipeBottom);
    DrawShaft(painter, SplashPictureWidth - 40, surface, pipeTop, pipeBottom);

    // The inspection camera on its way through the pipe, with its light cone.
    QPainterPath cone;
    cone.moveTo(132, 145);
    cone.lineTo(170, pipeTop + 2);
    cone.lineTo(170, pipeBottom - 2);
    cone.closeSubpath();
    painter.setBrush(QColor(255, 244, 180, 170));
    painter.drawPath(cone);
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(Accent);
    painter.drawRoundedRect(QRect(108, 138, 24, 13), 3, 3);
    painter.setBrush(Frame);
    painter.drawEllipse(QPoint(113, 153), 3, 3);
    painter.drawEllipse(QPoint(127, 153), 3, 3);
    // Its cable back to the start shaft.
    painter.setPen(QPen(Frame, 1, Qt::DashLine));
    painter.drawLine(54, 144, 108, 144);

    // Flow direction under the pipe.
    painter.setPen(QPen(Water.darker(130), 2));
    painter.drawLine(80, 176, 148, 176);
    painter.setBrush(Water.darker(130));
    painter.drawPolygon(QPolygon({QPoint(148, 171), QPoint(158, 176), QPoint(148, 181)}));

    // Sky with a survey van above the start shaft.
    QLinearGradient sky(0, 0, 0, surface - 6);
    sky.setColorAt(0, QColor(0xDD, 0xEB, 0xF7));
    sky.setColorAt(1, Qt::white);
    painter.fillRect(QRect(0, 0, SplashPictureWidth, surface - 6), sky);
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(QColor(0xF2, 0xF2, 0xF2));
    painter.drawRoundedRect(QRect(64, 16, 52, 20), 3, 3);
    painter.setBrush(QColor(0x9C, 0xC3, 0xE6));
    painter.drawRect(QRect(102, 20, 10, 7));
    painter.setBrush(Accent);
    painter.drawRect(QRect(64, 28, 38, 3));
    painter.setBrush(Frame);
    painter.drawEllipse(QPoint(76, 37), 4, 4);
    painter.drawEllipse(QPoint(106, 37), 4, 4);
    return image;
}

QImage LayoutPicture(int layoutMode) {
    if (layoutMode < 0 || layoutMode > 2) {
        return {};
    }
    QImage image(LayoutPictureSize, LayoutPictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QColor desktop(0xE4, 0xE8, 0xEC);
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(desktop);
    painter.drawRect(QRect(0, 8, LayoutPictureSize - 1, LayoutPictureSize - 17));

    if (layoutMode == 0) {
        // Three windows: data with graphic, video, player controls.
        const QRect main(6, 14, 50, 84);
        FillWindow(painter, main, Qt::white);
        DrawPipeSketch(painter, main.adjusted(3, 12, -3, -3));
        const QRect video(60, 14, 46, 40);
        FillWindow(painter, video, VideoBlue);
        DrawVideoSketch(painter, video.adjusted(3, 10, -3, -3));
        const QRect controls(60, 60, 46, 24);
        FillWindow(painter, controls, Qt::white);
        DrawControlsSketch(painter, controls.adjusted(3, 8, -3, -3));
        return image;
    }
    // One window: the video with controls on the left, graphic or list on the right.
    const QRect single(6, 14, 100, 84);
    FillWindow(painter, single, Qt::white);
    const QRect video(10, 25, 52, 40);
    DrawVideoSketch(painter, video);
    DrawControlsSketch(painter, QRect(10, 68, 52, 24));
    const QRect side(66, 25, 36, 69);
    painter.setPen(QPen(Frame, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(side);
    if (layoutMode == 1) {
        DrawPipeSketch(painter, side.adjusted(1, 1, -1, -1));
    } else {
        DrawListSketch(painter, side.adjusted(1, 1, -1, -1));
    }
    return image;
}

} // namespace kanvio
