#pragma once

#include "video/VideoTypes.h"

#include <string>

namespace kanvio {

// The film's format class by type finding on the file's first bytes:
//   MPEG-1 system stream or MPEG-1 video                 -> MPEG1
//   MPEG-2 program stream, MPEG-2 video, transport stream -> MPEG2
//   MP4/QuickTime, MPEG-4 video                           -> MPEG4
//   a readable file whose type cannot be named            -> MPEG4 (a stream of no subtype)
//   any other named type                                  -> Unknown
//   a file that cannot be opened, or one without any data -> None
// Never throws. Logs "MMEngine->LoadMovie: Format ..." for the three MPEG classes.
TMovieFormat DetectMovieFormat(const std::string& fileName);

// The class of a type found by type finding (the caps' text form), for the rules above;
// an empty text stands for a type that could not be determined.
TMovieFormat ClassifyMediaType(const std::string& capsText);

} // namespace kanvio
