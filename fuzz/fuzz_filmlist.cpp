// Any bytes as a settings file: the film list read from it holds only entries that are
// there, numbered from 1 to Count in rising order, and reading never throws.

#include "core/FilmEntries.h"
#include "foundation/BigIniFile.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto settings = kanvio::TBigIniFile::FromBytes(kanvio::fuzz::Bytes(data, size));
    const kanvio::TFilmListReading reading = kanvio::ReadFilmEntries(*settings);
    // An entry takes at least "1=" and a line end.
    if (reading.Films.size() > size / 3 + 1)
        __builtin_trap();
    int32_t previous = 0;
    for (const kanvio::TPlayListItem& film : reading.Films) {
        if (film.Number <= previous || film.Number > reading.Count)
            __builtin_trap();
        if (!film.Usable && (film.StartTime != -1 || film.StopTime != -1))
            __builtin_trap();
        previous = film.Number;
    }
    return 0;
}
