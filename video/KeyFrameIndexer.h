#pragma once

// Builds a film's key-frame index on a thread of its own while the film plays: at idle
// I/O priority and the lowest processor priority, so that it never slows playback or a
// seek on a slow medium; stopped when the film closes (the object goes). Finished
// indexes are kept for the session, keyed by file, size and modification time, so that
// a film loaded again has its index at once.
//
// The film's first and last picture times are read right away from the first and last
// megabyte of a program or transport stream (their demuxers estimate the duration from
// the stream's rate, which some films give wrongly); MP4 files know them exactly.

#include "video/KeyFrameIndex.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kanvio {

class TWebKeyFrameFinder;

struct TFilmBounds {
    int64_t FirstFrameNs = -1;
    int64_t LastFrameNs = -1;
    int64_t FrameDurationNs = 0;
    bool Known() const { return FirstFrameNs >= 0 && LastFrameNs >= FirstFrameNs; }
};

class TKeyFrameIndexer {
public:
    // wholeIndex false: only the bounds and the key frames around a time (NearbyIndex),
    // for one-shot commands that would not wait for the whole index.
    explicit TKeyFrameIndexer(std::string fileName, bool wholeIndex = true);
    ~TKeyFrameIndexer();
    TKeyFrameIndexer(const TKeyFrameIndexer&) = delete;
    TKeyFrameIndexer& operator=(const TKeyFrameIndexer&) = delete;

    // The finished index, or null while it is being built or when it failed.
    std::shared_ptr<const TKeyFrameIndex> Index() const;
    // The first and last picture times, from the index once it is there.
    TFilmBounds Bounds() const;
    // Whether the build has ended, and why it failed (empty when it did not).
    bool Finished() const { return finished_.load(); }
    std::string Error() const;
    // Until the index is there: the key frames around filmTimeNs (a picture time of the
    // film), from a scan of the bytes where that time lies in a program or transport
    // stream, found by the film's bounds and widened backwards until a key frame at or
    // before the time turns up. Null for other films or when none is found.
    std::shared_ptr<const TKeyFrameIndex> NearbyIndex(int64_t filmTimeNs) const;
    // Waits for the build to end (tests, benchmarks and one-shot commands).
    void Wait();

    // Forgets the indexes kept for the session.
    static void ForgetSession();

private:
    void Build();

    const std::string fileName_;
    std::string sessionKey_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex lock_;
    std::shared_ptr<const TKeyFrameIndex> index_;
    TFilmBounds bounds_;
    std::string error_;
    std::thread worker_;
    // A film on a web server: the key frames found so far, for the seeks to come.
    mutable std::mutex webLock_;
    mutable std::unique_ptr<TWebKeyFrameFinder> web_;
};

// The first and last picture times of a program or transport stream from its first and
// last megabytes; unknown bounds for other films or when nothing is found there.
TFilmBounds ReadStreamBounds(IByteSource& source);

} // namespace kanvio
