#pragma once

// Inspection films for tests, demos and benchmarks, made by ffmpeg: a moving test picture
// with the film's label and a running time code burnt in, so that a frame shows which
// film and which moment it is.

#include <string>
#include <vector>

namespace kanvio::generator {

enum class TFilmKind {
    Mpeg1System,    // .mpg, MPEG-1 video in an MPEG-1 system stream
    Mpeg2Program,   // .mpg, MPEG-2 video in an MPEG-2 program stream
    Mpeg2Transport, // .ts, MPEG-2 video in a transport stream
    Mp4Mpeg4,       // .mp4, MPEG-4 Part 2 video
    Mp4H264,        // .mp4, H.264 video
};

struct TFilmRequest {
    std::string FileName;
    TFilmKind Kind = TFilmKind::Mpeg2Program;
    double Seconds = 5.0;
    int Width = 352;
    int Height = 288;
    int FramesPerSecond = 25;
    int KeyFrameInterval = 12; // frames between key frames
    int BFrames = 2;           // consecutive B-frames between reference frames
    bool BPyramid = false;     // H.264: B-frames that other B-frames refer to
    std::string Label;         // burnt into the picture next to the time code
    // A row of black and white blocks across the middle of the picture that spells the
    // frame's number (see FrameCode.h), for checks that must know exactly which frame
    // they were shown.
    bool FrameNumbers = false;
};

// Runs ffmpeg; throws std::runtime_error with ffmpeg's own message when it fails.
void MakeFilm(const TFilmRequest& request);

// What making one film took: the clock, and the processor time of its ffmpeg.
struct TFilmTimes {
    double Seconds = 0;
    double ProcessorSeconds = 0;
};

// Makes the films side by side, one ffmpeg process each, as many at a time as there are
// processors, the longest first, and returns their times in the order asked. Each film
// appears under its name only when complete. Every film is tried; then the first failure
// is thrown as MakeFilm throws it. A request that cannot be a film (std::invalid_argument)
// fails the call before any film is started.
std::vector<TFilmTimes> MakeFilms(const std::vector<TFilmRequest>& requests);

// The fixed set of films the test suites share, written into folder (see FilmMaker.cpp
// for the list of names); films already there with the right size are kept.
void MakeTestMedia(const std::string& folder);

// The films of every class real inspection cameras write, a minute each with frame
// numbers, written into folder (names in FilmMaker.cpp); kept when already there.
void MakeExactnessMedia(const std::string& folder);

} // namespace kanvio::generator
