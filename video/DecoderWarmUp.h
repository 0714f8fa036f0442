#pragma once

// Loading GStreamer's libav decoders (the plugin and the codec libraries behind it) is the
// largest single step before a film's first frame: a quarter of a second here. A one-shot
// command starts it on a thread of its own and meanwhile reads the film's format, bounds
// and key frames; the pipeline then finds the decoders loaded. The destructor waits for
// the thread.

#include <thread>

namespace kanvio {

class TDecoderWarmUp {
public:
    TDecoderWarmUp();
    ~TDecoderWarmUp();
    TDecoderWarmUp(const TDecoderWarmUp&) = delete;
    TDecoderWarmUp& operator=(const TDecoderWarmUp&) = delete;

private:
    std::thread worker_;
};

} // namespace kanvio
