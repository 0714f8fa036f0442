#pragma once

// Owning handles for GStreamer objects: every reference the engine takes is released by
// exactly one of these.

#include <gst/gst.h>
#include <memory>

namespace kanvio {

struct TGstObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            gst_object_unref(object);
    }
};
struct TGstCapsUnref {
    void operator()(GstCaps* caps) const {
        if (caps)
            gst_caps_unref(caps);
    }
};
struct TGstSampleUnref {
    void operator()(GstSample* sample) const {
        if (sample)
            gst_sample_unref(sample);
    }
};
struct TGstMessageUnref {
    void operator()(GstMessage* message) const {
        if (message)
            gst_message_unref(message);
    }
};
struct TGErrorFree {
    void operator()(GError* error) const {
        if (error)
            g_error_free(error);
    }
};
struct TGFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

using TGstElementPtr = std::unique_ptr<GstElement, TGstObjectUnref>;
using TGstBusPtr = std::unique_ptr<GstBus, TGstObjectUnref>;
using TGstPadPtr = std::unique_ptr<GstPad, TGstObjectUnref>;
using TGstPluginPtr = std::unique_ptr<GstPlugin, TGstObjectUnref>;
using TGstCapsPtr = std::unique_ptr<GstCaps, TGstCapsUnref>;
using TGstSamplePtr = std::unique_ptr<GstSample, TGstSampleUnref>;
using TGstMessagePtr = std::unique_ptr<GstMessage, TGstMessageUnref>;
using TGErrorPtr = std::unique_ptr<GError, TGErrorFree>;
using TGCharPtr = std::unique_ptr<gchar, TGFree>;

// gst_init once per process; safe from any thread.
void EnsureGStreamer();

} // namespace kanvio
