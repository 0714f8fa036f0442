#pragma once

// The arithmetic of the player control window, apart from its widgets: range labels,
// the seek tolerance of the slider and the film-part strip.

#include <cstdint>
#include <string>
#include <vector>

namespace kanvio {

// "hh:mm:ss" of a timeline position scaled back by the linear factor (film time), with
// hours below 10 getting a leading zero.
std::string FormatRangeTime(int64_t seconds, double linearFactor);

// How far (seconds) a slider value may lie from the current position without a seek:
// two seconds, scaled by the play speed and rounded up.
int64_t SeekTolerance(float playSpeed);

// One film of the current structure on the timeline.
struct TFilmPart {
    int64_t Start = 0;
    int64_t Stop = 0;
};

// The "start=stop" entries the player hands over; entries that are no pair of numbers are
// left out.
std::vector<TFilmPart> ParseFilmParts(const std::vector<std::string>& entries);

// A filled span of the strip, in pixels from its left edge: [Left, Right).
struct TStripSpan {
    int Left = 0;
    int Right = 0;
    bool operator==(const TStripSpan&) const = default;
};

// The spans of the parts on a strip width pixels wide showing [minimum, maximum]. A range
// without length (first start equal to last stop, or less) cannot be scaled: the strip is
// then filled wholly, as the one position it shows belongs to the structure.
std::vector<TStripSpan> FilmPartSpans(const std::vector<TFilmPart>& parts, int64_t minimum,
                                      int64_t maximum, int width);

// A timeline position as the slider's integer value range can hold it.
int ClampToSlider(int64_t value);

} // namespace kanvio
