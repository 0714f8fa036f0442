#include "video/KeyFrameSearch.h"

#include "video/HttpByteSource.h"

#include <algorithm>

namespace kanvio {

namespace {

// The source as far as a limit: the scanners read in large blocks, which over a network
// would fetch far more than a step needs.
class TLimitedSource final : public IByteSource {
public:
    TLimitedSource(IByteSource& source, int64_t limit) : source_(source), limit_(limit) {}
    int64_t Size() const override { return source_.Size(); }
    size_t ReadAt(int64_t offset, uint8_t* into, size_t count) override {
        if (offset >= limit_)
            return 0;
        count =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), limit_ - offset));
        return source_.ReadAt(offset, into, count);
    }
    const std::string& Name() const override { return source_.Name(); }

private:
    IByteSource& source_;
    int64_t limit_;
};

// Scans [from, to), reading no further than a little past to (a packet begun there).
TKeyFrameIndex ScanPiece(IByteSource& source, TContainer container, int64_t from, int64_t to,
                         const std::atomic<bool>* stop) {
    constexpr int64_t kTail = 64 * 1024;
    TLimitedSource limited(source, std::min(source.Size(), to + kTail));
    TKeyFrameIndex piece;
    ScanStreamRange(limited, container, from, to, piece, stop);
    return piece;
}

} // namespace

std::shared_ptr<const TKeyFrameIndex>
FindKeyFramesAround(IByteSource& source, const TFilmBounds& bounds, int64_t targetNs,
                    const std::atomic<bool>* stop, const TKeyFrameSearchOptions& options,
                    TTimeSamples* samples) {
    if (!bounds.Known() || bounds.LastFrameNs == bounds.FirstFrameNs)
        return nullptr;
    const TContainer container = SniffContainer(source);
    if (container != TContainer::ProgramStream && container != TContainer::TransportStream)
        return nullptr;
    const int64_t size = source.Size();
    const int64_t probe = std::max<int64_t>(options.ProbeBytes, 4096);

    // lo: an offset whose pictures lie at or before the target; hi: one whose lie after.
    int64_t lo = 0, hi = size;
    int64_t loTime = bounds.FirstFrameNs, hiTime = bounds.LastFrameNs;
    if (samples) {
        for (const auto& [offset, time] : *samples) {
            if (time <= targetNs && offset > lo && offset < hi) {
                lo = offset;
                loTime = time;
            } else if (time > targetNs && offset < hi && offset > lo) {
                hi = offset;
                hiTime = time;
            }
        }
    }
    int movesOfOneEnd = 0; // steps in a row that moved the same end of the range
    bool lastMovedLo = false;
    for (int step = 0; step < options.MaxSteps && hi - lo > 2 * probe; ++step) {
        double share = 0.5;
        // Films of a steady rate put the estimate close to the target, which then lies
        // within a piece of it: the next step lands a piece beyond and closes the range.
        // Where the rate varies and one end keeps moving, halving bounds the steps.
        if (movesOfOneEnd < 2 && hiTime > loTime && targetNs >= loTime && targetNs <= hiTime)
            share = double(targetNs - loTime) / double(hiTime - loTime);
        const int64_t at =
            std::clamp(lo + static_cast<int64_t>(share * double(hi - lo)), lo + probe, hi - probe);
        const TKeyFrameIndex piece = ScanPiece(source, container, at, at + probe, stop);
        if (stop && *stop)
            return nullptr;
        if (samples && piece.FirstFrameNs >= 0)
            (*samples)[at] = piece.FirstFrameNs;
        const bool movesLo = piece.FirstFrameNs >= 0 && piece.FirstFrameNs <= targetNs;
        movesOfOneEnd = step > 0 && movesLo == lastMovedLo ? movesOfOneEnd + 1 : 1;
        lastMovedLo = movesLo;
        if (movesLo) {
            lo = at;
            loTime = piece.FirstFrameNs;
        } else if (piece.FirstFrameNs >= 0) {
            hi = at;
            hiTime = piece.FirstFrameNs;
        } else {
            hi = at; // no picture starts in the piece (a stretch of other streams)
        }
    }

    // The target's picture starts before hi + probe; its key frame at or before it, in the
    // pieces before, each read once and twice as long as the one after it.
    auto index = std::make_shared<TKeyFrameIndex>(
        ScanPiece(source, container, lo, std::min(size, hi + probe), stop));
    for (int64_t from = lo, length = probe;; length *= 2) {
        if (stop && *stop)
            return nullptr;
        if (!index->KeyFrames.empty() && index->KeyFrames.front().TimeNs <= targetNs)
            break;
        if (from == 0)
            return nullptr;
        const int64_t start = std::max<int64_t>(0, from - length);
        TKeyFrameIndex before = ScanPiece(source, container, start, from, stop);
        before.KeyFrames.insert(before.KeyFrames.end(), index->KeyFrames.begin(),
                                index->KeyFrames.end());
        index->KeyFrames = std::move(before.KeyFrames);
        if (index->FrameDurationNs == 0)
            index->FrameDurationNs = before.FrameDurationNs;
        from = start;
    }
    index->Container = container;
    index->FirstFrameNs = bounds.FirstFrameNs;
    if (index->FrameDurationNs == 0)
        index->FrameDurationNs = bounds.FrameDurationNs;
    return index;
}

std::shared_ptr<const TKeyFrameIndex> TWebKeyFrameFinder::Around(const TFilmBounds& bounds,
                                                                 int64_t targetNs,
                                                                 const std::atomic<bool>* stop) {
    // Pieces that reach from a key frame at or before the target to pictures past it hold
    // the answer already.
    for (const auto& piece : found_)
        if (!piece->KeyFrames.empty() && piece->KeyFrames.front().TimeNs <= targetNs &&
            piece->LastFrameNs >= targetNs)
            return piece;
    if (!source_ || sourceThread_ != std::this_thread::get_id()) {
        source_ = std::make_unique<THttpByteSource>(url_);
        sourceThread_ = std::this_thread::get_id();
    }
    auto found = FindKeyFramesAround(*source_, bounds, targetNs, stop, {}, &samples_);
    if (found) {
        constexpr size_t kKeptPieces = 64;
        if (found_.size() == kKeptPieces)
            found_.erase(found_.begin());
        found_.push_back(found);
    }
    return found;
}

} // namespace kanvio
