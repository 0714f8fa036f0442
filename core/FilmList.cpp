// The film list of the settings file, the search for moved film files, the links from
// films to structures and the per-film time corrections.

#include "core/FilmEntries.h"
#include "core/KanvioContext.h"
#include "core/StructureStartIndex.h"
#include "core/TimeText.h"
#include "core/WebFilms.h"
#include "foundation/AnsiText.h"
#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <unordered_map>

namespace kanvio {

namespace {

// Type words of the film entries, lower case; the non-ASCII ones as Windows-1250 bytes.
const std::vector<std::string>& ReachWords() {
    static const std::vector<std::string> words = {"h",     "reach",   "haltung", "usek",
                                                   "tramo", "atteint", "szakasz", "odcinek"};
    return words;
}

const std::vector<std::string>& ConnectionWords() {
    static const std::vector<std::string> words = {"a",
                                                   "connection",
                                                   "anschluss",
                                                   "p\xF8\xEDpojka",
                                                   "conexion",
                                                   "brancehement",
                                                   "csatlakoz\xE1s",
                                                   "przy\xB3\xB9"
                                                   "cze"};
    return words;
}

bool IsOneOf(const std::string& word, const std::vector<std::string>& words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool StartsWithDriveLetter(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Entries of a folder in the order the file system lists them.
std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    const QDir dir(QFile::decodeName(folder.c_str()));
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Unsorted)) {
        names.push_back(QFile::encodeName(name).toStdString());
    }
    return names;
}

bool TimeOf(const std::string& text, int64_t& seconds) {
    return TryTimeTextToSeconds(text, seconds);
}

// Settings files hold Windows-1252 names, while a disc made elsewhere names its files in
// UTF-8: try both spellings, without regard to case.
std::string LocateFile(const std::string& path) {
    const std::string found = FindFileIgnoringCase(path);
    if (FileExists(found)) {
        return found;
    }
    const std::string utf8 = AnsiToUtf8(path);
    if (utf8 != path) {
        const std::string foundUtf8 = FindFileIgnoringCase(utf8);
        if (FileExists(foundUtf8)) {
            return foundUtf8;
        }
    }
    return path;
}

} // namespace

void TKanvioContext::ReadFilmList() {
    FilmName = ResolveFilmPath(settings_->ReadString("FILME", "1", "ERROR"));
    FilmIndex = 0;
    TFilmListReading reading = ReadFilmEntries(*settings_);
    FilmCount = reading.Count;
    TotalFilmLength = reading.TotalLength;
    FirstFilmStart = reading.FirstStart;
    LastFilmStop = reading.LastStop;
    if (reading.FirstStartText) {
        StartTimeText = *reading.FirstStartText;
    }
    for (const std::string& problem : reading.Problems) {
        LogLine(SettingsFileName + ", " + problem, LOG_ERROR);
    }
    if (reading.Films.size() < static_cast<size_t>(FilmCount)) {
        LogLine(SettingsFileName + ": [FILME] Count is " + std::to_string(FilmCount) +
                    "; film entries present: " + std::to_string(reading.Films.size()),
                LOG_WARNING);
    }
    // A large delivery has thousands of film parts in a handful of files: each file is
    // looked for once.
    std::unordered_map<std::string, std::string> found;
    for (TPlayListItem& film : reading.Films) {
        const auto [place, isNew] = found.try_emplace(film.FileName);
        if (isNew) {
            place->second = ResolveFilmPath(film.FileName);
        }
        film.FileName = place->second;
    }
    PlayList = std::move(reading.Films);
    LoadTimeCorrections();
    FilmIndex = 0;
    CachedPosition = 0;
}

void TKanvioContext::UseDeliveryFilms(TPlayList films) {
    HasFilmList = true;
    FilmCount = static_cast<int32_t>(films.size());
    FirstFilmStart = films.front().StartTime;
    LastFilmStop = films.back().StopTime;
    TotalFilmLength = 0;
    for (TPlayListItem& film : films) {
        TotalFilmLength += film.StopTime - film.StartTime;
        // A delivery's film is a file name, not a settings entry: ';' is part of the name.
        film.FileName = ResolveFilmFile(film.FileName);
    }
    StartTimeText = films.front().StartText;
    FilmName = films.front().FileName;
    PlayList = std::move(films);
    LoadTimeCorrections();
    FilmIndex = 0;
    CachedPosition = 0;
}

std::string TKanvioContext::ResolveFilmPath(const std::string& entry) const {
    return ResolveFilmFile(ExtractField(entry, 0));
}

std::string TKanvioContext::ResolveFilmFile(const std::string& written) const {
    if (std::optional<std::string> web = ResolveWebFilm(
            written, {SettingsFileName, settings_->ReadString("DATA", "FilmBase", ""),
                      services_.Headless ? nullptr : services_.Dialogs})) {
        return *web;
    }
    // Drive letters never exist here, so such a film has moved with the medium.
    const bool missing = StartsWithDriveLetter(written);
    const std::string path = ToNativeSeparators(written);
    if (!RunsFromCD && !missing) {
        return LocateFile(InProjectFolder(path));
    }
    const std::string folder = GetProjectFolder();
    const std::string fileName = ExtractFileName(path);
    const std::string besideProgram = LocateFile(folder + fileName);
    if (!fileName.empty() && FileExists(besideProgram)) {
        return besideProgram;
    }
    for (const std::string& name : ListFolder(folder)) {
        const std::string candidate = LocateFile(folder + name + "/" + fileName);
        if (!fileName.empty() && FileExists(candidate)) {
            return candidate;
        }
    }
    return missing ? written : path;
}

