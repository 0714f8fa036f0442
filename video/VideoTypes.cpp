#include "video/VideoTypes.h"

#include <cstdio>
#include <utility>

namespace kanvio {

const char* MovieFormatName(TMovieFormat format) {
    switch (format) {
    case TMovieFormat::None:
        return "None";
    case TMovieFormat::Unknown:
        return "Unknown";
    case TMovieFormat::MPEG1:
        return "MPEG1";
    case TMovieFormat::MPEG2:
        return "MPEG2";
    case TMovieFormat::MPEG4:
        return "MPEG4";
    }
    return "Unknown";
}

std::string HexStatus(HResult status) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<uint32_t>(status));
    return text;
}

std::string ResultCodeText(HResult status) {
    const char* name = nullptr;
    switch (status) {
    case S_OK:
        name = "S_OK";
        break;
    case MM_S_IN_PROGRESS:
        name = "in progress";
        break;
    case E_FAIL:
        name = "E_FAIL";
        break;
    case MM_E_READER:
        name = "MM_E_READER";
        break;
    case MM_E_DECODER_SYS:
        name = "MM_E_DECODER_SYS";
        break;
    case MM_E_DECODER_PRI:
        name = "MM_E_DECODER_PRI";
        break;
    case MM_E_DECODER_PRE:
        name = "MM_E_DECODER_PRE";
        break;
    case MM_E_UNKNOWN_FORMAT:
        name = "MM_E_UNKNOWN_FORMAT";
        break;
    case MM_E_ALL_STRATEGIES:
        name = "MM_E_ALL_STRATEGIES";
        break;
    case MM_E_NO_FILE:
        name = "MM_E_NO_FILE";
        break;
    default:
        break;
    }
    return std::string(name ? name : "status") + " (0x" + HexStatus(status) + ")";
}

std::vector<std::string>* TFilterLists::ListOf(TMovieFormat format) {
    return const_cast<std::vector<std::string>*>(std::as_const(*this).ListOf(format));
}

const std::vector<std::string>* TFilterLists::ListOf(TMovieFormat format) const {
    switch (format) {
    case TMovieFormat::MPEG1:
        return &MPEG1;
    case TMovieFormat::MPEG2:
        return &MPEG2;
    case TMovieFormat::MPEG4:
        return &MPEG4;
    default:
        return nullptr;
    }
}

} // namespace kanvio
