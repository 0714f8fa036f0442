#include "video/FrameGate.h"

#include "video/GstHandles.h"

#include <algorithm>

namespace kanvio {

namespace {

// A decoder decides whether to skip a frame by the frame handed to it before (in
// decoding order), which may show up to a group of B-frames earlier than the frame
// itself: frames this close before the target are always decoded.
constexpr int kDecodedFramesBeforeTarget = 12;
constexpr int64_t kDecodedTimeBeforeTarget = 500 * GST_MSECOND;

// The length of one frame by the caps on pad, 0 when they do not say.
int64_t FrameDurationOf(GstPad* pad) {
    TGstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps || gst_caps_is_empty(caps.get()))
        return 0;
    int numerator = 0, denominator = 0;
    if (!gst_structure_get_fraction(gst_caps_get_structure(caps.get(), 0), "framerate", &numerator,
                                    &denominator) ||
        numerator <= 0 || denominator <= 0)
        return 0;
    return static_cast<int64_t>(gst_util_uint64_scale_int(GST_SECOND, denominator, numerator));
}

} // namespace

void TFrameGate::Arm(int64_t targetNs) {
    std::lock_guard guard(lock_);
    phase_ = TPhase::WaitingForSegment;
    targetNs_ = targetNs;
    lastSeen_.store(-1);
    firstSeen_.store(-1);
    passed_.store(0);
    landedLate_.store(false);
    droppedSinceArm_ = 0;
}

void TFrameGate::Disarm() {
    std::lock_guard guard(lock_);
    phase_ = TPhase::Open;
}

bool TFrameGate::Armed() const {
    std::lock_guard guard(lock_);
    return phase_ != TPhase::Open;
}

uint64_t TFrameGate::DroppedSinceArm() const {
    std::lock_guard guard(lock_);
    return droppedSinceArm_;
}

void TFrameGate::Attach(GstPad* pad) {
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &TFrameGate::Probe, this, nullptr);
}

GstPadProbeReturn TFrameGate::Probe(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
    auto* gate = static_cast<TFrameGate*>(self);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER)
        return gate->OnBuffer(GST_PAD_PROBE_INFO_BUFFER(info));
    return gate->OnEvent(pad, info);
}

GstPadProbeReturn TFrameGate::OnEvent(GstPad* pad, GstPadProbeInfo* info) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS)
        endSeen_.store(true);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    std::unique_lock guard(lock_);
    if (phase_ == TPhase::Open)
        return GST_PAD_PROBE_OK;
    phase_ = TPhase::Dropping;
    const GstSegment* incoming = nullptr;
    gst_event_parse_segment(event, &incoming);
    if (incoming->format != GST_FORMAT_TIME || incoming->rate < 0 || targetNs_ == kDropAll ||
        static_cast<int64_t>(incoming->start) >= targetNs_)
        return GST_PAD_PROBE_OK;
    const int64_t target = targetNs_;
    // The frames before the target never reach the sink, so the segment starts there:
    // the first kept frame has running time 0 and plays at once.
    GstSegment seekSegment;
    gst_segment_copy_into(incoming, &seekSegment);
    GstSegment segment;
    gst_segment_copy_into(incoming, &segment);
    segment.time += static_cast<guint64>(targetNs_) - segment.start;
    segment.start = static_cast<guint64>(targetNs_);
    segment.position = segment.start;
    GstEvent* replacement = gst_event_new_segment(&segment);
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    guard.unlock();
    HintSkipping(pad, seekSegment, target);
    return GST_PAD_PROBE_OK;
}

// Tells the decoder upstream that frames before a point safely ahead of target come too
// late to be shown. The seek's segment (as the decoder has it) places that point.
void TFrameGate::HintSkipping(GstPad* pad, const GstSegment& seekSegment, int64_t target) {
    const int64_t frame = FrameDurationOf(pad);
    if (frame <= 0)
        return; // without a frame rate the safe distance is unknown
    const int64_t ahead = std::max(kDecodedTimeBeforeTarget, kDecodedFramesBeforeTarget * frame);
    const int64_t skipBefore = target - ahead;
    if (skipBefore <= static_cast<int64_t>(seekSegment.start))
        return;
    const GstClockTime running = gst_segment_to_running_time(&seekSegment, GST_FORMAT_TIME,
                                                             static_cast<guint64>(skipBefore));
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return;
    // The decoder keeps the hint whether or not the elements before it take the event on.
    gst_pad_push_event(pad, gst_event_new_qos(GST_QOS_TYPE_UNDERFLOW, 1.0, 0, running));
    ++skipHints_;
}

GstPadProbeReturn TFrameGate::OnBuffer(GstBuffer* buffer) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    {
        std::lock_guard guard(lock_);
        if (phase_ == TPhase::WaitingForSegment)
            return GST_PAD_PROBE_DROP; // still from before the seek
        if (GST_CLOCK_TIME_IS_VALID(pts) && static_cast<int64_t>(pts) > lastSeen_.load())
            lastSeen_.store(static_cast<int64_t>(pts));
        if (GST_CLOCK_TIME_IS_VALID(pts) && firstSeen_.load() < 0)
            firstSeen_.store(static_cast<int64_t>(pts));
        if (phase_ == TPhase::Dropping) {
            if (!GST_CLOCK_TIME_IS_VALID(pts) || targetNs_ == kDropAll)
                return GST_PAD_PROBE_DROP;
            const GstClockTime duration = GST_BUFFER_DURATION(buffer);
            const int64_t half = GST_CLOCK_TIME_IS_VALID(duration) ? duration / 2 : 0;
            if (static_cast<int64_t>(pts) + half < targetNs_) {
                ++droppedSinceArm_;
                return GST_PAD_PROBE_DROP;
            }
            landedLate_.store(droppedSinceArm_ == 0 &&
                              static_cast<int64_t>(pts) - half > targetNs_);
            phase_ = TPhase::Open;
        }
    }
    ++passed_;
    if (GST_CLOCK_TIME_IS_VALID(pts)) {
        int64_t none = -1;
        firstFrame_.compare_exchange_strong(none, static_cast<int64_t>(pts));
        lastFrame_.store(static_cast<int64_t>(pts));
    }
    return GST_PAD_PROBE_OK;
}

} // namespace kanvio
