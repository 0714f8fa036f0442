// TMMEngine's seeking: exact seeks start decoding at the last key frame at or before the
// frame asked for. The film's key-frame index says where that is; until it is built (and
// for films it cannot read) the margin before the target grows whenever a seek's first
// frame comes after the target, and the seek is tried again from further back.

#include "foundation/Logging.h"
#include "video/HttpByteSource.h"
#include "video/KeyFrameIndexer.h"
#include "video/MultimediaEngine.h"
#include "video/PlaybackPipeline.h"

#include <algorithm>

namespace kanvio {

namespace {

constexpr int64_t kMillisecond = 1000000;
// Tries before an exact seek decodes from the start of the film.
constexpr int kWideningTries = 4;

std::string Ms(int64_t ns) {
    return std::to_string(ns / kMillisecond) + " ms";
}

} // namespace

uint64_t TMMEngine::FramesDroppedBeforeTarget() const {
    return pipeline_ ? pipeline_->DroppedBeforeTargetCount() : 0;
}

int64_t TMMEngine::FilmStartNs() const {
    if (filmStartNs_ >= 0)
        return filmStartNs_;
    return pipeline_ ? std::max<int64_t>(0, pipeline_->FirstFrameNs()) : 0;
}

HResult TMMEngine::Seek(bool keyFrame, int64_t positionMs) {
    if (!pipeline_)
        return E_FAIL;
    // Far beyond any film, and far from overflowing once in nanoseconds.
    constexpr int64_t kLatestMs = int64_t{1} << 40;
    const int64_t first = FilmStartNs();
    int64_t target = first + std::clamp<int64_t>(positionMs, 0, kLatestMs) * kMillisecond;
    const bool playing = pipeline_->CurrentState() == GST_STATE_PLAYING;
    // Beyond the end the film stands at its last frame. The film's own time stamps say
    // where that is; a demuxer's duration is an estimate (a program stream's leaves its
    // last frame out, and a wrong rate in the stream makes it seconds short), so without
    // them an exact seek near or past that estimate first finds the last frame by
    // decoding the film's end.
    const TFilmBounds bounds = indexer_ ? indexer_->Bounds() : TFilmBounds{};
    const int64_t duration = pipeline_->DurationNs();
    if (bounds.Known()) {
        target = std::min(target, first + bounds.LastFrameNs - bounds.FirstFrameNs);
    } else if (duration > 0 && target >= first + duration) {
        int64_t last = -1;
        if (!keyFrame) {
            if (playing)
                pipeline_->ChangeState(GST_STATE_PAUSED); // the end must not play out now
            last = FindLastFrame(first + duration);
            if (!pipeline_)
                return E_FAIL;
        }
        target =
            last >= 0 ? std::min(target, last) : std::max(first, first + duration - kMillisecond);
    }
    HResult status = SeekPipeline(target, keyFrame);
    if (Succeeded(status) && playing && pipeline_->CurrentState() != GST_STATE_PLAYING)
        status = pipeline_->ChangeState(GST_STATE_PLAYING);
    return Succeeded(status) ? S_OK : status;
}

HResult TMMEngine::SeekPipeline(int64_t targetNs, bool keyFrame) {
    HResult status = E_FAIL;
    for (int attempt = 0; attempt < 2 && pipeline_; ++attempt) {
        status = keyFrame ? SeekOnce(targetNs, false, 0) : SeekExact(targetNs);
        if (Succeeded(status))
            break;
        // A seek the decoder cannot follow (past the last key frame) leaves the pipeline
        // broken although its state looks fine: build it again and try once more.
        status = E_FAIL;
        LogLine("MMEngine->Seek: Rebuilding after a failed seek: " + pipeline_->LastError(),
                LOG_WARNING);
        if (attempt == 0 && Failed(Rebuild()))
            break;
    }
    return status;
}

// One flushing seek and the wait for its frame: E_FAIL when the pipeline refused the seek
// or reported an error meanwhile.
HResult TMMEngine::SeekOnce(int64_t targetNs, bool exact, int64_t marginNs, int64_t landAtByte) {
    const uint64_t errorsBefore = pipeline_->ErrorCount();
    if (!pipeline_->Seek(targetNs, rate_, exact, marginNs, landAtByte))
        return E_FAIL;
    const HResult status = pipeline_->ChangeState(pipeline_->CurrentState());
    return pipeline_->ErrorCount() == errorsBefore ? status : E_FAIL;
}

HResult TMMEngine::SeekExact(int64_t targetNs) {
    const int64_t first = FilmStartNs();
    // Until the whole index is there, the key frames around the target.
    std::shared_ptr<const TKeyFrameIndex> index = CurrentIndex();
    const bool learnOnly = indexOverride_ && indexOverride_->Empty();
    if (!index && !learnOnly && indexer_) {
        const TFilmBounds bounds = indexer_->Bounds();
        if (bounds.Known())
            index = indexer_->NearbyIndex(targetNs - first + bounds.FirstFrameNs);
    }
    int64_t margin = FirstMarginNs(targetNs, index.get());
    for (int tries = 0;; ++tries) {
        HResult status =
            SeekOnce(targetNs, true, margin, LandingByte(targetNs, margin, index.get()));
        if (status == S_OK && !pipeline_->SeekMissedTarget()) {
            if (tries > 0 && !index)
                learnedMarginNs_ = std::max(learnedMarginNs_, margin);
            return status;
        }
        if (Succeeded(status) && status != S_OK)
            return status; // still under way: nothing to judge yet
        if (Failed(status)) {
            // A start the decoder cannot follow (after the film's last key frame) leaves
            // the pipeline broken although its state looks fine: build it again.
            LogLine("MMEngine->Seek: Rebuilding after a failed seek: " + pipeline_->LastError(),
                    LOG_WARNING);
            if (Failed(Rebuild()))
                return E_FAIL;
        } else {
            LearnLanding(targetNs - margin, index.get());
        }
        ++seekRetries_;
        const int64_t wider = std::max(FirstMarginNs(targetNs, index.get()),
                                       WiderMarginNs(targetNs, margin, index.get()));
        if (tries + 1 >= kWideningTries || wider <= margin || targetNs - wider <= first)
            return SeekFromFilmStart(targetNs);
        LogLine("MMEngine->Seek: the seek to " + Ms(targetNs - first) + " from " + Ms(margin) +
                    " before it began with the frame at " + Ms(pipeline_->FirstSeenNs() - first) +
                    "; decoding again from " + Ms(wider) + " before it",
                LOG_DEBUG);
        margin = wider;
    }
}

// Only a program stream's demuxer guesses the offset from its average rate, and starts
// cleanly at any pack.
int64_t TMMEngine::LandingByte(int64_t targetNs, int64_t marginNs,
                               const TKeyFrameIndex* index) const {
    if (!index || index->Container != TContainer::ProgramStream ||
        !IsWebFilm(pipeline_->Recipe().FileName))
        return -1;
    const int64_t filmTime = targetNs - FilmStartNs() + index->FirstFrameNs;
    const std::optional<TKeyFrame> key =
        index->AtOrBefore(filmTime - marginNs + IndexLeadNs(*index));
    return key ? key->ByteOffset : -1;
}

std::shared_ptr<const TKeyFrameIndex> TMMEngine::CurrentIndex() const {
    if (indexOverride_)
        return indexOverride_->Empty() ? nullptr : indexOverride_;
    std::shared_ptr<const TKeyFrameIndex> index = indexer_ ? indexer_->Index() : nullptr;
    return index && !index->Empty() ? index : nullptr;
}

// How far before a key frame's time a seek must ask to get that key frame decoded: a
// program stream's demuxer seeks by the pack clock, which runs behind the picture times
// by different amounts from pack to pack.
int64_t TMMEngine::IndexLeadNs(const TKeyFrameIndex& index) const {
    if (index.Container == TContainer::Mp4)
        return 0;
    return index.LargestClockLeadNs() + index.FrameDurationNs;
}

// The time to ask the demuxer for so that decoding starts at key, in film time. MP4's
// demuxer finds the key frame by its decoding time: asked for a later time, it starts
// there with a picture time of its own making instead of the key frame's.
int64_t TMMEngine::AskFor(const TKeyFrameIndex& index, const TKeyFrame& key) const {
    if (index.Container == TContainer::Mp4)
        return key.TimeNs - key.ClockLeadNs;
    int64_t ask = key.TimeNs - IndexLeadNs(index);
    if (landingBytesPerSecond_ > 0) {
        const double seconds = double(key.ByteOffset) / landingBytesPerSecond_;
        ask = std::min(ask, index.FirstFrameNs + static_cast<int64_t>(seconds * 1e9));
    }
    return ask;
}

// A seek asked for askedNs (pipeline time) and decoding began at a key frame after the
// target: the demuxer landed beyond the key frame before that one.
void TMMEngine::LearnLanding(int64_t askedNs, const TKeyFrameIndex* index) {
    const int64_t seen = pipeline_->FirstSeenNs();
    if (!index || index->Container != TContainer::ProgramStream || seen < 0)
        return;
    const int64_t first = FilmStartNs();
    const std::optional<TKeyFrame> landed = index->AtOrBefore(seen - first + index->FirstFrameNs);
    const std::optional<TKeyFrame> passed = landed ? index->Before(*landed) : std::nullopt;
    const double seconds = double(askedNs - first) / 1e9;
    if (!passed || seconds <= 0)
        return;
    const double rate = double(passed->ByteOffset) / seconds;
    landingBytesPerSecond_ = std::max(landingBytesPerSecond_, rate * 1.02);
}

int64_t TMMEngine::FirstMarginNs(int64_t targetNs, const TKeyFrameIndex* index) const {
    if (!index)
        return std::max(seekMarginNs_, learnedMarginNs_);
    const int64_t first = FilmStartNs();
    const int64_t filmTime = targetNs - first + index->FirstFrameNs;
    const TKeyFrame key = *index->AtOrBefore(filmTime);
    return std::max<int64_t>(0, filmTime - AskFor(*index, key));
}

// A seek that started marginNs before the target landed after it: start at the key frame
// before the one aimed at, or without an index twice as far back.
int64_t TMMEngine::WiderMarginNs(int64_t targetNs, int64_t marginNs,
                                 const TKeyFrameIndex* index) const {
    if (!index)
        return std::max<int64_t>(2 * marginNs, seekMarginNs_);
    const int64_t first = FilmStartNs();
    const int64_t filmTime = targetNs - first + index->FirstFrameNs;
    const int64_t lead = IndexLeadNs(*index);
    const TKeyFrame aimed = *index->AtOrBefore(filmTime - std::max<int64_t>(0, marginNs - lead));
    const std::optional<TKeyFrame> before = index->Before(aimed);
    if (!before)
        return 2 * marginNs + lead;
    return std::max(filmTime - AskFor(*index, *before), marginNs + lead);
}

// Some program streams make the demuxer guess the byte offset of a time badly: the seek
// lands seconds late, or on packets without time stamps, and the frame asked for never
// comes. The start of the file is always found, so decode from there up to the target:
// slower, but the frame shown is the right one.
HResult TMMEngine::SeekFromFilmStart(int64_t targetNs) {
    ++seeksFromFilmStart_;
    LogLine("MMEngine->Seek: the film's index missed " + std::to_string(targetNs / kMillisecond) +
                " ms; decoding from the start of the film",
            LOG_WARNING);
    if (!pipeline_->Seek(targetNs, rate_, true, targetNs))
        return E_FAIL;
    const HResult status = pipeline_->ChangeState(pipeline_->CurrentState());
    if (Succeeded(status) && status == S_OK && pipeline_->SeekMissedTarget())
        LogLine("MMEngine->Seek: no frame at " + std::to_string(targetNs / kMillisecond) + " ms",
                LOG_ERROR);
    return status;
}

int64_t TMMEngine::FindLastFrame(int64_t estimatedEndNs) {
    for (int attempt = 0; attempt < 2 && pipeline_; ++attempt) {
        const uint64_t errorsBefore = pipeline_->ErrorCount();
        // Decoding starts at the key frame before the start: start a margin early.
        const bool accepted = pipeline_->SeekToFindTheEnd(
            estimatedEndNs - std::max(seekMarginNs_, learnedMarginNs_), rate_);
        const HResult status = accepted ? pipeline_->ChangeState(GST_STATE_PAUSED) : E_FAIL;
        if (accepted && pipeline_->ErrorCount() == errorsBefore && Succeeded(status))
            return pipeline_->LastSeenNs();
        LogLine("MMEngine->Seek: Rebuilding after a failed seek: " + pipeline_->LastError(),
                LOG_WARNING);
        if (attempt == 0 && Failed(Rebuild()))
            break;
    }
    return -1;
}

} // namespace kanvio
