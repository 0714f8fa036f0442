#include "video/DecoderCatalog.h"

#include "video/GstHandles.h"

#include <algorithm>
#include <cstdio>

namespace kanvio {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The elementary stream types a decoder of each list must take.
std::vector<const char*> InputTypesOf(TMovieFormat format) {
    switch (format) {
    case TMovieFormat::MPEG1:
        return {
            "video/mpeg, mpegversion=(int)1, systemstream=(boolean)false, parsed=(boolean)true"};
    case TMovieFormat::MPEG2:
        return {
            "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, parsed=(boolean)true"};
    case TMovieFormat::MPEG4:
        return {
            "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false, parsed=(boolean)true",
            "video/x-h264, stream-format=(string)avc, alignment=(string)au, parsed=(boolean)true"};
    default:
        return {};
    }
}

bool AcceptsAny(GstElementFactory* factory, const std::vector<const char*>& types) {
    for (const char* type : types) {
        TGstCapsPtr caps(gst_caps_from_string(type));
        if (gst_element_factory_can_sink_any_caps(factory, caps.get()))
            return true;
    }
    return false;
}

} // namespace

std::optional<TGuid> ParseGuid(std::string_view text) {
    // {8-4-4-4-12}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return std::nullopt;
    TGuid guid{};
    size_t byte = 0;
    for (size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0 || byte >= guid.size())
            return std::nullopt;
        guid[byte++] = static_cast<uint8_t>(high * 16 + low);
        i += 2;
    }
    if (byte != guid.size())
        return std::nullopt;
    return guid;
}

std::string FormatGuid(const TGuid& g) {
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[0],
                  g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return text;
}

bool IsNullGuid(const TGuid& guid) {
    return std::all_of(guid.begin(), guid.end(), [](uint8_t b) { return b == 0; });
}

std::string NameBasedGuid(std::string_view factoryName) {
    // A fixed name space of the program, then the factory name (RFC 4122 version 5).
    static const TGuid nameSpace = {0x6b, 0x61, 0x6e, 0x76, 0x69, 0x6f, 0x2d, 0x64,
                                    0x65, 0x63, 0x6f, 0x64, 0x65, 0x72, 0x73, 0x21};
    GChecksum* sha1 = g_checksum_new(G_CHECKSUM_SHA1);
    g_checksum_update(sha1, nameSpace.data(), nameSpace.size());
    g_checksum_update(sha1, reinterpret_cast<const guchar*>(factoryName.data()),
                      static_cast<gssize>(factoryName.size()));
    guint8 digest[20];
    gsize length = sizeof digest;
    g_checksum_get_digest(sha1, digest, &length);
    g_checksum_free(sha1);
    TGuid guid{};
    std::copy(digest, digest + 16, guid.begin());
    guid[6] = static_cast<uint8_t>((guid[6] & 0x0f) | 0x50);
    guid[8] = static_cast<uint8_t>((guid[8] & 0x3f) | 0x80);
    return FormatGuid(guid);
}

std::vector<TDecoderEntry> InstalledVideoDecoders() {
    EnsureGStreamer();
    GList* factories = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO,
        static_cast<GstRank>(GST_RANK_NONE + 1));
    factories = g_list_sort(factories, [](gconstpointer a, gconstpointer b) -> gint {
        auto* fa = GST_PLUGIN_FEATURE(const_cast<gpointer>(a));
        auto* fb = GST_PLUGIN_FEATURE(const_cast<gpointer>(b));
        const guint ra = gst_plugin_feature_get_rank(fa);
        const guint rb = gst_plugin_feature_get_rank(fb);
        if (ra != rb)
            return ra > rb ? -1 : 1;
        return g_strcmp0(GST_OBJECT_NAME(fa), GST_OBJECT_NAME(fb));
    });
    std::vector<TDecoderEntry> decoders;
    for (GList* item = factories; item; item = item->next) {
        auto* factory = GST_ELEMENT_FACTORY(item->data);
        const char* longName =
            gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        const std::string name = GST_OBJECT_NAME(factory);
        decoders.push_back({longName ? longName : name, NameBasedGuid(name), name});
    }
    gst_plugin_feature_list_free(factories);
    return decoders;
}

std::vector<TDecoderEntry> DecodersForFormat(TMovieFormat format) {
    const std::vector<const char*> types = InputTypesOf(format);
    std::vector<TDecoderEntry> matching;
    if (types.empty())
        return matching;
    for (TDecoderEntry& entry : InstalledVideoDecoders()) {
        GstElementFactory* factory = gst_element_factory_find(entry.Factory.c_str());
        if (!factory)
            continue;
        if (AcceptsAny(factory, types))
            matching.push_back(std::move(entry));
        gst_object_unref(factory);
    }
    return matching;
}

TFilterLists EnumerateDecoderLists() {
    TFilterLists lists;
    for (TMovieFormat format : {TMovieFormat::MPEG1, TMovieFormat::MPEG2, TMovieFormat::MPEG4}) {
        for (const TDecoderEntry& entry : DecodersForFormat(format))
            lists.ListOf(format)->push_back(entry.FriendlyName + "=" + entry.Clsid);
    }
    return lists;
}

} // namespace kanvio
