#pragma once

// Loading GStreamer's libav decoders (the plugin and the codec libraries behind it) is the
// largest single step before a film's first frame: a tenth of a second of dynamic linking
// here. A warm-up starts it on a thread of its own while the caller goes on with other
// work; the pipeline then finds the decoders loaded. The destructor waits for the thread.
//
// The dynamic loader admits one library load at a time. A caller that loads libraries of
// its own meanwhile (the window toolkit its plugins) would wait for the whole decoder load
// at its first small one, so such a caller makes the warm-up with WhenReleased and calls
// Release once its own libraries are in: GStreamer still starts at once.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kanvio {

class TDecoderWarmUp {
public:
    enum class TStart { Now, WhenReleased };

    explicit TDecoderWarmUp(TStart start = TStart::Now);
    ~TDecoderWarmUp();
    TDecoderWarmUp(const TDecoderWarmUp&) = delete;
    TDecoderWarmUp& operator=(const TDecoderWarmUp&) = delete;

    // Lets the decoders load. Without it, a warm-up made WhenReleased loads nothing.
    void Release();

private:
    enum class TGate { Closed, Open, Cancelled };

    bool WaitForRelease();
    void SetGate(TGate gate);

    std::mutex lock_;
    std::condition_variable changed_;
    TGate gate_;
    std::thread worker_;
};

} // namespace kanvio
