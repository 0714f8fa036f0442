#pragma once

// The key frames of a program or transport stream around one time, found without reading
// the film from its start: by bisection on time stamps over pieces read at chosen
// offsets. Meant for films on a web server, where every piece is a range request.

#include "video/KeyFrameIndex.h"
#include "video/KeyFrameIndexer.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace kanvio {

struct TKeyFrameSearchOptions {
    int64_t ProbeBytes = 256 * 1024; // read at each step
    int MaxSteps = 48;
};

// The key frames from the last one at or before targetNs (a picture time of the film) up
// to the target, with the film's bounds. Each step reads one piece at an offset estimated
// from the times at the ends of the byte range still in question (kept from shrinking too
// slowly), until the range is a few pieces long; then the pieces before it are read,
// twice as many each time, until a key frame at or before the target turns up. Null for
// other containers, unknown bounds, when stopped or when no key frame is found.
std::shared_ptr<const TKeyFrameIndex>
FindKeyFramesAround(IByteSource& source, const TFilmBounds& bounds, int64_t targetNs,
                    const std::atomic<bool>* stop = nullptr,
                    const TKeyFrameSearchOptions& options = {});

} // namespace kanvio
