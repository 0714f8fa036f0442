/* The program's own filter files. Each file is a GStreamer plugin named like the file up
 * to its first dot; its elements are bins of fixed GStreamer elements, registered with
 * rank NONE so that automatic plugging never picks them. One source file makes all five
 * plugins: FILTER_PLUGIN_NAME selects the element table below.
 *
 * Element kinds:
 *   source    a file reader (filesrc) with a "location" property and one src pad
 *   splitter  typefind, then the demuxer that matches the stream; every video stream of
 *             the demuxer appears as a sometimes pad "video_%u". With a "location" the
 *             bin reads the file itself (source and splitter in one).
 *   decoder   parser and decoder chosen by the caps that arrive on the sink pad. */

#include <gst/gst.h>
#include <string.h>

#define KANVIO_FILTER_VERSION "1.0"
#define KANVIO_FILTER_PACKAGE "kanvio"
#define KANVIO_FILTER_ORIGIN "https://kanvio.invalid/"

typedef enum { KIND_SOURCE, KIND_SPLITTER, KIND_SOURCE_SPLITTER, KIND_DECODER } ElementKind;

typedef struct {
    const char *caps_name; /* media type the route takes */
    int mpeg_version;      /* 0: any */
    const char *first;     /* demuxer, or parser of a decoder */
    const char *second;    /* decoder; NULL for splitters */
} Route;

typedef struct {
    const char *element_name;
    const char *type_name;
    const char *long_name;
    const char *klass;
    ElementKind kind;
    const char *sink_caps;
    const Route *routes;
} ElementDesc;

static const Route mpeg1_splitter_routes[] G_GNUC_UNUSED = {
    {"video/mpeg", 1, "mpegpsdemux", NULL},
    {NULL, 0, NULL, NULL}};
static const Route mpeg2_splitter_routes[] G_GNUC_UNUSED = {
    {"video/mpeg", 0, "mpegpsdemux", NULL},
    {"video/mpegts", 0, "tsdemux", NULL},
    {NULL, 0, NULL, NULL}};
static const Route mp4_splitter_routes[] G_GNUC_UNUSED = {
    {"video/quicktime", 0, "qtdemux", NULL},
    {NULL, 0, NULL, NULL}};
static const Route mpeg1_decoder_routes[] G_GNUC_UNUSED = {
    {"video/mpeg", 1, "mpegvideoparse", "avdec_mpegvideo"},
    {NULL, 0, NULL, NULL}};
static const Route mpeg2_decoder_routes[] G_GNUC_UNUSED = {
    {"video/mpeg", 1, "mpegvideoparse", "avdec_mpeg2video"},
    {"video/mpeg", 2, "mpegvideoparse", "avdec_mpeg2video"},
    {NULL, 0, NULL, NULL}};
static const Route mpeg4_decoder_routes[] G_GNUC_UNUSED = {
    {"video/mpeg", 4, "mpeg4videoparse", "avdec_mpeg4"},
    {"video/x-h264", 0, "h264parse", "avdec_h264"},
    {NULL, 0, NULL, NULL}};

#define MPEG12_VIDEO_CAPS "video/mpeg, mpegversion=(int){1,2}, systemstream=(boolean)false"
#define SYSTEM_CAPS "video/mpeg, systemstream=(boolean)true; video/mpegts"

#if defined(FILTER_PLUGIN_quartz)
#define FILTER_PLUGIN_NAME quartz
#define FILTER_PLUGIN_TEXT "File source, MPEG-1 splitter and MPEG-1 video decoder"
static const ElementDesc elements[] = {
    {"quartzfilesource", "KanvioQuartzFileSource", "File Source (Async.)", "Source/File",
     KIND_SOURCE, NULL, NULL},
    {"quartzmpeg1splitter", "KanvioQuartzMpeg1Splitter", "MPEG-1 Stream Splitter",
     "Codec/Demuxer", KIND_SPLITTER, "video/mpeg, systemstream=(boolean)true",
     mpeg1_splitter_routes},
    {"quartzmpegvideodecoder", "KanvioQuartzMpegVideoDecoder", "MPEG Video decoder",
     "Codec/Decoder/Video", KIND_DECODER, MPEG12_VIDEO_CAPS, mpeg1_decoder_routes},
    {NULL, NULL, NULL, NULL, 0, NULL, NULL}};
