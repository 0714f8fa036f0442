// Switching between the three-window and the single-window layouts while the player runs:
// the new windows come back to the structure and the frame the user was looking at.

#include "core/KanvioContext.h"
#include "foundation/Logging.h"

#include <algorithm>

namespace kanvio {

bool TKanvioContext::SwitchLayout(int layout) {
    if (layout < 0 || layout > 2 || layout == LayoutMode || ShutDownDone) {
        return false;
    }
    TLayoutResume resume;
    resume.Structure = CurrentStructure;
    if (CurrentStructure != nullptr && !TrailerPlaying &&
        BelongsToCurrentStructure(FilmStructureType, FilmStructureID)) {
        resume.FilmIndex = FilmIndex;
        resume.TimelineSeconds = GetCurrentPosition();
        if (IVideoWindow* video = Video()) {
            resume.FilmMilliseconds = video->GetCurrentPosition() / 10000;
        }
    }
    resume_ = resume;
    pendingLayout_ = layout;
    LogLine("Layout " + std::to_string(LayoutMode) + " -> " + std::to_string(layout), LOG_DEBUG);
    if (mainWindow_ != nullptr) {
        mainWindow_->CloseMainWindow();
    }
    return true;
}

bool TKanvioContext::BeginPendingLayout() {
    if (pendingLayout_ < 0) {
        return false;
    }
    LayoutMode = static_cast<uint8_t>(pendingLayout_);
    pendingLayout_ = -1;
    // The old layout's engine is gone with its windows: no film is loaded now, and the new
    // video and zoom bar start unzoomed, at normal speed.
    ShutDownDone = false;
    ZoomFactor = 1.0f;
    PlayRate = 1.0;
    Seeking = false;
    Playing = false;
    TrailerPlaying = false;
    FilmStructureID = "-1";
    FilmStructureType.clear();
    FilmPartStart = 0;
    FilmPartStop = 0;
    CachedPosition = 0;
    return true;
}

bool TKanvioContext::ResumeAfterLayoutSwitch() {
    if (!resume_) {
        return false;
    }
    const TLayoutResume resume = *resume_;
    resume_.reset();
    if (resume.Structure == nullptr) {
        return false;
    }
    CurrentStructure = resume.Structure;
    if (resume.FilmIndex < 0) {
        SeekDetail(-1);
    } else {
        SeekPosition(false, resume.TimelineSeconds);
        // The timeline counts in seconds; the frame itself is sought in its film.
        IVideoWindow* video = Video();
        if (video != nullptr && FilmIndex == resume.FilmIndex) {
            video->SeekTo(std::max<int64_t>(400, resume.FilmMilliseconds));
            if (IPlayerControls* controls = Controls()) {
                controls->TrackBarTimer();
            }
        }
    }
    if (mainWindow_ != nullptr) {
        mainWindow_->ShowCurrentStructure();
    }
    return true;
}

} // namespace kanvio
