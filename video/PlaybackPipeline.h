#pragma once

// One film's GStreamer pipeline: the reading and decoding part chosen by the load
// strategy, then the video tail (picture adjustment and the frame sink of renderer mode
// 0, or a native video sink of mode 1). It owns every element and its bus handler; the
// destructor sets it to NULL (which joins the streaming threads) before anything goes.

#include "video/ByteLanding.h"
#include "video/FrameGate.h"
#include "video/FrameSlot.h"
#include "video/GstHandles.h"
#include "video/VideoTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kanvio {

struct TPipelineRecipe {
    std::string FileName;
    TLoadStrategy Strategy = lsSystem;
    // Element factories. Strategy 0 uses none (automatic plugging); strategy 1 names the
    // filter files' source, splitter (may be empty) and decoder; strategy 2 names the
    // decoder and reads the file with the system's automatic demultiplexing.
    std::string SourceFactory;
    std::string SplitterFactory;
    std::string DecoderFactory;
    // Empty: frames go to the frame slot (mode 0); else the native sink's factory.
    std::string NativeSinkFactory;
    uintptr_t WindowHandle = 0;
    // Strategy 0 plugs the lean decoders where they take the stream (LeanDecoders.h).
    bool LeanDecoding = false;
};

// Called on a streaming thread: no Qt object may be touched there.
struct TPipelineEvents {
    std::function<void()> EndOfStream;
    std::function<void()> FrameArrived;
};

class TPlaybackPipeline {
public:
    // Builds the elements and links what is static; throws EKanvioError naming the file
    // when an element cannot be made.
    TPlaybackPipeline(const TPipelineRecipe& recipe, std::shared_ptr<TFrameSlot> frames,
                      TPipelineEvents events);
    ~TPlaybackPipeline();
    TPlaybackPipeline(const TPlaybackPipeline&) = delete;
    TPlaybackPipeline& operator=(const TPlaybackPipeline&) = delete;

    const TPipelineRecipe& Recipe() const { return recipe_; }

    // Sets the state and waits as the engine does: 10 ms polls, at most maxPolls.
    // S_OK when the state was reached, 1 when it is still under way, E_FAIL when the
    // change failed or the pipeline reported an error meanwhile.
    HResult ChangeState(GstState target, int maxPolls = 200);
    // The current state, or the pending one while a change is under way.
    GstState CurrentState() const;

    // Flushing seek to the stream time positionNs at rate. exact: accurate, frames
    // before the position are dropped (the seek starts marginNs earlier); otherwise a
    // key-unit seek. landAtByte >= 0: the pack that starts the key frame the seek aims at,
    // where a web film's source starts reading (see TByteLanding). Returns whether the
    // pipeline accepted it.
    bool Seek(int64_t positionNs, double rate, bool exact, int64_t marginNs,
              int64_t landAtByte = -1);
    // Flushing seek to fromNs that lets no frame through: once the pipeline has settled,
    // LastSeenNs is the time of the film's last frame (when fromNs lay before it).
    bool SeekToFindTheEnd(int64_t fromNs, double rate);
    // After an exact seek has settled: no frame came, or only frames after the target.
    bool SeekMissedTarget() const { return gate_.PassedSinceArm() == 0 || gate_.LandedLate(); }
    // Since the last exact seek: the latest time stamp among the frames the seek brought
    // (-1 for none).
    int64_t LastSeenNs() const { return gate_.LastSeenTime(); }
    // Since the last exact seek: the time stamp of the first frame it brought, -1 for none.
    int64_t FirstSeenNs() const { return gate_.FirstSeenTime(); }
    // Since the last exact seek: decoded frames before the target that reached the tail.
    uint64_t DroppedBeforeTargetCount() const { return gate_.DroppedSinceArm(); }

    int64_t PositionNs() const; // stream time of the frame shown, or -1
    int64_t DurationNs() const; // -1 when unknown
    int64_t FirstFrameNs() const { return gate_.FirstFrameTime(); }
    // Whether decoding ever ran to the film's end in this pipeline.
    bool EndReached() const { return gate_.EndSeen(); }

    // Errors the bus reported since the pipeline was made; each has a running number.
    uint64_t ErrorCount() const { return errorCount_.load(); }
    std::string LastError() const;

    // The videobalance element of mode 0, the native sink of mode 1 (not owned).
    GstElement* PictureElement() const { return balance_; }
    GstElement* VideoSink() const { return sink_; }
    // Whether a decoded video stream reached the tail.
    bool VideoLinked() const { return videoLinked_.load(); }
    // Names of the elements in the pipeline, top level and inside its bins.
    std::string ElementNames() const;
    // The same names one by one, source first, each bin before what it holds.
    std::vector<std::string> ElementNameList() const;

private:
    void BuildTail();
    void BuildSystem();
    void BuildPredefined();
    void BuildPriorities();
    GstElement* Make(const std::string& factory, const char* name);
    // The film's source element; a web film's with its seeks watched by landing_.
    GstElement* MakeSource(const std::string& fileFactory);
    void LinkOrThrow(GstElement* from, GstElement* to);
    void OnDecodedPad(GstPad* pad);
    void OnParsedPad(GstPad* pad);
    void OnSplitPad(GstPad* pad);
    void SinkUnusedPad(GstPad* pad);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void AwaitSinkLeavingPreroll() const;

    TPipelineRecipe recipe_;
    std::shared_ptr<TFrameSlot> frames_;
    TPipelineEvents events_;
    TGstElementPtr pipeline_;
    TGstBusPtr bus_;
    GstElement* tailEntry_ = nullptr; // first element of the video tail
    GstElement* balance_ = nullptr;
    GstElement* sink_ = nullptr;
    GstElement* decoder_ = nullptr; // strategies 1 and 2
    TFrameGate gate_;
    TByteLanding landing_;
    std::atomic<bool> videoLinked_{false};
    std::atomic<uint64_t> errorCount_{0};
    mutable std::mutex errorLock_;
    std::string lastError_;
    std::mutex linkLock_;
};

// Whether an element of the factory can be made: S_OK, or E_FAIL for a name nobody
// provides or an element that refuses to be created.
HResult TryMakeElement(const std::string& factory);

} // namespace kanvio
