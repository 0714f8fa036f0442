#include "video/ByteLanding.h"

namespace kanvio {

TByteLanding::~TByteLanding() {
    if (pad_ && probe_)
        gst_pad_remove_probe(pad_, probe_);
    if (pad_)
        gst_object_unref(pad_);
}

void TByteLanding::Attach(GstPad* sourcePad) {
    pad_ = GST_PAD(gst_object_ref(sourcePad));
    probe_ = gst_pad_add_probe(pad_,
                               static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_UPSTREAM |
                                                            GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                               &TByteLanding::OnEvent, this, nullptr);
}

GstPadProbeReturn TByteLanding::OnEvent(GstPad*, GstPadProbeInfo* info, gpointer self) {
    auto* me = static_cast<TByteLanding*>(self);
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_SEEK:
        return me->RedirectSeek(info);
    case GST_EVENT_SEGMENT:
        return me->RestoreSegment(info);
    default:
        return GST_PAD_PROBE_OK;
    }
}

GstPadProbeReturn TByteLanding::RedirectSeek(GstPadProbeInfo* info) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    gdouble rate = 1.0;
    GstFormat format = GST_FORMAT_UNDEFINED;
    GstSeekFlags flags = GST_SEEK_FLAG_NONE;
    GstSeekType startType = GST_SEEK_TYPE_NONE, stopType = GST_SEEK_TYPE_NONE;
    gint64 start = 0, stop = 0;
    gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
    // Forward byte seeks from the start only: the demuxer's own way of asking for a time.
    if (format != GST_FORMAT_BYTES || startType != GST_SEEK_TYPE_SET || rate <= 0 || start < 0)
        return GST_PAD_PROBE_OK;
    const int64_t aim = aim_.exchange(-1);
    if (aim < 0 || aim == start) {
        landedAt_.store(-1); // an earlier redirection's segment is no longer to come
        return GST_PAD_PROBE_OK;
    }
    GstEvent* redirected = gst_event_new_seek(rate, format, flags, startType, aim, stopType, stop);
    gst_event_set_seqnum(redirected, gst_event_get_seqnum(event));
    askedFor_.store(start);
    landedAt_.store(aim);
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = redirected;
    return GST_PAD_PROBE_OK;
}

// The demuxer turns the byte segment back into times by the same average it asked with:
// given the offset it asked for, its segment starts at the time the player asked for.
GstPadProbeReturn TByteLanding::RestoreSegment(GstPadProbeInfo* info) {
    const int64_t landed = landedAt_.load();
    if (landed < 0)
        return GST_PAD_PROBE_OK;
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    if (segment->format != GST_FORMAT_BYTES || int64_t(segment->start) != landed)
        return GST_PAD_PROBE_OK;
    const int64_t asked = askedFor_.exchange(-1);
    landedAt_.store(-1);
    GstSegment restored;
    gst_segment_copy_into(segment, &restored);
    restored.start = guint64(asked);
    restored.time = guint64(asked);
    restored.position = guint64(asked);
    GstEvent* replacement = gst_event_new_segment(&restored);
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
}

} // namespace kanvio
