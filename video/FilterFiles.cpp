#include "video/FilterFiles.h"

#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "video/GstHandles.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace kanvio {

TPredefinedFilters PredefinedFiltersFor(TMovieFormat format) {
    switch (format) {
    case TMovieFormat::MPEG1:
        return {"quartz.dll", "quartzfilesource",       "quartz.dll",        "quartzmpeg1splitter",
                "quartz.dll", "quartzmpegvideodecoder", "MPEG Video decoder"};
    case TMovieFormat::MPEG2:
        return {"quartz.dll",  "quartzfilesource", "mpg2splt.ax",         "mpg2spltdemux",
                "mcdsmpeg.ax", "mcdsmpegdecoder",  "Main Concept decoder"};
    case TMovieFormat::MPEG4:
        return {"mp4splitter.ax", "mp4splittersource", "", "", "ffdshow\\ffdshow.ax",
                "ffdshowdecoder", "ffDShow decoder"};
    default:
        throw ERangeError(std::string("no predefined filters for format ") +
                          MovieFormatName(format));
    }
}

bool IsCompleteSharedObject(const std::string& file, std::string& reason) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        reason = "the file cannot be opened";
        return false;
    }
    in.seekg(0, std::ios::end);
    const uint64_t size = static_cast<uint64_t>(in.tellg());
    in.seekg(0);
    Elf64_Ehdr header{};
    if (size < sizeof header || !in.read(reinterpret_cast<char*>(&header), sizeof header)) {
        reason = "the file is too short for a library";
        return false;
    }
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_type != ET_DYN) {
        reason = "the file is not a shared library";
        return false;
    }
    const auto inside = [size](uint64_t offset, uint64_t length) {
        return offset <= size && length <= size - offset;
    };
    if (header.e_phentsize != sizeof(Elf64_Phdr) ||
        !inside(header.e_phoff, uint64_t{header.e_phnum} * header.e_phentsize) ||
        (header.e_shnum != 0 &&
         !inside(header.e_shoff, uint64_t{header.e_shnum} * header.e_shentsize))) {
        reason = "the library is truncated (headers beyond its end)";
        return false;
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    in.seekg(static_cast<std::streamoff>(header.e_phoff));
    if (!in.read(reinterpret_cast<char*>(segments.data()),
                 static_cast<std::streamsize>(segments.size() * sizeof(Elf64_Phdr)))) {
        reason = "the library's program headers cannot be read";
        return false;
    }
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type == PT_LOAD && !inside(segment.p_offset, segment.p_filesz)) {
            reason = "the library is truncated (a segment lies beyond its end)";
            return false;
        }
    }
    return true;
}

HResult LoadFilterFromFile(const std::string& libraryName, const std::string& elementName,
                           GstPlugin*& plugin) {
    EnsureGStreamer();
    plugin = nullptr;
    const std::string path = GetProgramFolder() + "filters/" + ToNativeSeparators(libraryName);
    std::string reason;
    if (!IsCompleteSharedObject(path, reason)) {
        LogLine("MMEngine->LoadFilterFromFile: " + path + ": " + reason, LOG_ERROR);
        return E_FAIL;
    }
    GError* raw = nullptr;
    GstPlugin* loaded = gst_plugin_load_file(path.c_str(), &raw);
    TGErrorPtr error(raw);
    if (!loaded) {
        LogLine("MMEngine->LoadFilterFromFile: " + path + ": " +
                    (error ? error->message : "cannot be loaded"),
                LOG_ERROR);
        return E_FAIL;
    }
    GstElementFactory* factory = gst_element_factory_find(elementName.c_str());
    const char* owner =
        factory ? gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    const bool provided = owner && g_str_equal(owner, gst_plugin_get_name(loaded));
    if (factory)
        gst_object_unref(factory);
    if (!provided) {
        LogLine("MMEngine->LoadFilterFromFile: " + path + ": the library has no element " +
                    elementName,
                LOG_ERROR);
        gst_object_unref(loaded);
        return E_FAIL;
    }
    plugin = loaded;
    return S_OK;
}

} // namespace kanvio
