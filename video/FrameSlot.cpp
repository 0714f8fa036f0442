#include "video/FrameSlot.h"

#include <gst/video/video.h>

namespace kanvio {

namespace {

struct TMappedFrame {
    GstSample* sample;
    GstVideoFrame frame;
};

void ReleaseMappedFrame(void* info) {
    auto* mapped = static_cast<TMappedFrame*>(info);
    gst_video_frame_unmap(&mapped->frame);
    gst_sample_unref(mapped->sample);
    delete mapped;
}

} // namespace

QImage ImageOfSample(GstSample* sample) {
    if (!sample)
        return {};
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
        return {};
    auto* mapped = new TMappedFrame{gst_sample_ref(sample), {}};
    if (!gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ)) {
        gst_sample_unref(mapped->sample);
        delete mapped;
        return {};
    }
    const auto* pixels = static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0));
    return QImage(pixels, GST_VIDEO_FRAME_WIDTH(&mapped->frame),
                  GST_VIDEO_FRAME_HEIGHT(&mapped->frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32,
                  &ReleaseMappedFrame, mapped);
}

bool TFrameSlot::Put(TGstSamplePtr sample) {
    // The appsink hands out one sample object again and again and changes its caps and
    // segment in place when they change; a reference kept here would make that sample
    // shared, and the sink's change fails. The slot keeps a sample of its own around the
    // same buffer instead.
    TGstSamplePtr own;
    if (sample) {
        own.reset(gst_sample_new(gst_sample_get_buffer(sample.get()),
                                 gst_sample_get_caps(sample.get()),
                                 gst_sample_get_segment(sample.get()), nullptr));
        sample.reset();
    }
    TGstSamplePtr previous;
    std::lock_guard guard(lock_);
    previous = std::move(sample_); // released after the lock, outside the critical path
    sample_ = std::move(own);
    const bool wakeUp = !wakeUpPending_;
    wakeUpPending_ = true;
    return wakeUp;
}

QImage TFrameSlot::Image() const {
    std::lock_guard guard(lock_);
    return ImageOfSample(sample_.get());
}

void TFrameSlot::MarkShown() {
    std::lock_guard guard(lock_);
    wakeUpPending_ = false;
}

void TFrameSlot::Clear() {
    TGstSamplePtr previous;
    std::lock_guard guard(lock_);
    previous = std::move(sample_);
    wakeUpPending_ = false;
}

bool TFrameSlot::HasFrame() const {
    std::lock_guard guard(lock_);
    return sample_ != nullptr;
}

} // namespace kanvio

namespace kanvio {

double TFrameSlot::PixelAspect() const {
    std::lock_guard guard(lock_);
    GstCaps* caps = sample_ ? gst_sample_get_caps(sample_.get()) : nullptr;
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_PAR_N(&info) <= 0 ||
        GST_VIDEO_INFO_PAR_D(&info) <= 0)
        return 1.0;
    return double(GST_VIDEO_INFO_PAR_N(&info)) / GST_VIDEO_INFO_PAR_D(&info);
}

int64_t TFrameSlot::FrameTime() const {
    std::lock_guard guard(lock_);
    GstBuffer* buffer = sample_ ? gst_sample_get_buffer(sample_.get()) : nullptr;
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer))
        return -1;
    return static_cast<int64_t>(GST_BUFFER_PTS(buffer));
}

} // namespace kanvio
