#pragma once

// The newest decoded frame of renderer mode 0. The appsink's streaming thread puts each
// frame here (the one before it is dropped); the UI thread takes it for painting and
// GrabPicture copies it. Frames are BGRx, wrapped without a copy.

#include "video/GstHandles.h"

#include <QImage>
#include <functional>
#include <mutex>

namespace kanvio {

class TFrameSlot {
public:
    // Called on the streaming thread to store a frame (the slot keeps a sample of its own
    // around the frame's buffer, never the sink's); true when the frame is the first since
    // the last Take (the UI needs one wake-up only: the newest frame wins).
    bool Put(TGstSamplePtr sample);
    // The newest frame as an image that keeps the sample alive while it is used; a null
    // image when no frame has come since the slot was cleared.
    QImage Image() const;
    // Marks the frame as seen by the UI; the next Put asks for a wake-up again.
    void MarkShown();
    void Clear();
    bool HasFrame() const;
    // The time stamp of the newest frame, or -1.
    int64_t FrameTime() const;
    // The width of one pixel of the newest frame over its height: above 1 for a film made
    // for a screen wider than its pixel count (352x288 at 16:9, say); 1 for square pixels
    // or without a frame.
    double PixelAspect() const;

private:
    mutable std::mutex lock_;
    TGstSamplePtr sample_;
    bool wakeUpPending_ = false;
};

// The GStreamer buffer of sample as an image of its caps' size, without copying; the
// image holds a reference until it and its copies are gone. Null for non-BGRx samples.
QImage ImageOfSample(GstSample* sample);

} // namespace kanvio
