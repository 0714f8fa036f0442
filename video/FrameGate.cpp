#include "video/FrameGate.h"

namespace kanvio {

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

void TFrameGate::Attach(GstPad* pad) {
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &TFrameGate::Probe, this, nullptr);
}

GstPadProbeReturn TFrameGate::Probe(GstPad*, GstPadProbeInfo* info, gpointer self) {
    auto* gate = static_cast<TFrameGate*>(self);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER)
        return gate->OnBuffer(GST_PAD_PROBE_INFO_BUFFER(info));
    return gate->OnEvent(info);
}

GstPadProbeReturn TFrameGate::OnEvent(GstPadProbeInfo* info) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    std::lock_guard guard(lock_);
    if (phase_ == TPhase::Open)
        return GST_PAD_PROBE_OK;
    phase_ = TPhase::Dropping;
    const GstSegment* incoming = nullptr;
    gst_event_parse_segment(event, &incoming);
    if (incoming->format != GST_FORMAT_TIME || incoming->rate < 0 || targetNs_ == kDropAll ||
        static_cast<int64_t>(incoming->start) >= targetNs_)
        return GST_PAD_PROBE_OK;
    // The frames before the target never reach the sink, so the segment starts there:
    // the first kept frame has running time 0 and plays at once.
    GstSegment segment;
    gst_segment_copy_into(incoming, &segment);
    segment.time += static_cast<guint64>(targetNs_) - segment.start;
    segment.start = static_cast<guint64>(targetNs_);
    segment.position = segment.start;
    GstEvent* replacement = gst_event_new_segment(&segment);
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
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
