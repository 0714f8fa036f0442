#include "video/VideoDisplayWidget.h"

#include "video/StartupMarks.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace kanvio {

QRect DisplayTargetRect(const QSize& source, const QSize& area, bool keepAspectRatio) {
    if (source.isEmpty() || area.isEmpty()) {
        return {};
    }
    if (!keepAspectRatio) {
        return QRect(QPoint(0, 0), area);
    }
    const QSize fitted = source.scaled(area, Qt::KeepAspectRatio);
    return QRect(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                 fitted);
}

QSize DisplayShape(const QSize& pixels, double pixelAspect) {
    // A ratio that is no number, or beyond any camera's (a damaged or crafted film), would
    // blow the picture up to no use: such pixels are taken for square.
    constexpr double kWidest = 16.0;
    if (!(pixelAspect >= 1.0 / kWidest && pixelAspect <= kWidest) || pixels.isEmpty()) {
        return pixels;
    }
    if (pixelAspect >= 1.0) {
        return {std::max(1, int(std::lround(pixels.width() * pixelAspect))), pixels.height()};
    }
    return {pixels.width(), std::max(1, int(std::lround(pixels.height() / pixelAspect)))};
}

QRect DisplaySourceRect(const QRect& requested, const QSize& frame) {
    const QRect whole(QPoint(0, 0), frame);
    if (requested.isNull()) {
        return whole;
    }
    // A zoom below 1 asks for more than the frame holds; the frame is all there is.
    return requested.intersected(whole);
}

TVideoDisplayWidget::TVideoDisplayWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("VideoWindow");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void TVideoDisplayWidget::SetKeepAspectRatio(bool keep) {
    keepAspectRatio_ = keep;
    update();
}

void TVideoDisplayWidget::ClearFrame() {
    frame_ = QImage();
    update();
}

void TVideoDisplayWidget::ShowFrame(const QImage& frame) {
    frame_ = frame; // shares the decoder's buffer; no copy is made
    update();
}

void TVideoDisplayWidget::SetPixelAspect(double aspect) {
    if (aspect != pixelAspect_) {
        pixelAspect_ = aspect;
        update();
    }
}

void TVideoDisplayWidget::SetSourceRect(const QRect& source) {
    sourceRect_ = source;
    update();
}

uintptr_t TVideoDisplayWidget::NativeWindowHandle() {
    if (QGuiApplication::platformName() == "offscreen" ||
        QGuiApplication::platformName() == "minimal") {
        return 0; // nothing a video sink could draw on
    }
    if (nativeChild_ == nullptr) {
        nativeChild_ = new QWidget(this);
        nativeChild_->setObjectName("NativeVideo");
        nativeChild_->setAttribute(Qt::WA_NativeWindow);
        nativeChild_->setAttribute(Qt::WA_TransparentForMouseEvents);
        nativeChild_->setGeometry(rect());
        nativeChild_->show();
    }
    return static_cast<uintptr_t>(nativeChild_->winId());
}

QSize TVideoDisplayWidget::DisplaySize() const {
    return size();
}

QSize TVideoDisplayWidget::ScreenSize() const {
    const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return shown != nullptr ? shown->geometry().size() : QSize();
}

bool TVideoDisplayWidget::SetHostFullScreen(bool fullScreen) {
    QWidget* host = window();
    if (fullScreen) {
        host->showFullScreen();
    } else {
        host->showNormal();
    }
    return host->isFullScreen();
}

void TVideoDisplayWidget::Repaint() {
    update();
}

QRect TVideoDisplayWidget::PictureRect() const {
    if (frame_.isNull()) {
        return {};
    }
    const QSize source = DisplaySourceRect(sourceRect_, frame_.size()).size();
    return DisplayTargetRect(DisplayShape(source, pixelAspect_), size(), keepAspectRatio_);
}

void TVideoDisplayWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = PictureRect();
    if (target.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Only the bars are filled: the picture covers the rest.
    const QRegion bars = QRegion(rect()) - QRegion(target);
    for (const QRect& bar : bars) {
        painter.fillRect(bar, Qt::black);
    }
    painter.drawImage(target, frame_, DisplaySourceRect(sourceRect_, frame_.size()));
    MarkStartup("first frame painted");
}

void TVideoDisplayWidget::resizeEvent(QResizeEvent*) {
    if (nativeChild_ != nullptr) {
        nativeChild_->setGeometry(rect());
    }
}

} // namespace kanvio
