#pragma once

// Where a pushing source starts reading after a seek. A demuxer fed by a source that can
// only push (a web film) turns a time into a byte offset by the average rate of what it
// has read so far: on a film whose rate varies that lands megabytes early (seconds of
// decoding thrown away) or late (the seek is tried again). When the pack that starts the
// wanted key frame is known, the source is sent there instead, and the demuxer is told the
// byte offset it asked for, so that the times it gives out are those it would have given.

#include <atomic>
#include <cstdint>
#include <gst/gst.h>

namespace kanvio {

class TByteLanding {
public:
    TByteLanding() = default;
    ~TByteLanding();
    TByteLanding(const TByteLanding&) = delete;
    TByteLanding& operator=(const TByteLanding&) = delete;

    // Watches the seeks that reach the source's output pad.
    void Attach(GstPad* sourcePad);
    // The next byte seek the source gets starts at byteOffset instead (-1: as asked).
    // Cleared by Disarm, which the seeking thread calls once its seek has been sent.
    void Aim(int64_t byteOffset) { aim_.store(byteOffset); }
    void Disarm() { aim_.store(-1); }

private:
    static GstPadProbeReturn OnEvent(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    GstPadProbeReturn RedirectSeek(GstPadProbeInfo* info);
    GstPadProbeReturn RestoreSegment(GstPadProbeInfo* info);

    GstPad* pad_ = nullptr;
    gulong probe_ = 0;
    std::atomic<int64_t> aim_{-1};
    // The last redirected seek: where the source went and where the demuxer asked to go.
    std::atomic<int64_t> landedAt_{-1};
    std::atomic<int64_t> askedFor_{-1};
};

} // namespace kanvio
