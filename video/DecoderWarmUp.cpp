#include "video/DecoderWarmUp.h"

#include "video/GstHandles.h"

#include <gst/gst.h>

namespace kanvio {

TDecoderWarmUp::TDecoderWarmUp()
    : worker_([] {
          EnsureGStreamer();
          // Absent where the libav plugin is not installed: the pipeline then plugs what
          // there is, as it would have anyway.
          GstPlugin* known = gst_registry_find_plugin(gst_registry_get(), "libav");
          if (!known)
              return;
          GstPlugin* loaded = gst_plugin_load(known);
          if (loaded)
              gst_object_unref(loaded);
          gst_object_unref(known);
      }) {}

TDecoderWarmUp::~TDecoderWarmUp() {
    if (worker_.joinable())
        worker_.join();
}

} // namespace kanvio
