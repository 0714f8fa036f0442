// The player's commands that keep what the film shows: still images, printouts and the
// time correction of an observation.

#include "core/KanvioContext.h"
#include "core/StillImages.h"
#include "core/TimeText.h"
#include "foundation/BigIniFile.h"
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

void TKanvioContext::ShowTimeCorrection() {
    // Nothing may be written to a delivery on a disc.
    if (RunsFromCD || services_.TimeCorrectionUi == nullptr) {
        return;
    }
    Pause();
    services_.TimeCorrectionUi->ShowTimeCorrection(
        GetCurrentTimeCorrection(),
        [this](bool confirmed, int32_t seconds) { TimeCorrectionClosed(confirmed, seconds); });
}

void TKanvioContext::TimeCorrectionClosed(bool confirmed, int32_t seconds) {
    if (!confirmed) {
        return;
    }
    const std::string timeText = CurrentDetail.VideoTime;
    int64_t at = 0;
    // Without an observation there is no time to correct; an entry under an empty key
    // would only confuse the lookup.
    if (!TryTimeTextToSeconds(TrimLeadingBlanks(timeText), at)) {
        LogLine("Time correction without an observation time ('" + timeText + "') ignored",
                LOG_WARNING);
        return;
    }
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
            const bool listed = FilmIndex >= 0 && static_cast<size_t>(FilmIndex) < PlayList.size();
            const int32_t film =
                listed ? PlayList[static_cast<size_t>(FilmIndex)].Number : FilmIndex + 1;
            settings_->WriteString("TIMECORR_" + std::to_string(film), timeText,
                                   std::to_string(seconds));
            settings_->UpdateFile();
        } catch (const EKanvioError& error) {
            showFailure(error.what());
        }
    }

    const std::string zfFile = FindFileIgnoringCase(GetProgramFolder() + ZFFileName);
    if (!ZFFileName.empty() && FileExists(zfFile) && services_.TimeCodes != nullptr) {
        const int64_t timeCodeFrame = at * FramesPerSecond;
        const int64_t filmFrame = (at + seconds) * FramesPerSecond;
        try {
            if (!FitsInt32(timeCodeFrame) || !FitsInt32(filmFrame)) {
                throw ERangeError(zfFile + ": a correction of " + std::to_string(seconds) +
                                  " seconds gives a frame number beyond the file's range");
            }
            if (!services_.TimeCodes->AddOffset(zfFile, ExtractFileName(FilmName),
                                                static_cast<int32_t>(timeCodeFrame),
                                                static_cast<int32_t>(filmFrame))) {
                LogLine(zfFile + " has no film " + ExtractFileName(FilmName), LOG_WARNING);
            }
        } catch (const EKanvioError& error) {
            showFailure(error.what());
        }
    }

    LoadTimeCorrections();
    SeekPosition(timeText);
}

} // namespace kanvio
