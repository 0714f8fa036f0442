#pragma once

// The video display of a window. Renderer mode 0: the engine hands it the newest decoded
// frame and the part of the frame to show (digital zoom); it paints that part scaled into
// its area, keeping the picture's aspect ratio (the screen shape the film was made for,
// whatever the shape of its pixels) with black bars (letterbox) or stretching it over the
// whole area. Renderer mode 1: a native child window the video sink draws
// into. Mouse and key events are left to the hosting window.

#include "video/VideoDisplay.h"

#include <QImage>
#include <QRect>
#include <QWidget>

namespace kanvio {

// Where the source part of a frame lands in an area: centred with its aspect ratio kept,
// or the whole area. Empty for an empty source or area.
QRect DisplayTargetRect(const QSize& source, const QSize& area, bool keepAspectRatio);
// The shape of pixels pixels wide and high on a screen of square pixels, for pixels
// pixelAspect times as wide as high: widened above 1, made higher below. Ratios that are
// no number or beyond 16:1 either way count as square.
QSize DisplayShape(const QSize& pixels, double pixelAspect);
// The part of a frame to paint: the zoom's source rectangle within the frame, the whole
// frame for a null rectangle.
QRect DisplaySourceRect(const QRect& requested, const QSize& frame);

class TVideoDisplayWidget final : public QWidget, public IVideoDisplay {
    Q_OBJECT
public:
    explicit TVideoDisplayWidget(QWidget* parent = nullptr);

    void SetKeepAspectRatio(bool keep);
    bool KeepAspectRatio() const { return keepAspectRatio_; }
    // Drops the frame shown: the display paints black until the next frame.
    void ClearFrame();
    const QImage& Frame() const { return frame_; }
    const QRect& SourceRect() const { return sourceRect_; }
    // Where the frame's shown part lands in the display; empty while there is no frame.
    QRect PictureRect() const;

    // IVideoDisplay
    void ShowFrame(const QImage& frame) override;
    void SetPixelAspect(double aspect) override;
    double PixelAspect() const { return pixelAspect_; }
    void SetSourceRect(const QRect& source) override;
    uintptr_t NativeWindowHandle() override;
    QSize DisplaySize() const override;
    QSize ScreenSize() const override;
    bool SetHostFullScreen(bool fullScreen) override;
    void Repaint() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage frame_;
    QRect sourceRect_;
    double pixelAspect_ = 1.0;
    bool keepAspectRatio_ = true;
    QWidget* nativeChild_ = nullptr; // renderer mode 1 only
};

} // namespace kanvio
