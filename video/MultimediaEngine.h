#pragma once

// TMMEngine: plays one inspection film at a time. It owns the film's GStreamer pipeline,
// loads films by the three decoder strategies, and offers play, pause, stop, exact
// seeking in milliseconds from the film's first frame, positions in 100 ns units, rate,
// digital zoom, full screen, frame grabbing and the four picture properties. Every step
// writes a "MMEngine->" log line.
//
// Threads: all operations run on the UI thread (the thread that made the engine). Frames
// and the end of stream arrive on GStreamer threads and are handed over as queued calls;
// OnComplete is raised on the UI thread.
//
// Settings: the engine reads IEngineSettings::FilterStrategy on every LoadMovieAuto. The
// display may be null (headless: frames are only kept for GrabPicture).

#include "video/FrameSlot.h"
#include "video/KeyFrameIndex.h"
#include "video/PictureAdjustment.h"
#include "video/VideoDisplay.h"
#include "video/VideoTypes.h"

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <optional>
#include <string>

namespace kanvio {

class IUserDialogs;
class TPlaybackPipeline;
class TUiThreadPoster;
class TKeyFrameIndexer;
struct TPipelineRecipe;

class TMMEngine {
public:
    TMMEngine(int32_t rendererMode, IVideoDisplay* display, const IEngineSettings& settings,
              IUserDialogs* dialogs = nullptr);
    ~TMMEngine();
    TMMEngine(const TMMEngine&) = delete;
    TMMEngine& operator=(const TMMEngine&) = delete;

    HResult LoadMovieAuto(const std::string& fileName, int32_t ignored = 0);
    HResult LoadMovie(const std::string& fileName, int32_t strategy);
    HResult PlayMovie();
    HResult PauseMovie();
    HResult StopMovie();
    HResult Seek(bool keyFrame, int64_t positionMs);
    HResult SeekTo(int64_t positionMs) { return Seek(false, positionMs); }
    int64_t GetCurrentPosition() const; // 100 ns units from the first frame
    // Whether the current pipeline's decoding ever ran to the film's end.
    bool FilmEndReached() const;
    void SetSpeed(double rate);
    void SetZoom(float factor) { SetZoom(factor, factor); }
    void SetZoom(float zoomX, float zoomY);
    bool ToggleFullScreen();
    HResult GrabPicture(QImage& bitmap);
    void GetIdealWindowSize(int32_t& width, int32_t& height) const;
    void Resize(int32_t width, int32_t height);
    void RepaintVideo();
    void Destroy();

    TMovieFormat MovieFormat() const { return movieFormat_; }
    const std::string& FileName() const { return fileName_; }
    int32_t VideoWidth() const { return videoWidth_; }
    int32_t VideoHeight() const { return videoHeight_; }
    bool FullScreen() const { return fullScreen_; }
    TRendererMode RendererMode() const { return rendererMode_; }
    // The strategy that loaded the current film, -1 before any success.
    int32_t LoadedStrategy() const { return loadedStrategy_; }
    // Factories of the elements of the current pipeline, e.g. "filesrc, decodebin (...)".
    std::string ElementNames() const;
    // The native sink of renderer mode 1 ("xvimagesink", "glimagesink", "ximagesink").
    const std::string& NativeSink() const { return nativeSink_; }

    // Decoder lists (the codec settings).
    void EnumDecoders(TFilterLists& lists) const;
    void SetPriorityLists(const TFilterLists& lists) { priorityLists_ = lists; }
    const TFilterLists& PriorityLists() const { return priorityLists_; }
    std::string DecoderErrorPrefix;
    std::string DecoderErrorText;

    // Picture properties.
    bool CanChangePicProp(int flag, float& min, float& max, float& step, float& def);
    void InitPictureControls();
    bool CanChangePictureProps();
    const TPictureControls& PictureControls() const { return pictureControls_; }
    int32_t GetBrightness() { return GetProperty(0); }
    int32_t GetContrast() { return GetProperty(1); }
    int32_t GetHue() { return GetProperty(2); }
    int32_t GetSaturation() { return GetProperty(3); }
    void SetBrightness(int32_t value) { SetProperty(0, value); }
    void SetContrast(int32_t value) { SetProperty(1, value); }
    void SetHue(int32_t value) { SetProperty(2, value); }
    void SetSaturation(int32_t value) { SetProperty(3, value); }
    int32_t ControlScale(int index) const { return controlScale_[index]; }

    // Raised on the UI thread at the end of the film.
    std::function<void()> OnComplete;

