// Positions on the project timeline: which film covers a position, loading it through
// the layout's video, and keeping the controls and the current structure in step.

#include "core/KanvioContext.h"
#include "core/TimeText.h"
#include "foundation/Errors.h"
#include "foundation/FilmUrl.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kanvio {

namespace {

constexpr TVideoResult kGeneralFailure = static_cast<TVideoResult>(0x80004005u);

// Clears the context's Seeking flag on every way out of a film load.
class SeekingGuard {
public:
    explicit SeekingGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~SeekingGuard() { flag_ = false; }
    SeekingGuard(const SeekingGuard&) = delete;
    SeekingGuard& operator=(const SeekingGuard&) = delete;

private:
    bool& flag_;
};

std::string Number(int64_t value) {
    return std::to_string(value);
}

} // namespace

IVideoWindow* TKanvioContext::Video() const {
    return playerWindows_ != nullptr ? playerWindows_->Video() : nullptr;
}

IPlayerControls* TKanvioContext::Controls() const {
    return playerWindows_ != nullptr ? playerWindows_->Controls() : nullptr;
}

void TKanvioContext::SetBusy(bool busy) const {
    if (services_.Desktop != nullptr) {
        services_.Desktop->SetBusy(busy);
    }
}

std::string TKanvioContext::LoadErrorText(TVideoResult code) const {
    switch (static_cast<uint32_t>(code)) {
    case 0x8004F001u:
        return texts_.NoCompatibleFilters;
    case 0x8004F002u:
        return texts_.NoCompatibleFiltersSys;
    case 0x8004F003u:
        return texts_.NoCompatibleFiltersPri;
    case 0x8004F004u:
        return texts_.NoCompatibleFiltersPre;
    case 0x8004F005u:
        return texts_.UnknownMovieFormat;
    case static_cast<uint32_t>(kGeneralFailure):
        return texts_.ErrorLoadingFile;
    case 0x8004F006u:
        return texts_.StrategyError;
    case 0x8004F007u:
        return texts_.NoFileError;
    default:
        return texts_.UnknownError;
    }
}

int64_t TKanvioContext::GetFilmTime() {
    IVideoWindow* video = Video();
    const int64_t seconds = video != nullptr ? video->GetCurrentPosition() / 10000000 : 0;
    if (!PlayList.empty() && FilmIndex >= 0 && static_cast<size_t>(FilmIndex) < PlayList.size()) {
        CurrentTimeCorrection = LookupTimeCorrection(
            PlayList[static_cast<size_t>(FilmIndex)].TimeCorrections, FilmPartStart + seconds);
    } else {
        CurrentTimeCorrection = 0;
    }
    return seconds;
}

int64_t TKanvioContext::GetCurrentPosition() {
    if (Seeking) {
        return CachedPosition;
    }
    const int64_t filmTime = GetFilmTime();
    LogLine(Number(FilmPartStart) + "$" + Number(filmTime), LOG_DEBUG);
    CachedPosition = FilmPartStart + filmTime;
    return CachedPosition;
}

void TKanvioContext::SeekPosition(const std::string& timeText) {
    try {
        SeekPosition(false, TimeTextToSeconds(timeText));
    } catch (const std::exception&) {
        LogLine("Error in TKanvioContext.SeekPosition: " + timeText, LOG_ERROR);
    }
}

bool TKanvioContext::NamesStructure(const std::string& type, const std::string& id,
                                    const TReachData& structure) const {
    return id == structure.ID && (type == std::string(1, structure.ObjectType) ||
                                  type == ObjectTypeText(structure.ObjectType));
}

bool TKanvioContext::IsFilmOf(const TPlayListItem& film, const TReachData& structure) const {
    if (!film.Usable) {
        return false;
    }
    if (NamesStructure(film.StructureType, film.StructureID, structure)) {
        return true;
    }
    return std::any_of(
        film.MoreStructures.begin(), film.MoreStructures.end(),
        [&](const auto& name) { return NamesStructure(name.first, name.second, structure); });
}

bool TKanvioContext::BelongsToCurrentStructure(const std::string& type,
                                               const std::string& id) const {
    return CurrentStructure != nullptr && NamesStructure(type, id, *CurrentStructure);
}

