#include "video/PlaybackPipeline.h"

#include "foundation/Errors.h"
#include "foundation/FilmUrl.h"
#include "foundation/Logging.h"
#include "video/HttpByteSource.h"
#include "video/LeanDecoders.h"

#include <algorithm>
#include <chrono>
#include <gst/app/gstappsink.h>
#include <gst/base/gstbasesink.h>
#include <gst/video/videooverlay.h>
#include <thread>
#include <vector>

namespace kanvio {

namespace {

bool PadCarriesVideo(GstPad* pad, bool raw) {
    TGstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return false;
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
    return raw ? g_str_equal(name, "video/x-raw") : g_str_has_prefix(name, "video/");
}

// Whether the decoder's entry can take what the parser offers. A parser that has not yet
// seen the stream offers a range of caps; the accept-caps query takes fixed caps only,
// so a range is checked against what the entry can take instead.
bool EntryTakes(GstPad* entry, GstCaps* offered) {
    if (offered == nullptr || gst_caps_is_empty(offered))
        return false;
    if (gst_caps_is_fixed(offered))
        return gst_pad_query_accept_caps(entry, offered);
    TGstCapsPtr takes(gst_pad_query_caps(entry, nullptr));
    return takes && gst_caps_can_intersect(offered, takes.get());
}

// The bin's children in reading order, source first; each with a reference of its own.
std::vector<TGstElementPtr> ChildrenSourceFirst(GstBin* bin) {
    std::vector<TGstElementPtr> children;
    GstIterator* it = gst_bin_iterate_sorted(bin);
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        children.emplace_back(GST_ELEMENT(g_value_dup_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    // Sorted iteration runs from the sinks upstream.
    std::reverse(children.begin(), children.end());
    return children;
}

std::string NameOf(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory ? GST_OBJECT_NAME(factory) : GST_OBJECT_NAME(element);
}

void CollectNames(GstBin* bin, std::string& out, int depth) {
    for (const TGstElementPtr& child : ChildrenSourceFirst(bin)) {
        if (!out.empty())
            out += ", ";
        out += NameOf(child.get());
        if (GST_IS_BIN(child.get()) && depth < 4) {
            std::string inner;
            CollectNames(GST_BIN(child.get()), inner, depth + 1);
            if (!inner.empty())
                out += " (" + inner + ")";
        }
    }
}

void ListNames(GstBin* bin, std::vector<std::string>& out, int depth) {
    for (const TGstElementPtr& child : ChildrenSourceFirst(bin)) {
        out.push_back(NameOf(child.get()));
        if (GST_IS_BIN(child.get()) && depth < 4)
            ListNames(GST_BIN(child.get()), out, depth + 1);
    }
}

} // namespace

TPlaybackPipeline::TPlaybackPipeline(const TPipelineRecipe& recipe,
                                     std::shared_ptr<TFrameSlot> frames, TPipelineEvents events)
    : recipe_(recipe), frames_(std::move(frames)), events_(std::move(events)) {
    EnsureGStreamer();
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("film"))));
    bus_.reset(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus_.get(), &TPlaybackPipeline::OnBusMessage, this, nullptr);
    try {
        BuildTail();
        switch (recipe_.Strategy) {
        case lsSystem:
            BuildSystem();
            break;
        case lsPredefined:
            BuildPredefined();
            break;
        case lsPriorities:
            BuildPriorities();
            break;
        }
    } catch (...) {
        gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
        throw;
    }
}

TPlaybackPipeline::~TPlaybackPipeline() {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
}

GstElement* TPlaybackPipeline::Make(const std::string& factory, const char* name) {
    GstElement* element = gst_element_factory_make(factory.c_str(), name);
    if (!element)
        throw EKanvioError(RedactedUrl(recipe_.FileName) + ": the video element \"" + factory +
                           "\" is not available");
    gst_bin_add(GST_BIN(pipeline_.get()), element);
    return element;
}

