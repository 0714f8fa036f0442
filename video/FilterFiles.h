#pragma once

// The filter files in <program folder>/filters/: the program's own GStreamer plugins,
// loaded by file, never found through automatic plugging.

#include "video/VideoTypes.h"

#include <gst/gst.h>
#include <string>

namespace kanvio {

// The elements strategy Predefined uses for a format; empty names where the format has
// no such part (MPEG-4: the source is also the splitter).
struct TPredefinedFilters {
    std::string SourceLibrary, SourceElement;
    std::string SplitterLibrary, SplitterElement;
    std::string DecoderLibrary, DecoderElement, DecoderName;
};
// Throws ERangeError for None and Unknown.
TPredefinedFilters PredefinedFiltersFor(TMovieFormat format);

// Whether file holds a complete ELF shared object: header, program and section headers
// and every loadable segment lie inside the file. A truncated library would otherwise
// crash the process inside the dynamic loader. reason names the problem when not.
bool IsCompleteSharedObject(const std::string& file, std::string& reason);

// Loads <program folder>/filters/<libraryName> (a "\" or "/" separated sub-folder
// allowed) and checks that it provides elementName. On success plugin holds the loaded
// plugin (a new reference; plugins are never unloaded) and the result is S_OK; E_FAIL and
// an ERROR log line with the reason otherwise.
HResult LoadFilterFromFile(const std::string& libraryName, const std::string& elementName,
                           GstPlugin*& plugin);

} // namespace kanvio
