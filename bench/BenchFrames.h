#pragma once

// What the video benchmarks share: timing figures and frames that tell their own number,
// so a benchmark can say whether what it timed was the right frame.

#include "tools/mkproject/FrameCode.h"
#include "video/VideoDisplay.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <vector>

namespace kanvio::bench {

inline double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

// The number the generator wrote into the picture, or -1 when it cannot be read.
inline int FrameNumberOf(const QImage& picture) {
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    return generator::ReadFrameCode(pixels.constBits(), pixels.width(), pixels.height(),
                                    static_cast<int>(pixels.bytesPerLine()));
}

// Paints every frame into a window-sized picture, as the display widget does, and
// checks that the frames come in order.
class TPaintingDisplay final : public IVideoDisplay {
public:
    explicit TPaintingDisplay(QSize windowSize) : canvas_(windowSize, QImage::Format_RGB32) {}

    void ShowFrame(const QImage& frame) override {
        QPainter painter(&canvas_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(canvas_.rect(), frame);
        painter.end();
        const int number = FrameNumberOf(frame);
        if (number >= 0 && last_ >= 0 && number < last_)
            ++outOfOrder_;
        if (number >= 0)
            last_ = number;
        ++painted_;
    }
    void SetPixelAspect(double) override {}
    void SetSourceRect(const QRect&) override {}
    uintptr_t NativeWindowHandle() override { return 0; }
    QSize DisplaySize() const override { return canvas_.size(); }
    QSize ScreenSize() const override { return {1920, 1080}; }
    bool SetHostFullScreen(bool) override { return false; }
    void Repaint() override {}
    int Painted() const { return painted_; }
    int OutOfOrder() const { return outOfOrder_; }
    int Last() const { return last_; }

private:
    QImage canvas_;
    int painted_ = 0;
    int outOfOrder_ = 0;
    int last_ = -1;
};

} // namespace kanvio::bench