GstElement* TPlaybackPipeline::MakeSource(const std::string& fileFactory) {
    GstElement* source = Make(FilmSourceFactory(recipe_.FileName, fileFactory), "Source");
    SetFilmLocation(source, recipe_.FileName);
    if (IsWebFilm(recipe_.FileName)) {
        TGstPadPtr output(gst_element_get_static_pad(source, "src"));
        landing_.Attach(output.get());
    }
    return source;
}

void TPlaybackPipeline::LinkOrThrow(GstElement* from, GstElement* to) {
    if (!gst_element_link(from, to))
        throw EKanvioError(RedactedUrl(recipe_.FileName) + ": cannot connect " +
                           GST_OBJECT_NAME(from) + " to " + GST_OBJECT_NAME(to));
}

void TPlaybackPipeline::BuildTail() {
    tailEntry_ = Make("videoconvert", "convert");
    if (recipe_.NativeSinkFactory.empty()) {
        balance_ = Make("videobalance", "balance");
        GstElement* toBgrx = Make("videoconvert", "tobgrx");
        sink_ = Make("appsink", "frames");
        TGstCapsPtr caps(gst_caps_from_string("video/x-raw, format=(string)BGRx"));
        g_object_set(sink_, "caps", caps.get(), "max-buffers", 1u, "drop", TRUE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_preroll = [](GstAppSink* sink, gpointer self) {
            auto* me = static_cast<TPlaybackPipeline*>(self);
            TGstSamplePtr sample(gst_app_sink_pull_preroll(sink));
            if (sample && me->frames_ && me->frames_->Put(std::move(sample)) &&
                me->events_.FrameArrived)
                me->events_.FrameArrived();
            return GST_FLOW_OK;
        };
        callbacks.new_sample = [](GstAppSink* sink, gpointer self) {
            auto* me = static_cast<TPlaybackPipeline*>(self);
            TGstSamplePtr sample(gst_app_sink_pull_sample(sink));
            if (sample && me->frames_ && me->frames_->Put(std::move(sample)) &&
                me->events_.FrameArrived)
                me->events_.FrameArrived();
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink_), &callbacks, this, nullptr);
        LinkOrThrow(tailEntry_, balance_);
        LinkOrThrow(balance_, toBgrx);
        LinkOrThrow(toBgrx, sink_);
    } else {
        sink_ = Make(recipe_.NativeSinkFactory, "screen");
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink_), "force-aspect-ratio"))
            g_object_set(sink_, "force-aspect-ratio", TRUE, nullptr);
        if (recipe_.WindowHandle && GST_IS_VIDEO_OVERLAY(sink_))
            gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), recipe_.WindowHandle);
        LinkOrThrow(tailEntry_, sink_);
    }
    TGstPadPtr entry(gst_element_get_static_pad(tailEntry_, "sink"));
    gate_.Attach(entry.get());
}

void TPlaybackPipeline::BuildSystem() {
    GstElement* source = MakeSource("filesrc");
    GstElement* decodebin = Make("decodebin", "Decoder");
    LinkOrThrow(source, decodebin);
    if (recipe_.LeanDecoding)
        g_signal_connect(decodebin, "autoplug-select", G_CALLBACK(&SelectLeanDecoder), nullptr);
    g_signal_connect(decodebin, "pad-added",
                     G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer self) {
                         static_cast<TPlaybackPipeline*>(self)->OnDecodedPad(pad);
                     }),
                     this);
}

void TPlaybackPipeline::BuildPredefined() {
    GstElement* source = MakeSource(recipe_.SourceFactory);
    GstElement* splitting = source;
    if (!recipe_.SplitterFactory.empty()) {
        splitting = Make(recipe_.SplitterFactory, "Splitter");
        LinkOrThrow(source, splitting);
    }
    decoder_ = Make(recipe_.DecoderFactory, "Decoder");
    LinkOrThrow(decoder_, tailEntry_);
    g_signal_connect(splitting, "pad-added",
                     G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer self) {
                         static_cast<TPlaybackPipeline*>(self)->OnSplitPad(pad);
                     }),
                     this);
}