#elif defined(FILTER_PLUGIN_mpg2splt)
#define FILTER_PLUGIN_NAME mpg2splt
#define FILTER_PLUGIN_TEXT "MPEG-2 demultiplexer"
static const ElementDesc elements[] = {
    {"mpg2spltdemux", "KanvioMpg2spltDemux", "MPEG-2 Demultiplexer", "Codec/Demuxer",
     KIND_SPLITTER, SYSTEM_CAPS, mpeg2_splitter_routes},
    {NULL, NULL, NULL, NULL, 0, NULL, NULL}};
#elif defined(FILTER_PLUGIN_mcdsmpeg)
#define FILTER_PLUGIN_NAME mcdsmpeg
#define FILTER_PLUGIN_TEXT "MPEG-2 video decoder"
static const ElementDesc elements[] = {
    {"mcdsmpegdecoder", "KanvioMcdsmpegDecoder", "Main Concept decoder", "Codec/Decoder/Video",
     KIND_DECODER, MPEG12_VIDEO_CAPS, mpeg2_decoder_routes},
    {NULL, NULL, NULL, NULL, 0, NULL, NULL}};
#elif defined(FILTER_PLUGIN_mp4splitter)
#define FILTER_PLUGIN_NAME mp4splitter
#define FILTER_PLUGIN_TEXT "MPEG-4 source and splitter"
static const ElementDesc elements[] = {
    {"mp4splittersource", "KanvioMp4splitterSource", "MPEG-4 Source and Splitter",
     "Source/File/Demuxer", KIND_SOURCE_SPLITTER, NULL, mp4_splitter_routes},
    {NULL, NULL, NULL, NULL, 0, NULL, NULL}};
#elif defined(FILTER_PLUGIN_ffdshow)
#define FILTER_PLUGIN_NAME ffdshow
#define FILTER_PLUGIN_TEXT "MPEG-4 Part 2 and H.264 video decoder"
static const ElementDesc elements[] = {
    {"ffdshowdecoder", "KanvioFfdshowDecoder", "ffDShow decoder", "Codec/Decoder/Video",
     KIND_DECODER, "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false; video/x-h264",
     mpeg4_decoder_routes},
    {NULL, NULL, NULL, NULL, 0, NULL, NULL}};
#else
#error "FILTER_PLUGIN_<name> must name the filter file to build"
#endif

/* ---- the bin shared by all kinds ---- */

typedef struct {
    GstBin parent;
    const ElementDesc *desc;
    GstElement *filesrc;  /* source kinds */
    GstElement *typefind; /* splitter kinds */
    GstElement *entry;    /* decoder: identity in front of the chosen chain */
    GstPad *src_ghost;    /* source and decoder kinds */
    gboolean chain_built;
    guint video_pads;
} FilterBin;

typedef struct {
    GstBinClass parent_class;
    const ElementDesc *desc;
} FilterBinClass;

enum { PROP_0, PROP_LOCATION };

static GstStaticPadTemplate any_src = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                              GST_STATIC_CAPS_ANY);
static GstStaticPadTemplate video_src = GST_STATIC_PAD_TEMPLATE("video_%u", GST_PAD_SRC,
                                                                GST_PAD_SOMETIMES,
                                                                GST_STATIC_CAPS_ANY);

static const Route *find_route(const ElementDesc *desc, GstCaps *caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return NULL;
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    for (const Route *r = desc->routes; r && r->caps_name; ++r) {
        if (!gst_structure_has_name(s, r->caps_name))
            continue;
        int version = 0;
        if (r->mpeg_version != 0 &&
            (!gst_structure_get_int(s, "mpegversion", &version) || version != r->mpeg_version))
            continue;
        return r;
    }
    return NULL;
}

static gboolean is_video_pad(GstPad *pad) {
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, NULL);
    gboolean video = FALSE;
    if (caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) {
        const char *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
        video = g_str_has_prefix(name, "video/");
    } else {
        video = g_str_has_prefix(GST_PAD_NAME(pad), "video");
    }
    if (caps)
        gst_caps_unref(caps);
    return video;
}

static void demuxer_pad_added(GstElement *demuxer, GstPad *pad, FilterBin *self) {
    (void)demuxer;
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || !is_video_pad(pad))
        return;
    GstElementClass *klass = GST_ELEMENT_GET_CLASS(self);
    gchar *name = g_strdup_printf("video_%u", self->video_pads++);
    GstPad *ghost = gst_ghost_pad_new_from_template(
        name, pad, gst_element_class_get_pad_template(klass, "video_%u"));
    g_free(name);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(GST_ELEMENT(self), ghost);
}

static void demuxer_no_more_pads(GstElement *demuxer, FilterBin *self) {
    (void)demuxer;
    gst_element_no_more_pads(GST_ELEMENT(self));
}

