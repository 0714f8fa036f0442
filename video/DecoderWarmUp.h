#pragma once

// Loading GStreamer's libav decoders (the plugin and the codec libraries behind it) is the
// largest single step before a film's first frame: about a tenth of a second of dynamic
// linking here. The player and the one-shot commands start it on a thread of its own while
// they go on with their windows, the delivery or the film's format, bounds and key frames;
// the pipeline then finds the decoders loaded. The destructor waits for the thread.

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