void TPlaybackPipeline::BuildPriorities() {
    GstElement* source = MakeSource("filesrc");
    GstElement* parser = Make("parsebin", "Splitter");
    LinkOrThrow(source, parser);
    decoder_ = Make(recipe_.DecoderFactory, "Decoder");
    LinkOrThrow(decoder_, tailEntry_);
    g_signal_connect(parser, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer self) {
                         static_cast<TPlaybackPipeline*>(self)->OnParsedPad(pad);
                     }),
                     this);
}

void TPlaybackPipeline::OnDecodedPad(GstPad* pad) {
    {
        std::lock_guard guard(linkLock_);
        if (!videoLinked_ && PadCarriesVideo(pad, true)) {
            TGstPadPtr entry(gst_element_get_static_pad(tailEntry_, "sink"));
            if (gst_pad_link(pad, entry.get()) == GST_PAD_LINK_OK) {
                videoLinked_ = true;
                return;
            }
        }
    }
    SinkUnusedPad(pad);
}

void TPlaybackPipeline::OnSplitPad(GstPad* pad) {
    {
        std::lock_guard guard(linkLock_);
        if (!videoLinked_ && PadCarriesVideo(pad, false)) {
            TGstPadPtr entry(gst_element_get_static_pad(decoder_, "sink"));
            if (gst_pad_link(pad, entry.get()) == GST_PAD_LINK_OK) {
                videoLinked_ = true;
                return;
            }
        }
    }
    SinkUnusedPad(pad);
}

void TPlaybackPipeline::OnParsedPad(GstPad* pad) {
    {
        std::lock_guard guard(linkLock_);
        if (!videoLinked_ && PadCarriesVideo(pad, false)) {
            TGstPadPtr entry(gst_element_get_static_pad(decoder_, "sink"));
            TGstCapsPtr caps(gst_pad_get_current_caps(pad));
            if (!caps)
                caps.reset(gst_pad_query_caps(pad, nullptr));
            // A decoder that cannot take the stream stays unlinked: the load then fails.
            if (EntryTakes(entry.get(), caps.get()) &&
                gst_pad_link(pad, entry.get()) == GST_PAD_LINK_OK) {
                videoLinked_ = true;
                return;
            }
        }
    }
    SinkUnusedPad(pad);
}

// Streams the film carries besides its picture (sound, a second video) are read and
// thrown away, so that they neither stall nor fail the pipeline.
void TPlaybackPipeline::SinkUnusedPad(GstPad* pad) {
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!sink)
        return;
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline_.get()), sink);
    TGstPadPtr input(gst_element_get_static_pad(sink, "sink"));
    gst_pad_link(pad, input.get());
    gst_element_sync_state_with_parent(sink);
}

GstBusSyncReply TPlaybackPipeline::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    auto* me = static_cast<TPlaybackPipeline*>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* raw = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &raw, &debug);
        TGErrorPtr error(raw);
        TGCharPtr details(debug);
        std::string text =
            RedactedUrl(me->recipe_.FileName) + ": " + (error ? error->message : "error");
        {
            std::lock_guard guard(me->errorLock_);
            me->lastError_ = text;
        }
        ++me->errorCount_;
        LogLine("MMEngine->Pipeline error: " + text, LOG_ERROR);
        break;
    }
    case GST_MESSAGE_EOS:
        if (me->events_.EndOfStream)
            me->events_.EndOfStream();
        break;
    default:
        break;
    }
    // Nobody reads the queue: every message is handled here, so none piles up. A dropped
    // message is the handler's to release; kept, it would hold its source (the pipeline
    // itself, for state changes) and with it the whole pipeline and its bus alive.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

std::string TPlaybackPipeline::LastError() const {
    std::lock_guard guard(errorLock_);
    return lastError_;
}