int TKanvioContext::FindFilmPart(int64_t& position, int64_t& start, int64_t& stop, bool forward) {
    if (CurrentStructure == nullptr) {
        return -2;
    }
    // The loaded part covers only positions of its own structure: another structure's
    // film, or none, must be loaded even at 00:00:00.
    if (BelongsToCurrentStructure(FilmStructureType, FilmStructureID) && start <= position &&
        position <= stop) {
        return -1;
    }
    int chosen = -1;
    bool exact = false;
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < PlayList.size(); ++i) {
        const TPlayListItem& film = PlayList[i];
        if (!IsFilmOf(film, *CurrentStructure)) {
            continue;
        }
        if (film.StartTime <= position && position <= film.StopTime) {
            chosen = static_cast<int>(i);
            exact = true;
            break;
        }
        const int64_t distance = forward ? film.StartTime - position : position - film.StopTime;
        if (distance > 0 && distance < bestDistance) {
            bestDistance = distance;
            chosen = static_cast<int>(i);
        }
    }
    if (chosen < 0) {
        return -2;
    }
    const TPlayListItem& film = PlayList[static_cast<size_t>(chosen)];
    FilmStructureID = film.StructureID;
    FilmStructureType = film.StructureType;
    // A film of several structures is loaded for the one on screen.
    if (!NamesStructure(FilmStructureType, FilmStructureID, *CurrentStructure)) {
        for (const auto& [type, id] : film.MoreStructures) {
            if (NamesStructure(type, id, *CurrentStructure)) {
                FilmStructureType = type;
                FilmStructureID = id;
                break;
            }
        }
    }
    start = film.StartTime;
    stop = film.StopTime;
    if (!exact) {
        position = forward ? start : std::min<int64_t>(stop, std::llabs(stop - 2));
    }
    return chosen + 1;
}

void TKanvioContext::SeekPosition(bool fromFilmStart, int64_t position) {
    if (Seeking) {
        return;
    }
    LogLine("FrameNo:" + Number(position), LOG_DEBUG);
    int64_t start = FilmPartStart;
    int64_t stop = FilmPartStop;
    const int64_t current = GetCurrentPosition();
    const int64_t delta = position - current;
    LogLine("Start: " + Number(start) + ", Stop: " + Number(stop) + ", Req: " + Number(position),
            LOG_DEBUG);
    const int film = FindFilmPart(position, start, stop, delta > 0);
    LogLine("MovieIndex: " + std::to_string(film), LOG_DEBUG);
    IVideoWindow* video = Video();

    if (film >= 1) {
        SeekingGuard seeking(Seeking);
        const TPlayListItem& item = PlayList[static_cast<size_t>(film - 1)];
        FilmIndex = film - 1;
        FilmName = item.FileName;
        FilmPartStart = start;
        FilmPartStop = stop;
        StartTimeText = item.StartText;
        SetBusy(true);
        LogLine("SeekPosition -> Repainting graph", LOG_DEBUG);
        SyncCurrentStructure();
        const TVideoResult code =
            video != nullptr ? video->LoadMovieAuto(FilmName) : kGeneralFailure;
        if (code >= 0 && video != nullptr) {
            // A new film starts unzoomed at normal speed in the engine; the controls and
            // the keys still stand at the user's choice.
            if (ZoomFactor != 1.0f) {
                video->SetZoom(ZoomFactor);
            }
            if (PlayRate != 1.0) {
                video->SetSpeed(PlayRate);
            }
        }
        SetBusy(false);
        if (code < 0 && services_.Dialogs != nullptr) {
            services_.Dialogs->ShowMessage(TMessageKind::Error,
                                           LoadErrorText(code) + "\n" + RedactedUrl(FilmName));
        }
        ShowFilmName(ExtractFileName(FilmName));
        ShowStructureRanges();
    } else if (film == -2) {
        ShowFilmName(texts_.NoMovieFound);
        FilmStructureID = "-1";
        FilmStructureType.clear();
        return;
    }

    if (StartTimeText.size() > 8) {
        StartTimeText = StartTimeText.substr(1, 8);
    }
    int64_t startSeconds = 0;
    if (!TryTimeTextToSeconds(StartTimeText, startSeconds)) {
        // A film entry whose start is no time cannot be positioned in; say so once.
        LogLine("Error in TKanvioContext.SeekPosition: " + StartTimeText, LOG_ERROR);
        return;
    }
    FilmStartSeconds = startSeconds;
    int64_t offset = 0;
    if (!fromFilmStart) {
        offset = static_cast<int64_t>(std::nearbyint(
            (static_cast<double>(position) * LinearFactor - FilmStartSeconds) * 1000.0));
    }
    LogLine("offset:" + Number(offset), LOG_DEBUG);
    if (video != nullptr) {
        video->SeekTo(std::max<int64_t>(400, offset));
        if (LayoutMode == 0) {
            video->BringToFront();
        }
    }
    if (IPlayerControls* controls = Controls()) {
        controls->TrackBarTimer();
        if (film >= 1 && !fromFilmStart) {
            controls->FollowThumb();
        }
    }
}

