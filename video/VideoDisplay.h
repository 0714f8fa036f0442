#pragma once

// The video display as the engine sees it: the window side implements this (the display
// widget), headless runs pass none. Called on the UI thread only.

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>

namespace kanvio {

class IVideoDisplay {
public:
    virtual ~IVideoDisplay() = default;
    // Renderer mode 0: the newest frame to paint.
    virtual void ShowFrame(const QImage& frame) = 0;
    // Renderer mode 0: the width of one pixel of the frames over its height, 1 for square
    // pixels. A film made for a 4:3 or 16:9 screen may count pixels of another shape.
    virtual void SetPixelAspect(double aspect) = 0;
    // The part of the frame to show (digital zoom); a null rectangle shows all of it.
    virtual void SetSourceRect(const QRect& source) = 0;
    // Renderer mode 1: a native window for the video sink to draw into; 0 when there is
    // none (no windowing system).
    virtual uintptr_t NativeWindowHandle() = 0;
    virtual QSize DisplaySize() const = 0;
    virtual QSize ScreenSize() const = 0;
    // Puts the window hosting the display into full screen or back; returns the state
    // reached.
    virtual bool SetHostFullScreen(bool fullScreen) = 0;
    virtual void Repaint() = 0;
};

// The settings of the player context the engine reads: the preferred strategy on every
// LoadMovieAuto.
class IEngineSettings {
public:
    virtual ~IEngineSettings() = default;
    virtual int32_t FilterStrategy() const = 0;
};

// Settings that never change, for headless runs and tests.
class TFixedEngineSettings final : public IEngineSettings {
public:
    explicit TFixedEngineSettings(int32_t strategy) : strategy_(strategy) {}
    int32_t FilterStrategy() const override { return strategy_; }
    void SetFilterStrategy(int32_t strategy) { strategy_ = strategy; }

private:
    int32_t strategy_;
};

} // namespace kanvio