HResult TPlaybackPipeline::ChangeState(GstState target, int maxPolls) {
    const uint64_t errorsBefore = errorCount_.load();
    GstStateChangeReturn result = gst_element_set_state(pipeline_.get(), target);
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (result == GST_STATE_CHANGE_ASYNC) {
        for (int poll = 0; poll < maxPolls; ++poll) {
            result = gst_element_get_state(pipeline_.get(), &current, &pending, 10 * GST_MSECOND);
            if (result != GST_STATE_CHANGE_ASYNC || errorCount_.load() != errorsBefore)
                break;
        }
    } else if (result != GST_STATE_CHANGE_FAILURE) {
        gst_element_get_state(pipeline_.get(), &current, &pending, 0);
    }
    if (errorCount_.load() != errorsBefore || result == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    if (result == GST_STATE_CHANGE_ASYNC)
        return MM_S_IN_PROGRESS;
    if (current != target)
        return E_FAIL;
    if (target == GST_STATE_PLAYING)
        AwaitSinkLeavingPreroll();
    return S_OK;
}

// Told to play, a sink leaves its wait on the preroll frame only when its streaming thread
// next runs. A pause that comes in before then (a quick Play, Pause, or a busy machine)
// finds the sink still holding its preroll frame, so it counts as paused at once, and the
// woken thread renders on to the clock: the film plays on while everything reports it
// paused. Playing is therefore only reached once the sink has left that wait.
void TPlaybackPipeline::AwaitSinkLeavingPreroll() const {
    if (!GST_IS_BASE_SINK(sink_))
        return;
    GstBaseSink* sink = GST_BASE_SINK(sink_);
    // The streaming thread only needs to be scheduled; the bound keeps a stuck one from
    // hanging the window.
    for (int poll = 0; poll < 1000; ++poll) {
        GST_BASE_SINK_PREROLL_LOCK(sink);
        const bool stillWaiting = sink->have_preroll && !sink->need_preroll;
        GST_BASE_SINK_PREROLL_UNLOCK(sink);
        if (!stillWaiting)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    LogLine("MMEngine->Play: the video sink did not start", LOG_WARNING);
}

GstState TPlaybackPipeline::CurrentState() const {
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline_.get(), &current, &pending, 0);
    return pending != GST_STATE_VOID_PENDING ? pending : current;
}

bool TPlaybackPipeline::Seek(int64_t positionNs, double rate, bool exact, int64_t marginNs,
                             int64_t landAtByte) {
    positionNs = std::max<int64_t>(0, positionNs);
    int flags = GST_SEEK_FLAG_FLUSH;
    int64_t start = positionNs;
    if (exact) {
        flags |= GST_SEEK_FLAG_ACCURATE;
        start = std::max<int64_t>(0, positionNs - marginNs);
        gate_.Arm(positionNs);
    } else {
        flags |= GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE;
        gate_.Disarm();
    }
    landing_.Aim(landAtByte);
    const bool accepted =
        gst_element_seek(pipeline_.get(), rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(flags),
                         GST_SEEK_TYPE_SET, start, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    // The seek has reached the source by now, or went elsewhere: no later seek may land there.
    landing_.Disarm();
    if (!accepted)
        gate_.Disarm();
    return accepted;
}

bool TPlaybackPipeline::SeekToFindTheEnd(int64_t fromNs, double rate) {
    gate_.Arm(TFrameGate::kDropAll);
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    const bool accepted =
        gst_element_seek(pipeline_.get(), rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                         std::max<int64_t>(0, fromNs), GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (!accepted)
        gate_.Disarm();
    return accepted;
}

int64_t TPlaybackPipeline::PositionNs() const {
    gint64 position = -1;
    if (!gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position))
        return -1;
    return position;
}

int64_t TPlaybackPipeline::DurationNs() const {
    gint64 duration = -1;
    if (!gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration))
        return -1;
    return duration;
}

std::string TPlaybackPipeline::ElementNames() const {
    std::string names;
    CollectNames(GST_BIN(pipeline_.get()), names, 0);
    return names;
}

std::vector<std::string> TPlaybackPipeline::ElementNameList() const {
    std::vector<std::string> names;
    ListNames(GST_BIN(pipeline_.get()), names, 0);
    return names;
}

HResult TryMakeElement(const std::string& factory) {
    EnsureGStreamer();
    GstElement* made =
        factory.empty() ? nullptr : gst_element_factory_make(factory.c_str(), nullptr);
    const TGstElementPtr element(made ? GST_ELEMENT(gst_object_ref_sink(made)) : nullptr);
    return element ? S_OK : E_FAIL;
}

} // namespace kanvio
