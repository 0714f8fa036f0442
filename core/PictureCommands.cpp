// The player's commands that keep what the film shows: still images, printouts and the
// time correction of an observation.

#include "core/KanvioContext.h"
#include "core/StillImages.h"
#include "core/TimeText.h"
#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

#include <QImage>
#include <limits>
#include <unistd.h>

namespace kanvio {

namespace {

bool IsReadOnlyFile(const std::string& fileName) {
    return FileExists(fileName) && ::access(fileName.c_str(), W_OK) != 0;
}

bool FitsInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() &&
           value <= std::numeric_limits<int32_t>::max();
}

// "H0123-456" for a reach, "H0123-456 / A0123-456.01" for a connection of it.
std::string StructureNumber(const TReachData& structure) {
    if (structure.ObjectType != 'A' || structure.ConnectionNumber.empty()) {
        return structure.ReachNumber;
    }
    return structure.ReachNumber.empty()
               ? structure.ConnectionNumber
               : structure.ReachNumber + " / " + structure.ConnectionNumber;
}

// ISYBAU observations carry their code only in front of their text: "(BCDA) ...".
std::string ObservationCode(const TReachDetail& detail) {
    if (!detail.Code.empty() || detail.Text.empty() || detail.Text[0] != '(') {
        return detail.Code;
    }
    const size_t close = detail.Text.find(')');
    return close == std::string::npos ? std::string() : detail.Text.substr(1, close - 1);
}

TStillImageTexts StillTexts(const TContextTexts& texts) {
    return {texts.Image, texts.NoPicture, texts.SaveFailed, texts.PrintFailed};
}

} // namespace

bool TKanvioContext::SaveImage() {
    return TStillImages(Video(), services_.Dialogs, services_.Printers, StillTexts(texts_))
        .SaveImage();
}

bool TKanvioContext::PrintImage() {
    return TStillImages(Video(), services_.Dialogs, services_.Printers, StillTexts(texts_))
        .PrintImage();
}

bool TKanvioContext::PrintStructure(const QImage& panel, const QImage& graphic) {
    return TStillImages(Video(), services_.Dialogs, services_.Printers, StillTexts(texts_))
        .PrintStructure(panel, graphic);
}

