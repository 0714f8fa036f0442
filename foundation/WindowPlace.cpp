#include "foundation/WindowPlace.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace kanvio {

QRect ClampFrameToArea(QRect frame, const QRect& area) {
    if (area.isEmpty()) {
        return frame;
    }
    // Right and bottom first, then left and top: a frame larger than the area keeps its
    // title bar reachable.
    if (frame.right() > area.right()) {
        frame.moveRight(area.right());
    }
    if (frame.bottom() > area.bottom()) {
        frame.moveBottom(area.bottom());
    }
    if (frame.left() < area.left()) {
        frame.moveLeft(area.left());
    }
    if (frame.top() < area.top()) {
        frame.moveTop(area.top());
    }
    return frame;
}

double FontScale(double averageCharWidth, double lineHeight) {
    if (!(averageCharWidth > 0.0) || !(lineHeight > 0.0)) {
        return 1.0;
    }
    return std::max({1.0, averageCharWidth / kDesignCharWidth, lineHeight / kDesignLineHeight});
}

double FontScale(const QFont& font) {
    const QFontMetricsF metrics(font);
    return FontScale(metrics.averageCharWidth(), metrics.height());
}

double DesignFontScale() {
    QFont font = QGuiApplication::font();
    font.setPointSize(8);
    return FontScale(font);
}

namespace {
QRect firstStartMainFrame;
}

void NoteFirstStartMainFrame(const QRect& frame) {
    firstStartMainFrame = frame;
}

TThreeWindowDefaults ThreeWindowDefaults(double scale) {
    TThreeWindowDefaults defaults;
    defaults.Main = QRect(QPoint(0, 0), ScaledDesignSize(QSize(400, 500), scale));
    if (!firstStartMainFrame.isNull()) {
        defaults.Main.setWidth(std::max(defaults.Main.width(), firstStartMainFrame.right() + 1));
        defaults.Main.setHeight(std::max(defaults.Main.height(), firstStartMainFrame.bottom() + 1));
    }
    // Right of and below the main frame's last pixel.
    defaults.Video = QPoint(defaults.Main.right() + 1, 0);
    defaults.Controls = QPoint(0, defaults.Main.bottom() + 1);
    return defaults;
}

int ScaledDesignLength(int design, double scale) {
    if (!(scale > 1.0)) {
        return design;
    }
    // A hair below the next whole pixel counts as that pixel: 400 x 1.1 is 440, not 441.
    return static_cast<int>(std::ceil(design * scale - 1e-6));
}

QSize ScaledDesignSize(QSize design, double scale) {
    return QSize(ScaledDesignLength(design.width(), scale),
                 ScaledDesignLength(design.height(), scale));
}

} // namespace kanvio
