#pragma once

// Exact frames after a seek. Demuxers land seeks early or late, so the engine seeks a
// margin before the wanted time and this gate, a probe in front of the video tail, drops
// the decoded frames before it and moves the segment's start to the wanted time (the
// first kept frame is then shown at once, without waiting out the margin). It also
// notes the time of the first frame the pipeline ever delivered.
//
// Frames well before the wanted one that no other frame refers to (B-frames) need not be
// decoded at all: once the seek's segment passes, the gate tells the decoder upstream,
// by a quality-of-service event, that everything before a point safely ahead of the
// wanted frame comes too late. Decoders then skip such frames (libav's decoders skip
// frames nothing refers to while they run late); reference frames are still decoded,
// and the wanted frame and everything after it never fall under the skip.
//
// The probe runs on the streaming thread; Arm and the readers run on the UI thread.

#include <atomic>
#include <cstdint>
#include <gst/gst.h>
#include <mutex>

namespace kanvio {

class TFrameGate {
public:
    // Frames before targetNs are dropped after the next segment; buffers still in flight
    // from before the seek are dropped until that segment arrives. kDropAll lets no frame
    // through: the seek only finds out which frames follow (see LastSeenTime).
    static constexpr int64_t kDropAll = INT64_MAX;
    void Arm(int64_t targetNs);
    void Disarm();
    bool Armed() const;

    // The time stamp of the first frame that passed since Attach, or -1.
    int64_t FirstFrameTime() const { return firstFrame_.load(); }
    // The time stamp of the last frame that passed, or -1.
    int64_t LastFrameTime() const { return lastFrame_.load(); }
    // Since the last Arm: the latest time stamp of the frames the seek brought, passed or
    // dropped (-1 for none), and how many of them passed.
    int64_t LastSeenTime() const { return lastSeen_.load(); }
    // Since the last Arm: the time stamp of the first frame the seek brought (its key
    // frame, where decoding started), passed or dropped; -1 for none.
    int64_t FirstSeenTime() const { return firstSeen_.load(); }
    uint64_t PassedSinceArm() const { return passed_.load(); }
    // Since the last Arm: the frames before the target that reached the gate and were
    // dropped there (those the decoder skipped or dropped itself never come).
    uint64_t DroppedSinceArm() const;
    // Since the last Arm: true when the first frame let through came after the target
    // with none before it, i.e. the demuxer landed the seek too late for the frame asked
    // for (the frame shown is a later one).
    bool LandedLate() const { return landedLate_.load(); }

    // Seeks whose frames before the target the decoder was told it may skip.
    uint64_t SkipHintsSent() const { return skipHints_.load(); }
    // Whether the end of the stream ever came through.
    bool EndSeen() const { return endSeen_.load(); }

    // Adds the probe to pad; the gate must outlive the pad's element.
    void Attach(GstPad* pad);

private:
    enum class TPhase { Open, WaitingForSegment, Dropping };
    static GstPadProbeReturn Probe(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    GstPadProbeReturn OnEvent(GstPad* pad, GstPadProbeInfo* info);
    GstPadProbeReturn OnBuffer(GstBuffer* buffer);
    void HintSkipping(GstPad* pad, const GstSegment& seekSegment, int64_t target);

    mutable std::mutex lock_;
    TPhase phase_ = TPhase::Open;
    int64_t targetNs_ = 0;
    std::atomic<int64_t> firstFrame_{-1};
    std::atomic<int64_t> lastFrame_{-1};
    std::atomic<int64_t> lastSeen_{-1};
    std::atomic<int64_t> firstSeen_{-1};
    std::atomic<uint64_t> passed_{0};
    std::atomic<bool> landedLate_{false};
    uint64_t droppedSinceArm_ = 0; // under lock_
    std::atomic<uint64_t> skipHints_{0};
    std::atomic<bool> endSeen_{false};
};

} // namespace kanvio
