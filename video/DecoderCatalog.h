#pragma once

// The video decoders installed on the system, as the decoder lists name them: the
// element factories of rank above NONE that decode video, with the factory's long name
// as friendly name and a GUID derived from the factory name as class identifier.

#include "video/VideoTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kanvio {

struct TDecoderEntry {
    std::string FriendlyName;
    std::string Clsid; // registry form, upper case, with braces
    std::string Factory;
};

using TGuid = std::array<uint8_t, 16>;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, either letter case).
std::optional<TGuid> ParseGuid(std::string_view text);
std::string FormatGuid(const TGuid& guid);
bool IsNullGuid(const TGuid& guid);
// A stable name-based GUID (SHA-1, version 5 layout) for a factory name.
std::string NameBasedGuid(std::string_view factoryName);

// Every installed video decoder, highest rank first, then by name.
std::vector<TDecoderEntry> InstalledVideoDecoders();
// The decoders whose input accepts the format's elementary streams (MPEG-1 video,
// MPEG-2 video, MPEG-4 Part 2 or H.264 video), in the order above.
std::vector<TDecoderEntry> DecodersForFormat(TMovieFormat format);
// The three lists as "friendly name=CLSID" entries.
TFilterLists EnumerateDecoderLists();

} // namespace kanvio