    // The pause after loading: the Part's play, wait, pause step lasts this long (500 ms);
    // 0 leaves the film paused on its first frame right away.
    void SetPlayPauseStepMs(int milliseconds) { playPauseStepMs_ = milliseconds; }
    // How far before an exact seek target the pipeline is positioned (decoding starts at
    // the key frame before it).
    void SetSeekMarginMs(int milliseconds) { seekMarginNs_ = int64_t{milliseconds} * 1000000; }
    // Exact seeks that missed their frame through the film's index and were decoded from
    // the start of the film instead (the slow way), since the engine was made.
    uint64_t SeeksDecodedFromFilmStart() const { return seeksFromFilmStart_; }
    // Exact seeks whose first frame came after the target, so that they were tried again
    // from further back, since the engine was made.
    uint64_t SeekRetries() const { return seekRetries_; }
    // Decoded frames before the target of the last exact seek that reached the video tail
    // and were dropped there; frames the decoder was let skip never get that far.
    uint64_t FramesDroppedBeforeTarget() const;
    // The current film's key-frame index builder (null without a film).
    TKeyFrameIndexer* Indexer() const { return indexer_.get(); }
    // Whether loading a film starts the build of its whole key-frame index (on by
    // default); one-shot commands leave it off and seek by the key frames around the target.
    void SetWholeIndexing(bool on) { wholeIndexing_ = on; }
    // Automatic plugging (strategy 0) takes the lean MPEG decoder over libav's, for a
    // one-shot command that would otherwise spend most of its time loading libav.
    void SetLeanDecoding(bool on) { leanDecoding_ = on; }
    // Seeks use this index instead of the one built for the film (null: the built one).
    void OverrideKeyFrameIndex(std::shared_ptr<const TKeyFrameIndex> index) {
        indexOverride_ = std::move(index);
    }

private:
    HResult LoadReader(const std::string& fileName, int32_t strategy);
    HResult LoadDecoder(int32_t strategy);
    HResult LoadDecoderPredefined();
    HResult LoadDecoderPriorities();
    HResult BuildGraph(int32_t strategy);
    HResult Rebuild();
    HResult SeekPipeline(int64_t targetNs, bool keyFrame);
    HResult SeekOnce(int64_t targetNs, bool exact, int64_t marginNs, int64_t landAtByte = -1);
    // For a web film: the pack of the key frame an exact seek marginNs before targetNs
    // reaches, -1 when the source may start where the demuxer says.
    int64_t LandingByte(int64_t targetNs, int64_t marginNs, const TKeyFrameIndex* index) const;
    HResult SeekExact(int64_t targetNs);
    int64_t FirstMarginNs(int64_t targetNs, const TKeyFrameIndex* index) const;
    int64_t WiderMarginNs(int64_t targetNs, int64_t marginNs, const TKeyFrameIndex* index) const;
    int64_t IndexLeadNs(const TKeyFrameIndex& index) const;
    int64_t AskFor(const TKeyFrameIndex& index, const TKeyFrame& key) const;
    void LearnLanding(int64_t askedNs, const TKeyFrameIndex* index);
    std::shared_ptr<const TKeyFrameIndex> CurrentIndex() const;
    int64_t FilmStartNs() const;
    HResult SeekFromFilmStart(int64_t targetNs);
    int64_t FindLastFrame(int64_t estimatedEndNs);
    HResult ChangeState(GstState target, const char* operation);
    void GetVideoSize();
    void TearDown();
    void ShowNewestFrame();
    void DeliverEndOfStream(uint64_t generation);
    void ApplyPictureValues();
    void RedrawStillFrame();
    // Stream time of the frame shown, -1 when unknown; needs a pipeline.
    int64_t ShownPositionNs() const;
    bool PropertyRange(int index, TScaledRange& range);
    int32_t GetProperty(int index);
    void SetProperty(int index, int32_t value);
    TPictureBackend& Picture();
    std::string ChooseNativeSink();

    TRendererMode rendererMode_ = rmVMR;
    IVideoDisplay* display_;
    const IEngineSettings& settings_;
    IUserDialogs* dialogs_;
    std::unique_ptr<TUiThreadPoster> poster_;
    std::shared_ptr<TFrameSlot> frames_;
    std::unique_ptr<TPlaybackPipeline> pipeline_;
    std::unique_ptr<TPictureBackend> picture_;
    uint64_t generation_ = 0;

    std::string fileName_;
    GstPlugin* filterLibrary_ = nullptr;
    std::string source_, splitter_, decoder_; // element factories of the current film
    std::string nativeSink_;
    TMovieFormat movieFormat_ = TMovieFormat::None;
    int32_t videoWidth_ = -1;
    int32_t videoHeight_ = -1;
    bool fullScreen_ = false;
    std::array<int32_t, 4> controlScale_{};
    TPictureControls pictureControls_;
    std::array<std::optional<float>, 4> pictureValues_; // set by the user, kept across films
    TFilterLists priorityLists_;
    double rate_ = 1.0;
    int32_t loadedStrategy_ = -1;
    int32_t buildStrategy_ = 0;
    int playPauseStepMs_ = 500;
    int64_t seekMarginNs_ = 1500 * int64_t{1000000};
    uint64_t seeksFromFilmStart_ = 0;
    uint64_t seekRetries_ = 0;
    // Until the index is there: the margin that brought the frame after a late landing.
    int64_t learnedMarginNs_ = 0;
    int64_t filmStartNs_ = -1; // the first frame's time stamp, -1 before it came
    // Program streams: the most bytes per second of asked time a seek has been seen to
    // land at (0: none seen late yet). A demuxer that takes a wrong rate from the stream
    // lands far beyond the time asked; this brings the next asks early enough.
    double landingBytesPerSecond_ = 0;
    std::unique_ptr<TKeyFrameIndexer> indexer_;
    bool wholeIndexing_ = true;
    bool leanDecoding_ = false;
    std::shared_ptr<const TKeyFrameIndex> indexOverride_;
    QRect sourceRect_;
};

} // namespace kanvio