void TKanvioContext::SeekDetail(int index) {
    if (TrailerPlaying || CurrentStructure == nullptr || CurrentStructure->Details.empty()) {
        return;
    }
    const int count = static_cast<int>(CurrentStructure->Details.size());
    const int i = index < 0 ? 0 : std::min(index, count - 1);
    CurrentDetail = CurrentStructure->Details[static_cast<size_t>(i)];
    CurrentDetailStructure = CurrentStructure;
    LogLine("SeekDetail -> SeekPosition", LOG_DEBUG);
    int64_t seconds = 0;
    if (!TryTimeTextToSeconds(CurrentDetail.VideoTime, seconds)) {
        // A click on an observation must never end the program over a damaged time.
        LogLine("Error in TKanvioContext.SeekDetail: " + CurrentDetail.VideoTime, LOG_ERROR);
        return;
    }
    SeekPosition(index < 0, seconds);
}

void TKanvioContext::PlayFilmIndex(int index) {
    if (index < 0 || static_cast<size_t>(index) >= PlayList.size()) {
        LogLine("Film index out of range.", LOG_DEBUG);
        return;
    }
    FilmIndex = index;
    LogLine("Playing " + std::to_string(index) + " film", LOG_DEBUG);
    SetBusy(true);
    const TPlayListItem& film = PlayList[static_cast<size_t>(index)];
    FilmName = film.FileName;
    int64_t position = film.StartTime;
    if (position == FilmPartStop) {
        ++position;
    }
    LogLine("Video: " + RedactedUrl(FilmName), LOG_DEBUG);
    LogLine("FilmPartStart: " + Number(FilmPartStart), LOG_DEBUG);
    LogLine("GraphComplete -> Repainting graph", LOG_DEBUG);
    SyncCurrentStructure();
    SeekPosition(true, position);
    SetBusy(false);
}

bool TKanvioContext::PlayFilm(const std::string& fileName, const std::string& timeText) {
    for (size_t i = 0; i < PlayList.size(); ++i) {
        if (PlayList[i].FileName != fileName) {
            continue;
        }
        if (PlayList[i].Structure != nullptr) {
            CurrentStructure = PlayList[i].Structure;
        }
        FilmIndex = static_cast<int32_t>(i);
        FilmName = fileName;
        LogLine("PlayFilm-> " + RedactedUrl(fileName), LOG_DEBUG);
        SeekPosition(timeText);
        return true;
    }
    return false;
}

bool TKanvioContext::SelectReach(const std::string& number) {
    for (const auto& reach : Reaches) {
        if (reach->ReachNumber == number) {
            CurrentStructure = reach.get();
            return true;
        }
    }
    return false;
}

bool TKanvioContext::SelectConnection(const std::string& number) {
    for (const auto& connection : Connections) {
        if (connection->ConnectionNumber == number) {
            CurrentStructure = connection.get();
            return true;
        }
    }
    return false;
}

void TKanvioContext::SyncCurrentStructure() {
    if (FilmIndex < 0 || static_cast<size_t>(FilmIndex) >= PlayList.size()) {
        return;
    }
    const TPlayListItem& film = PlayList[static_cast<size_t>(FilmIndex)];
    // A film of several structures stays with the one on screen when it shows it.
    if (CurrentStructure != nullptr && !film.MoreStructures.empty() &&
        IsFilmOf(film, *CurrentStructure)) {
        return;
    }
    TReachData* structure = film.Structure;
    if (structure != nullptr && structure != CurrentStructure) {
        CurrentStructure = structure;
        if (mainWindow_ != nullptr) {
            mainWindow_->ShowCurrentStructure();
        }
    }
}

void TKanvioContext::ShowIdleState() {
    if (IPlayerControls* controls = Controls()) {
        controls->SetTimeLabel(StartTimeText);
    }
    if (!FilmName.empty() && CurrentStructure != nullptr) {
        ShowFilmName(ExtractFileName(FilmName));
        UpdateTrackRange();
    } else {
        ShowFilmName(texts_.FilmList);
    }
}

void TKanvioContext::UpdateTrackRange() {
    IPlayerControls* controls = Controls();
    if (!FilmName.empty() && controls != nullptr) {
        controls->ShowTrackRange(FirstFilmStart, LastFilmStop, TotalFilmLength / 100);
    }
}

void TKanvioContext::ShowStructureRanges() {
    if (IPlayerControls* controls = Controls()) {
        controls->ShowFilmParts(StructureRangeLines());
    }
}

} // namespace kanvio