namespace {

// The list a film entry's type word names: 0 reaches, 1 connections, -1 neither.
int ListOfTypeWord(const std::string& type) {
    const std::string word = AsciiLowerCase(type);
    if (IsOneOf(word, ReachWords())) {
        return 0;
    }
    return IsOneOf(word, ConnectionWords()) ? 1 : -1;
}

TReachData* Found(TReachData* structure) {
    if (structure != nullptr) {
        LogLine("Found: " + structure->ReachNumber, LOG_DEBUG);
    }
    return structure;
}

} // namespace

TReachData* TKanvioContext::FindStructure(const std::string& type, const std::string& id) const {
    LogLine("Finding: " + type + " " + id, LOG_DEBUG);
    const int list = ListOfTypeWord(type);
    if (list < 0) {
        return nullptr;
    }
    for (const auto& structure : list == 0 ? Reaches : Connections) {
        if (structure->ID == id) {
            return Found(structure.get());
        }
    }
    return nullptr;
}

void TKanvioContext::AssignReachesToFilms() {
    TStructureStartIndex reachStarts(Reaches);
    TStructureStartIndex connectionStarts(Connections);
    // A large delivery has as many entries as structures: each is looked up, not searched.
    const TStructureIdIndex ids[] = {TStructureIdIndex(Reaches), TStructureIdIndex(Connections)};
    for (TPlayListItem& film : PlayList) {
        film.Structure = nullptr;
        if (!film.Usable) {
            continue;
        }
        if (!film.StructureType.empty() && !film.StructureID.empty()) {
            // As FindStructure does it, through the indexes.
            LogLine("Finding: " + film.StructureType + " " + film.StructureID, LOG_DEBUG);
            const int list = ListOfTypeWord(film.StructureType);
            film.Structure = list < 0 ? nullptr : Found(ids[list].Find(film.StructureID));
        } else {
            // A connection found replaces the reach found before it.
            for (const TStructureStartIndex* starts : {&reachStarts, &connectionStarts}) {
                if (TReachData* found = starts->FirstWithin(film.StartTime, film.StopTime)) {
                    film.Structure = found;
                    LogLine("Found in old kanvio.ini: " + found->ReachNumber, LOG_DEBUG);
                }
            }
        }
        if (film.Structure == nullptr) {
            LogLine("Structure not found!", LOG_FATAL);
            continue;
        }
        for (TReachDetail& detail : film.Structure->Details) {
            int64_t t = 0;
            if (!TimeOf(detail.VideoTime, t)) {
                LogLine("Observation time '" + detail.VideoTime + "' of " +
                            film.Structure->ReachNumber + " is not a time (hh:mm:ss)",
                        LOG_ERROR);
                continue;
            }
            if (film.StartTime < t + 36000 && t + 36000 < film.StopTime) {
                detail.VideoTime = SecondsToTimeText(t + 36000);
            }
            if (film.StartTime < t + 72000 && t + 72000 < film.StopTime) {
                detail.VideoTime = SecondsToTimeText(t + 72000);
            }
        }
        // Later films look the structure up by its times as they are now.
        reachStarts.Update(film.Structure);
        connectionStarts.Update(film.Structure);
    }
}

void TKanvioContext::LoadTimeCorrections() {
    if (!HasFilmList) {
        return;
    }
    for (TPlayListItem& film : PlayList) {
        film.TimeCorrections.clear();
        settings_->ReadSectionValues("TIMECORR_" + std::to_string(film.Number),
                                     film.TimeCorrections);
        std::sort(film.TimeCorrections.begin(), film.TimeCorrections.end());
    }
}

int32_t TKanvioContext::LookupTimeCorrection(const std::vector<std::string>& list,
                                             int64_t position) {
    int32_t correction = 0;
    for (const std::string& line : list) {
        const size_t equals = line.find('=');
        int64_t at = 0;
        if (equals == std::string::npos || !TimeOf(line.substr(0, equals), at) || at > position) {
            break;
        }
        int32_t value = 0;
        correction = TryStrToInt(line.substr(equals + 1), value) ? value : 0;
    }
    return correction;
}

int32_t TKanvioContext::GetCurrentTimeCorrection() const {
    if (!HasFilmList || FilmIndex < 0 || static_cast<size_t>(FilmIndex) >= PlayList.size()) {
        return 0;
    }
    int64_t position = 0;
    if (!TimeOf(TrimLeadingBlanks(CurrentDetail.VideoTime.substr(0, 255)), position)) {
        return 0;
    }
    return LookupTimeCorrection(PlayList[static_cast<size_t>(FilmIndex)].TimeCorrections, position);
}

std::vector<std::string> TKanvioContext::StructureRangeLines() const {
    std::vector<std::string> lines;
    if (CurrentStructure == nullptr) {
        return lines;
    }
    for (const TPlayListItem& film : PlayList) {
        if (IsFilmOf(film, *CurrentStructure)) {
            char line[64];
            std::snprintf(line, sizeof line, "%.8" PRId64 "=%.8" PRId64, film.StartTime,
                          film.StopTime);
            lines.emplace_back(line);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace kanvio