/* Elements made on a streaming thread join the bin with their state locked, and that thread
 * brings them up itself. Otherwise a state change of the bin running meanwhile on the
 * application's thread would start them too: a demuxer starting in pull mode pauses the
 * typefind task, which waits for this very thread, while this thread waits for the
 * demuxer's state lock held by the other one. */
static void add_from_streaming_thread(FilterBin *self, GstElement *element) {
    gst_element_set_locked_state(element, TRUE);
    gst_bin_add(GST_BIN(self), element);
}

static void bring_to_parent_state(GstElement *element) {
    GstElement *parent = GST_ELEMENT(gst_element_get_parent(element));
    if (parent) {
        GstState target = GST_STATE_NULL;
        GST_OBJECT_LOCK(parent);
        target = GST_STATE_PENDING(parent) != GST_STATE_VOID_PENDING ? GST_STATE_PENDING(parent)
                                                                     : GST_STATE(parent);
        GST_OBJECT_UNLOCK(parent);
        gst_element_set_state(element, target);
        gst_object_unref(parent);
    }
    /* From now on the bin's own state changes, the one to NULL above all, take it along. */
    gst_element_set_locked_state(element, FALSE);
    gst_element_sync_state_with_parent(element);
}

static void have_type(GstElement *typefind, guint probability, GstCaps *caps, FilterBin *self) {
    (void)probability;
    if (self->chain_built)
        return;
    const Route *route = find_route(self->desc, caps);
    GstElement *demuxer = route ? gst_element_factory_make(route->first, NULL) : NULL;
    if (!demuxer) {
        gchar *text = gst_caps_to_string(caps);
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, (NULL),
                          ("%s cannot split streams of type %s", self->desc->long_name, text));
        g_free(text);
        return;
    }
    self->chain_built = TRUE;
    g_signal_connect(demuxer, "pad-added", G_CALLBACK(demuxer_pad_added), self);
    g_signal_connect(demuxer, "no-more-pads", G_CALLBACK(demuxer_no_more_pads), self);
    add_from_streaming_thread(self, demuxer);
    gst_element_link(typefind, demuxer);
    bring_to_parent_state(demuxer);
}

static GstPadProbeReturn decoder_caps_probe(GstPad *pad, GstPadProbeInfo *info, gpointer data) {
    (void)pad;
    FilterBin *self = data;
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS || self->chain_built)
        return GST_PAD_PROBE_OK;
    GstCaps *caps = NULL;
    gst_event_parse_caps(event, &caps);
    const Route *route = find_route(self->desc, caps);
    GstElement *parser = route ? gst_element_factory_make(route->first, NULL) : NULL;
    GstElement *decoder = route ? gst_element_factory_make(route->second, NULL) : NULL;
    if (!parser || !decoder) {
        if (parser)
            gst_object_unref(gst_object_ref_sink(parser));
        if (decoder)
            gst_object_unref(gst_object_ref_sink(decoder));
        gchar *text = gst_caps_to_string(caps);
        GST_ELEMENT_ERROR(self, STREAM, CODEC_NOT_FOUND, (NULL),
                          ("%s cannot decode %s", self->desc->long_name, text));
        g_free(text);
        return GST_PAD_PROBE_OK;
    }
    self->chain_built = TRUE;
    add_from_streaming_thread(self, parser);
    add_from_streaming_thread(self, decoder);
    gst_element_link_many(self->entry, parser, decoder, NULL);
    GstPad *out = gst_element_get_static_pad(decoder, "src");
    gst_ghost_pad_set_target(GST_GHOST_PAD(self->src_ghost), out);
    gst_object_unref(out);
    bring_to_parent_state(decoder);
    bring_to_parent_state(parser);
    return GST_PAD_PROBE_OK;
}

static void add_ghost(FilterBin *self, const char *name, GstElement *inner, const char *inner_pad,
                      GstPadDirection direction) {
    GstPad *target = inner ? gst_element_get_static_pad(inner, inner_pad) : NULL;
    GstPad *ghost = target ? gst_ghost_pad_new(name, target)
                           : gst_ghost_pad_new_no_target(name, direction);
    if (target)
        gst_object_unref(target);
    gst_element_add_pad(GST_ELEMENT(self), ghost);
    if (direction == GST_PAD_SRC)
        self->src_ghost = ghost;
}