int TKanvioContext::FilmHolding(const TReachData& structure, int64_t time) const {
    auto holds = [&](size_t index) {
        const TPlayListItem& film = PlayList[index];
        return IsFilmOf(film, structure) && film.StartTime <= time && time <= film.StopTime;
    };
    // Where two parts meet, the time belongs to the one on screen.
    if (FilmIndex >= 0 && static_cast<size_t>(FilmIndex) < PlayList.size() &&
        holds(static_cast<size_t>(FilmIndex))) {
        return FilmIndex;
    }
    for (size_t i = 0; i < PlayList.size(); ++i) {
        if (holds(i)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TKanvioContext::ShowTimeCorrection() {
    // Nothing may be written to a delivery on a disc.
    if (RunsFromCD || services_.TimeCorrectionUi == nullptr) {
        return;
    }
    Pause();
    TPendingCorrection pending;
    pending.Detail = CurrentDetail;
    pending.Structure =
        CurrentDetailStructure != nullptr ? CurrentDetailStructure : CurrentStructure;
    int64_t at = 0;
    // The correction belongs to the film in which the observation is seen, which need not
    // be the one playing now.
    if (pending.Structure != nullptr &&
        TryTimeTextToSeconds(TrimLeadingBlanks(pending.Detail.VideoTime), at)) {
        pending.FilmIndex = FilmHolding(*pending.Structure, at);
    }

    TTimeCorrectionSubject subject;
    if (pending.Structure != nullptr) {
        const TReachData& structure = *pending.Structure;
        subject.Structure = ObjectTypeText(structure.ObjectType) + " " + StructureNumber(structure);
    }
    subject.Distance = pending.Detail.Distance;
    subject.LengthFormat = LengthFormat;
    subject.LengthUnit = LengthUnit;
    subject.Code = ObservationCode(pending.Detail);
    subject.VideoTime = pending.Detail.VideoTime;
    if (pending.FilmIndex >= 0) {
        const TPlayListItem& film = PlayList[static_cast<size_t>(pending.FilmIndex)];
        subject.FilmName = ExtractFileName(film.FileName);
        subject.Seconds = LookupTimeCorrection(film.TimeCorrections, at);
    }
    pendingCorrection_ = std::move(pending);
    services_.TimeCorrectionUi->ShowTimeCorrection(
        subject,
        [this](bool confirmed, int32_t seconds) { TimeCorrectionClosed(confirmed, seconds); });
}

void TKanvioContext::TimeCorrectionClosed(bool confirmed, int32_t seconds) {
    if (!confirmed || !pendingCorrection_) {
        pendingCorrection_.reset();
        return;
    }
    const TPendingCorrection pending = std::move(*pendingCorrection_);
    pendingCorrection_.reset();
    const std::string timeText = pending.Detail.VideoTime;
    int64_t at = 0;
    // Without an observation there is no time to correct; an entry under an empty key
    // would only confuse the lookup.
    if (!TryTimeTextToSeconds(TrimLeadingBlanks(timeText), at)) {
        LogLine("Time correction without an observation time ('" + timeText + "') ignored",
                LOG_WARNING);
        return;
    }
    // Filed under a film that does not show the time, it would shift that film's display
    // from the wrong place on.
    if (pending.FilmIndex < 0) {
        LogLine("Time correction at " + timeText + " not stored: no film of the structure holds it",
                LOG_WARNING);
        return;
    }
    const TPlayListItem& film = PlayList[static_cast<size_t>(pending.FilmIndex)];
    const std::string filmName = ExtractFileName(film.FileName);
    auto showFailure = [this](const std::string& detail) {
        LogLine("Time correction not stored: " + detail, LOG_ERROR);
        if (services_.Dialogs != nullptr) {
            services_.Dialogs->ShowMessage(TMessageKind::Error, texts_.SaveFailed + "\n" + detail);
        }
    };

    if (IsReadOnlyFile(settings_->FileName())) {
        showFailure(settings_->FileName() + ": the file is read-only");
    } else {
        try {
            // The section belongs to the film's entry number, which a list with gaps does
            // not share with its place in the list.
            settings_->WriteString("TIMECORR_" + std::to_string(film.Number), timeText,
                                   std::to_string(seconds));
            settings_->UpdateFile();
        } catch (const EKanvioError& error) {
            showFailure(error.what());
        }
    }

    const std::string zfFile = FindFileIgnoringCase(GetProjectFolder() + ZFFileName);
    if (!ZFFileName.empty() && FileExists(zfFile) && services_.TimeCodes != nullptr) {
        const int64_t timeCodeFrame = at * FramesPerSecond;
        const int64_t filmFrame = (at + seconds) * FramesPerSecond;
        try {
            if (!FitsInt32(timeCodeFrame) || !FitsInt32(filmFrame)) {
                throw ERangeError(zfFile + ": a correction of " + std::to_string(seconds) +
                                  " seconds gives a frame number beyond the file's range");
            }
            if (!services_.TimeCodes->AddOffset(zfFile, filmName,
                                                static_cast<int32_t>(timeCodeFrame),
                                                static_cast<int32_t>(filmFrame))) {
                LogLine(zfFile + " has no film " + filmName, LOG_WARNING);
            }
        } catch (const EKanvioError& error) {
            showFailure(error.what());
        }
    }

    LoadTimeCorrections();
    // Back to the corrected observation, in its own structure.
    if (pending.Structure != nullptr && pending.Structure != CurrentStructure) {
        CurrentStructure = pending.Structure;
        if (mainWindow_ != nullptr) {
            mainWindow_->ShowCurrentStructure();
        }
    }
    SeekPosition(timeText);
}

} // namespace kanvio
