#include "video/FormatDetection.h"

#include "foundation/Logging.h"
#include "video/GstHandles.h"
#include "video/HttpByteSource.h"

#include <algorithm>
#include <fcntl.h>
#include <gst/base/gsttypefindhelper.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kanvio {

namespace {

// Type finders look at the start of a stream; a megabyte is ample for every MPEG
// container and costs about a millisecond.
constexpr size_t kProbeBytes = 1 << 20;

struct TFileCloser {
    int fd;
    ~TFileCloser() {
        if (fd >= 0)
            close(fd);
    }
};

TMovieFormat ClassifyCaps(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return TMovieFormat::MPEG4;
    const GstStructure* type = gst_caps_get_structure(caps, 0);
    const std::string name = gst_structure_get_name(type);
    if (name == "video/mpeg") {
        int version = 0;
        gst_structure_get_int(type, "mpegversion", &version);
        if (version == 1)
            return TMovieFormat::MPEG1;
        if (version == 2)
            return TMovieFormat::MPEG2;
        if (version == 4)
            return TMovieFormat::MPEG4;
        return TMovieFormat::Unknown;
    }
    if (name == "video/mpegts")
        return TMovieFormat::MPEG2;
    if (name == "video/quicktime")
        return TMovieFormat::MPEG4;
    return TMovieFormat::Unknown;
}

void LogFormat(TMovieFormat format) {
    switch (format) {
    case TMovieFormat::MPEG1:
        LogLine("MMEngine->LoadMovie: Format MPEG1", LOG_DEBUG);
        break;
    case TMovieFormat::MPEG2:
        LogLine("MMEngine->LoadMovie: Format MPEG2", LOG_DEBUG);
        break;
    case TMovieFormat::MPEG4:
        LogLine("MMEngine->LoadMovie: Format MPEG4", LOG_DEBUG);
        break;
    default:
        break;
    }
}

} // namespace

TMovieFormat ClassifyMediaType(const std::string& capsText) {
    EnsureGStreamer();
    if (capsText.empty())
        return TMovieFormat::MPEG4;
    TGstCapsPtr caps(gst_caps_from_string(capsText.c_str()));
    if (!caps)
        return TMovieFormat::Unknown;
    return ClassifyCaps(caps.get());
}

namespace {

// The first bytes of a film on a web server, or none when they cannot be fetched.
std::vector<guint8> WebFilmHead(const std::string& url, size_t wanted) {
    try {
        THttpByteSource film(url);
        std::vector<guint8> bytes(std::min<size_t>(wanted, static_cast<size_t>(film.Size())));
        bytes.resize(film.ReadAt(0, bytes.data(), bytes.size()));
        return bytes;
    } catch (const EKanvioError& error) {
        LogLine(std::string("MMEngine->LoadMovie: ") + error.what(), LOG_ERROR);
        return {};
    }
}

} // namespace

TMovieFormat DetectMovieFormat(const std::string& fileName) {
    EnsureGStreamer();
    if (IsWebFilm(fileName)) {
        const std::vector<guint8> bytes = WebFilmHead(fileName, kProbeBytes);
        if (bytes.empty())
            return TMovieFormat::None;
        GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
        TGstCapsPtr caps(
            gst_type_find_helper_for_data(nullptr, bytes.data(), bytes.size(), &probability));
        const TMovieFormat format = ClassifyCaps(caps.get());
        LogFormat(format);
        return format;
    }
    TFileCloser file{open(fileName.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return TMovieFormat::None;
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
        return TMovieFormat::None;

    const size_t wanted = std::min<size_t>(kProbeBytes, static_cast<size_t>(info.st_size));
    std::vector<guint8> bytes(wanted);
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = read(file.fd, bytes.data() + got, wanted - got);
        if (n < 0)
            return TMovieFormat::None;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got == 0)
        return TMovieFormat::None;

    GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
    TGstCapsPtr caps(gst_type_find_helper_for_data(nullptr, bytes.data(), got, &probability));
    const TMovieFormat format = ClassifyCaps(caps.get());
    LogFormat(format);
    return format;
}

} // namespace kanvio