static void filter_bin_init(GTypeInstance *instance, gpointer g_class) {
    FilterBin *self = (FilterBin *)instance;
    self->desc = ((FilterBinClass *)g_class)->desc;
    GstBin *bin = GST_BIN(self);
    switch (self->desc->kind) {
    case KIND_SOURCE:
        self->filesrc = gst_element_factory_make("filesrc", "reader");
        gst_bin_add(bin, self->filesrc);
        add_ghost(self, "src", self->filesrc, "src", GST_PAD_SRC);
        break;
    case KIND_SPLITTER:
    case KIND_SOURCE_SPLITTER:
        self->typefind = gst_element_factory_make("typefind", "typefind");
        gst_bin_add(bin, self->typefind);
        g_signal_connect(self->typefind, "have-type", G_CALLBACK(have_type), self);
        if (self->desc->kind == KIND_SOURCE_SPLITTER) {
            self->filesrc = gst_element_factory_make("filesrc", "reader");
            gst_bin_add(bin, self->filesrc);
            gst_element_link(self->filesrc, self->typefind);
        } else {
            add_ghost(self, "sink", self->typefind, "sink", GST_PAD_SINK);
        }
        break;
    case KIND_DECODER: {
        self->entry = gst_element_factory_make("identity", "entry");
        gst_bin_add(bin, self->entry);
        add_ghost(self, "sink", self->entry, "sink", GST_PAD_SINK);
        add_ghost(self, "src", NULL, NULL, GST_PAD_SRC);
        GstPad *entry_sink = gst_element_get_static_pad(self->entry, "sink");
        gst_pad_add_probe(entry_sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, decoder_caps_probe,
                          self, NULL);
        gst_object_unref(entry_sink);
        break;
    }
    }
}

static void filter_bin_set_property(GObject *object, guint id, const GValue *value,
                                    GParamSpec *pspec) {
    FilterBin *self = (FilterBin *)object;
    if (id == PROP_LOCATION && self->filesrc)
        g_object_set_property(G_OBJECT(self->filesrc), "location", value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void filter_bin_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec) {
    FilterBin *self = (FilterBin *)object;
    if (id == PROP_LOCATION && self->filesrc)
        g_object_get_property(G_OBJECT(self->filesrc), "location", value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void filter_bin_class_init(gpointer g_class, gpointer class_data) {
    const ElementDesc *desc = class_data;
    FilterBinClass *klass = g_class;
    GObjectClass *object_class = G_OBJECT_CLASS(g_class);
    GstElementClass *element_class = GST_ELEMENT_CLASS(g_class);
    klass->desc = desc;
    gst_element_class_set_static_metadata(element_class, desc->long_name, desc->klass,
                                          FILTER_PLUGIN_TEXT, "Kanvio");
    if (desc->kind == KIND_SOURCE || desc->kind == KIND_SOURCE_SPLITTER) {
        object_class->set_property = filter_bin_set_property;
        object_class->get_property = filter_bin_get_property;
        g_object_class_install_property(
            object_class, PROP_LOCATION,
            g_param_spec_string("location", "File Location", "Location of the file to read",
                                NULL, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
    }
    if (desc->sink_caps) {
        GstCaps *caps = gst_caps_from_string(desc->sink_caps);
        gst_element_class_add_pad_template(
            element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
        gst_caps_unref(caps);
    }
    if (desc->kind == KIND_SPLITTER || desc->kind == KIND_SOURCE_SPLITTER)
        gst_element_class_add_static_pad_template(element_class, &video_src);
    else
        gst_element_class_add_static_pad_template(element_class, &any_src);
}

static GType filter_bin_type(const ElementDesc *desc) {
    GType type = g_type_from_name(desc->type_name);
    if (type)
        return type;
    const GTypeInfo info = {sizeof(FilterBinClass), NULL, NULL, filter_bin_class_init, NULL,
                            desc, sizeof(FilterBin), 0, filter_bin_init, NULL};
    return g_type_register_static(GST_TYPE_BIN, desc->type_name, &info, 0);
}

static gboolean plugin_init(GstPlugin *plugin) {
    for (const ElementDesc *desc = elements; desc->element_name; ++desc) {
        if (!gst_element_register(plugin, desc->element_name, GST_RANK_NONE,
                                  filter_bin_type(desc)))
            return FALSE;
    }
    return TRUE;
}

#define PACKAGE KANVIO_FILTER_PACKAGE
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, FILTER_PLUGIN_NAME, FILTER_PLUGIN_TEXT,
                  plugin_init, KANVIO_FILTER_VERSION, "LGPL", KANVIO_FILTER_PACKAGE,
                  KANVIO_FILTER_ORIGIN)
