#include "core/FilmEntries.h"

#include "core/TimeText.h"
#include "foundation/BigIniFile.h"
#include "foundation/KanvioToolkit.h"

#include <algorithm>
#include <string_view>

namespace kanvio {

namespace {

constexpr const char* kSection = "FILME";

// The number a key names when it is written as that number's own text ("7", not "07" or
// " 7"): only such a key is found when the entry is asked for by its number.
bool FilmNumberOfKey(std::string_view key, int64_t& number) {
    if (key.empty() || key.size() > 10 || key.front() == '0') {
        return false;
    }
    number = 0;
    for (const char c : key) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    return true;
}

// The entries with a number from 1 to count in number order; of two lines with the same
// key the first is the entry, as for every other key of the file.
std::vector<std::pair<int32_t, std::string>> PresentEntries(const std::vector<std::string>& lines,
                                                            int32_t count) {
    std::vector<std::pair<int32_t, std::string>> entries;
    for (const std::string& line : lines) {
        const size_t equals = line.find('=');
        int64_t number = 0;
        if (equals == std::string::npos ||
            !FilmNumberOfKey(std::string_view(line).substr(0, equals), number) || number > count) {
            continue;
        }
        entries.emplace_back(static_cast<int32_t>(number), line.substr(equals + 1));
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  entries.end());
    return entries;
}

void ReadEntry(int32_t number, const std::string& entry, TFilmListReading& reading) {
    TPlayListItem& film = reading.Films.emplace_back();
    const std::string where = std::string("[") + kSection + "] " + std::to_string(number) + ": ";
    film.Number = number;
    film.FileName = ExtractField(entry, 0);
    film.StartText = ExtractField(entry, 1);
    film.StopText = ExtractField(entry, 2);
    film.StructureType = ExtractField(entry, 4);
    film.StructureID = ExtractField(entry, 5);
    if (!TryTimeTextToSeconds(film.StartText, film.StartTime) ||
        !TryTimeTextToSeconds(film.StopText, film.StopTime)) {
        // The film keeps its number, so its time corrections stay its own.
        film.Usable = false;
        film.StartTime = film.StopTime = -1;
        reading.Problems.push_back(where + "'" + film.StartText + "' to '" + film.StopText +
                                   "' is not a time range (hh:mm:ss)");
    } else {
        if (film.StartTime < reading.FirstStart) {
            reading.FirstStart = film.StartTime;
            reading.FirstStartText = film.StartText;
        }
        reading.LastStop = std::max(reading.LastStop, film.StopTime);
    }
    int32_t length = 0;
    const std::string lengthText = ExtractField(entry, 3);
    if (TryStrToInt(lengthText, length)) {
        reading.TotalLength += length;
    } else if (!lengthText.empty()) {
        reading.Problems.push_back(where + "the film length '" + lengthText + "' is not a number");
    }
}

} // namespace

TFilmListReading ReadFilmEntries(const TBigIniFile& settings) {
    TFilmListReading reading;
    reading.Count = std::max<int32_t>(0, settings.ReadInteger(kSection, "Count", 0));
    std::vector<std::string> lines;
    settings.ReadSectionValues(kSection, lines);
    const auto entries = PresentEntries(lines, reading.Count);
    lines.clear();
    lines.shrink_to_fit();
    reading.Films.reserve(entries.size());
    for (const auto& [number, entry] : entries) {
        ReadEntry(number, entry, reading);
    }
    return reading;
}

} // namespace kanvio
