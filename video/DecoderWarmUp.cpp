#include "video/DecoderWarmUp.h"

#include "video/GstHandles.h"
#include "video/LibraryTree.h"
#include "video/StartupMarks.h"

#include <gst/gst.h>

namespace kanvio {

TDecoderWarmUp::TDecoderWarmUp()
    : worker_([] {
          EnsureGStreamer();
          MarkStartup("decoder thread: GStreamer started");
          // Absent where the libav plugin is not installed: the pipeline then plugs what
          // there is, as it would have anyway.
          GstPlugin* known = gst_registry_find_plugin(gst_registry_get(), "libav");
          if (!known)
              return;
          // Library by library, so that the windows, which load libraries and start threads
          // of their own meanwhile, never wait for the whole tree.
          if (const gchar* file = gst_plugin_get_filename(known))
              LoadLibraryTreeStepwise(file);
          GstPlugin* loaded = gst_plugin_load(known);
          if (loaded)
              gst_object_unref(loaded);
          gst_object_unref(known);
          MarkStartup("decoder thread: decoders loaded");
      }) {}

TDecoderWarmUp::~TDecoderWarmUp() {
    if (worker_.joinable())
        worker_.join();
}

} // namespace kanvio
