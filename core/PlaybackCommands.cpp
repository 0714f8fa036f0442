// The player's commands that do not move the position: start, trailer, play, pause,
// stop, film steps, zoom, keyboard and help.

#include "core/KanvioContext.h"
#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

namespace kanvio {

namespace {

enum TVirtualKey : uint16_t {
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_LEFT = 37,
    VK_RIGHT = 39,
    VK_A = 65,
    VK_B = 66,
    VK_C = 67,
    VK_K = 75,
    VK_P = 80,
    VK_S = 83,
    VK_T = 84,
    VK_V = 86,
    VK_X = 88,
    VK_Z = 90,
    VK_F11 = 122,
};

constexpr const char* kTrailerFileName = "kanvio.mpg";

} // namespace

void TKanvioContext::StartPlayer() {
    if (playerWindows_ != nullptr) {
        playerWindows_->CreatePlayerWindows();
        if (IVideoWindow* video = Video()) {
            video->ApplyDecoderPriorities();
        }
    }
    if (mainWindow_ != nullptr) {
        mainWindow_->ShowStructureList();
    }
    // Coming from another layout, the user goes on where they were: no trailer.
    TrailerPlaying = !ResumePending() && PlayTrailer();
    if (!TrailerPlaying) {
        ShowIdleState();
    } else {
        ShowFilmName(texts_.Trailer);
        if (IPlayerControls* controls = Controls()) {
            controls->EnableControls(false);
        }
        if (mainWindow_ != nullptr) {
            mainWindow_->EnableControls(false);
        }
    }
    CloseSplash();
}

bool TKanvioContext::PlayTrailer() {
    const std::string trailer = FindFileIgnoringCase(GetProjectFolder() + kTrailerFileName);
    IVideoWindow* video = Video();
    if (video == nullptr || !FileExists(trailer)) {
        return false;
    }
    return video->LoadMovieAuto(trailer) >= 0 && video->PlayMovie() >= 0;
}

void TKanvioContext::CloseSplash() {
    if (playerWindows_ != nullptr) {
        playerWindows_->CloseSplash();
        playerWindows_->ShowPlayerWindows();
    }
}

void TKanvioContext::Play(double rate) {
    Playing = true;
    PlayRate = rate;
    IPlayerControls* controls = Controls();
    if (controls != nullptr) {
        controls->ShowPlaying(true);
    }
    if (IVideoWindow* video = Video()) {
        if (LayoutMode == 0) {
            video->BringToFront();
        }
        video->SetSpeed(rate);
        video->PlayMovie();
    }
    if (controls != nullptr) {
        controls->SetTrackTimer(true);
    }
}

void TKanvioContext::Pause() {
    Playing = false;
    if (IVideoWindow* video = Video()) {
        video->PauseMovie();
    }
    if (IPlayerControls* controls = Controls()) {
        // Whatever paused the film, the Play button must not go on showing "playing".
        controls->ReleasePlayButton();
        controls->SetTrackTimer(false);
    }
}

TVideoResult TKanvioContext::Stop() {
    IVideoWindow* video = Video();
    return video != nullptr ? video->StopMovie() : 0;
}

void TKanvioContext::NextFilm() {
    if (!TrailerPlaying) {
        PlayFilmIndex(FilmIndex + 1);
        return;
    }
    Stop();
    TrailerPlaying = false;
    if (IPlayerControls* controls = Controls()) {
        controls->EnableControls(true);
    }
    if (mainWindow_ != nullptr) {
        mainWindow_->EnableControls(true);
        mainWindow_->SelectInitialStructure();
    }
    ShowIdleState();
}

void TKanvioContext::PreviousFilm() {
    PlayFilmIndex(FilmIndex - 1);
}

void TKanvioContext::SetZoom(float factor) {
    if (IVideoWindow* video = Video()) {
        video->SetZoom(factor);
    }
}

void TKanvioContext::ShowFilmName(const std::string& text) {
    if (IPlayerControls* controls = Controls()) {
        controls->SetFilmName(text, HasColorControl());
    }
}

bool TKanvioContext::HasColorControl() {
    IVideoWindow* video = Video();
    return video != nullptr && video->CanChangePictureProps();
}

void TKanvioContext::ShowColorControl() {
    if (IVideoWindow* video = Video()) {
        video->ShowColorControl();
    }
}

int TKanvioContext::GetMovieFormat() {
    IVideoWindow* video = Video();
    return video != nullptr ? video->MovieFormat() : 0;
}

void TKanvioContext::HandleKey(uint16_t key, bool ctrl) {
    // The zoom keys work with and without Ctrl; the factor steps in single precision.
    if (key == VK_LEFT || key == VK_RIGHT) {
        if (key == VK_LEFT && ZoomFactor > 1.0f) {
            ZoomFactor = ZoomFactor - 0.2f;
        } else if (key == VK_RIGHT && ZoomFactor < 3.0f) {
            ZoomFactor = ZoomFactor + 0.2f;
        }
        SetZoom(ZoomFactor);
        return;
    }
    if (ctrl) {
        switch (key) {
        case VK_P:
            PrintImage();
            break;
        case VK_S:
            SaveImage();
            break;
        case VK_T:
            ShowTimeCorrection();
            break;
        case VK_K:
            ShowColorControl();
            break;
        default:
            break;
        }
        return;
    }
    IPlayerControls* controls = Controls();
    IVideoWindow* video = Video();
    switch (key) {
    case VK_ESCAPE:
        if (video != nullptr && video->IsFullScreen()) {
            video->ToggleFullScreen();
        }
        break;
    case VK_SPACE:
        if (Playing) {
            Pause();
        } else {
            Play(1.0);
        }
        break;
    case VK_PRIOR:
        PreviousFilm();
        break;
    case VK_NEXT:
        NextFilm();
        break;
    case VK_A:
        if (controls != nullptr) {
            controls->SetFastView(!controls->IsFastViewOn());
        }
        break;
    case VK_B:
        if (controls != nullptr) {
            controls->SkipForwardButtonClick();
        }
        break;
    case VK_C:
        if (controls != nullptr) {
            controls->PauseButtonClick();
        }
        break;
    case VK_V:
        if (controls != nullptr) {
            controls->StopButtonClick();
        }
        break;
    case VK_X:
        if (controls != nullptr) {
            controls->PlayButtonClick();
        }
        break;
    case VK_Z:
        if (controls != nullptr) {
            controls->SkipbackButtonClick();
        }
        break;
    case VK_F11:
        if (video != nullptr) {
            video->ToggleFullScreen();
        }
        break;
    default:
        break;
    }
}

void TKanvioContext::OpenHelp() {
    SetBusy(true);
    bool writable = false;
    std::string code = DefaultLanguage();
    if (auto settings = OpenProgramSettings(writable)) {
        code = settings->ReadString("Common", "Language", code);
    }
    const std::string folder = GetProgramFolder();
    std::string file = FindFileIgnoringCase(folder + code + "/help_" + code + ".html");
    if (!FileExists(file)) {
        file = FindFileIgnoringCase(folder + "de/help.html");
    }
    SetBusy(false);
    // Only a missing file is the help file's fault; how it is shown is the desktop's.
    if (!FileExists(file)) {
        if (services_.Dialogs != nullptr) {
            services_.Dialogs->ShowMessage(TMessageKind::Error, texts_.HelpFileNotFound);
        }
    } else if (services_.Desktop != nullptr) {
        services_.Desktop->OpenDocument(file);
    }
}

} // namespace kanvio
