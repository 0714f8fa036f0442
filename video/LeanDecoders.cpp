#include "video/LeanDecoders.h"

#include "video/GstHandles.h"

#include <cstring>

namespace kanvio {

namespace {

constexpr const char* kMpegVideoDecoder = "mpeg2dec";

// decodebin's GstAutoplugSelectResult, which no public header declares.
enum : int { kAutoplugTry = 0, kAutoplugSkip = 2 };

bool Installed(const char* factoryName) {
    EnsureGStreamer();
    GstElementFactory* factory = gst_element_factory_find(factoryName);
    if (factory == nullptr)
        return false;
    gst_object_unref(factory);
    return true;
}

bool FromLibav(GstElementFactory* factory) {
    const gchar* plugin = gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(factory));
    return plugin != nullptr && std::strcmp(plugin, "libav") == 0;
}

} // namespace

const char* LeanDecoderFor(const GstCaps* caps) {
    if (caps == nullptr || gst_caps_get_size(caps) != 1)
        return nullptr;
    const GstStructure* type = gst_caps_get_structure(caps, 0);
    if (!gst_structure_has_name(type, "video/mpeg"))
        return nullptr;
    gboolean systemStream = FALSE;
    if (gst_structure_get_boolean(type, "systemstream", &systemStream) && systemStream)
        return nullptr;
    int version = 0;
    if (!gst_structure_get_int(type, "mpegversion", &version) || (version != 1 && version != 2))
        return nullptr;
    return kMpegVideoDecoder;
}

bool LeanDecoderCovers(TMovieFormat format) {
    return (format == TMovieFormat::MPEG1 || format == TMovieFormat::MPEG2) &&
           Installed(kMpegVideoDecoder);
}

int SelectLeanDecoder(GstElement*, GstPad*, GstCaps* caps, GstElementFactory* factory, gpointer) {
    if (!FromLibav(factory) ||
        !gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER))
        return kAutoplugTry;
    const char* lean = LeanDecoderFor(caps);
    return lean != nullptr && Installed(lean) ? kAutoplugSkip : kAutoplugTry;
}

} // namespace kanvio
