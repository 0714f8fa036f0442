#pragma once

// The key frames of a program or transport stream around one time, found without reading
// the film from its start: by bisection on time stamps over pieces read at chosen
// offsets. Meant for films on a web server, where every piece is a range request.

#include "video/KeyFrameIndex.h"
#include "video/KeyFrameIndexer.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kanvio {

struct TKeyFrameSearchOptions {
    int64_t ProbeBytes = 256 * 1024; // read at each step
    int MaxSteps = 48;
};

// What earlier searches on the same film learnt: for offsets read, the earliest picture time
// of the piece there. A later search starts between the nearest of them.
using TTimeSamples = std::map<int64_t, int64_t>;

// The key frames from the last one at or before targetNs (a picture time of the film) up
// to the target, with the film's bounds. Each step reads one piece at an offset estimated
// from the times at the ends of the byte range still in question (kept from shrinking too
// slowly), until the range is a few pieces long; then the pieces before it are read,
// twice as many each time, until a key frame at or before the target turns up. Null for
// other containers, unknown bounds, when stopped or when no key frame is found.
std::shared_ptr<const TKeyFrameIndex>
FindKeyFramesAround(IByteSource& source, const TFilmBounds& bounds, int64_t targetNs,
                    const std::atomic<bool>* stop = nullptr,
                    const TKeyFrameSearchOptions& options = {}, TTimeSamples* samples = nullptr);

// The key frames around each time asked for, for one web film: the pieces found are kept,
// and a time they already cover costs no request; the others start their search from what
// earlier ones learnt. The connection is kept for the thread that asks (the usual case);
// another thread gets one of its own.
class TWebKeyFrameFinder {
public:
    explicit TWebKeyFrameFinder(std::string url) : url_(std::move(url)) {}
    std::shared_ptr<const TKeyFrameIndex> Around(const TFilmBounds& bounds, int64_t targetNs,
                                                 const std::atomic<bool>* stop);

private:
    std::string url_;
    std::unique_ptr<IByteSource> source_;
    std::thread::id sourceThread_;
    TTimeSamples samples_;
    std::vector<std::shared_ptr<const TKeyFrameIndex>> found_;
};

} // namespace kanvio
