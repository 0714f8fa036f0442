#include "video/DecoderWarmUp.h"

#include "video/GstHandles.h"
#include "video/StartupMarks.h"

#include <gst/gst.h>

namespace kanvio {

namespace {

void LoadLibavPlugin() {
    // Absent where the libav plugin is not installed: the pipeline then plugs what there
    // is, as it would have anyway.
    GstPlugin* known = gst_registry_find_plugin(gst_registry_get(), "libav");
    if (!known)
        return;
    GstPlugin* loaded = gst_plugin_load(known);
    if (loaded)
        gst_object_unref(loaded);
    gst_object_unref(known);
}

} // namespace

TDecoderWarmUp::TDecoderWarmUp(TStart start)
    : gate_(start == TStart::Now ? TGate::Open : TGate::Closed), worker_([this] {
          EnsureGStreamer();
          MarkStartup("decoder thread: GStreamer started");
          if (!WaitForRelease())
              return;
          LoadLibavPlugin();
          MarkStartup("decoder thread: decoders loaded");
      }) {}

TDecoderWarmUp::~TDecoderWarmUp() {
    SetGate(TGate::Cancelled);
    if (worker_.joinable())
        worker_.join();
}

void TDecoderWarmUp::Release() {
    SetGate(TGate::Open);
}

bool TDecoderWarmUp::WaitForRelease() {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return gate_ != TGate::Closed; });
    return gate_ == TGate::Open;
}

void TDecoderWarmUp::SetGate(TGate gate) {
    {
        const std::lock_guard guard(lock_);
        // Once open, the load has begun or will: nothing takes that back.
        if (gate_ != TGate::Closed)
            return;
        gate_ = gate;
    }
    changed_.notify_all();
}

} // namespace kanvio
