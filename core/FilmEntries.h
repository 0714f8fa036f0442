#pragma once

// The entries of the film list ([FILME]) as the settings file holds them, read without
// touching the file system: the film files are looked for later, by the player context.

#include "core/KanvioDataModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kanvio {

class TBigIniFile;

struct TFilmListReading {
    int32_t Count = 0; // "Count" as stored (never negative)
    // One film per entry present, in number order; FileName is field 0 as written.
    TPlayList Films;
    // The sum of the length fields that are numbers.
    int64_t TotalLength = 0;
    // The earliest start and latest stop of the films with a time range; of equal starts
    // the first film's start text.
    int64_t FirstStart = 2147483647;
    int64_t LastStop = 0;
    std::optional<std::string> FirstStartText; // none when no film has a time range
    // What could not be read, one text a problem, each beginning "[FILME] <number>: ".
    std::vector<std::string> Problems;
};

// Reads the film entries numbered 1 to Count that the section holds. A film keeps its entry
// number (Number), which names its time corrections; numbers without an entry are left out.
// Work and memory grow with the lines of the section, never with Count.
TFilmListReading ReadFilmEntries(const TBigIniFile& settings);

} // namespace kanvio
