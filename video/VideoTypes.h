#pragma once

// The types the video engine shares with the player context and the windows: formats,
// strategies, renderer modes, result codes, decoder lists and picture controls.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kanvio {

enum TRendererMode : int32_t { rmVMR = 0, rmNormal = 1 };

enum TLoadStrategy : int32_t { lsSystem = 0, lsPredefined = 1, lsPriorities = 2 };

enum class TMovieFormat : uint8_t { None = 0, Unknown = 1, MPEG1 = 2, MPEG2 = 3, MPEG4 = 4 };

// "None", "Unknown", "MPEG1", "MPEG2", "MPEG4".
const char* MovieFormatName(TMovieFormat format);

// Status codes in the Windows HRESULT convention: negative means failure.
using HResult = int32_t;
constexpr HResult S_OK = 0;
constexpr HResult MM_S_IN_PROGRESS = 1;
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult MM_E_READER = static_cast<HResult>(0x8004F001u);
constexpr HResult MM_E_DECODER_SYS = static_cast<HResult>(0x8004F002u);
constexpr HResult MM_E_DECODER_PRI = static_cast<HResult>(0x8004F003u);
constexpr HResult MM_E_DECODER_PRE = static_cast<HResult>(0x8004F004u);
constexpr HResult MM_E_UNKNOWN_FORMAT = static_cast<HResult>(0x8004F005u);
constexpr HResult MM_E_ALL_STRATEGIES = static_cast<HResult>(0x8004F006u);
constexpr HResult MM_E_NO_FILE = static_cast<HResult>(0x8004F007u);

inline bool Succeeded(HResult status) {
    return status >= 0;
}
inline bool Failed(HResult status) {
    return status < 0;
}

// The code's name and value, e.g. "MM_E_NO_FILE (0x8004F007)", for headless output.
std::string ResultCodeText(HResult status);
// Eight upper-case hexadecimal digits, as the log lines show statuses.
std::string HexStatus(HResult status);

// Three decoder lists; each entry is friendly name + "=" + CLSID in registry form, the
// first entry has the highest priority.
struct TFilterLists {
    std::vector<std::string> MPEG1;
    std::vector<std::string> MPEG2;
    std::vector<std::string> MPEG4;

    // The list of a format; null for None and Unknown.
    std::vector<std::string>* ListOf(TMovieFormat format);
    const std::vector<std::string>* ListOf(TMovieFormat format) const;
    bool operator==(const TFilterLists&) const = default;
};

// One picture property as the colour panel sees it; values in scaled units. Copies keep
// working: setter and getter are bound to the engine that made them.
struct TPictureControl {
    std::function<void(int32_t)> Setter;
    bool Available = false;
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Default = 0;
    int32_t Step = 0;
    std::function<int32_t()> Getter;
};

// Brightness, contrast, hue, saturation, in this order.
using TPictureControls = std::array<TPictureControl, 4>;
constexpr int32_t kPictureValueUnavailable = INT32_MIN;

} // namespace kanvio
