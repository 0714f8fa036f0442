#include "ui/ThreeWindowLayout.h"

#include "core/KanvioContext.h"
#include "core/SplashForm.h"
#include "foundation/UserDialogs.h"
#include "ui/PictureCopy.h"
#include "ui/SteeringForm.h"
#include "video/StartupMarks.h"

#include <QGuiApplication>

namespace kanvio {

TThreeWindowLayout::TThreeWindowLayout(TKanvioContext& context) : context_(context) {}

TThreeWindowLayout::~TThreeWindowLayout() {
    DestroyPlayerWindows();
    for (const QPointer<QWidget>& window : retired_) {
        delete window.data(); // still waiting for the event loop to delete it
    }
}

void TThreeWindowLayout::CreatePlayerWindows() {
    if (screenForm_ || steeringForm_) {
        return;
    }
    // The video window comes first: the control window's first refresh asks it for the
    // position.
    screenForm_ = new TScreenForm(context_.RendererMode, *this, *this, context_.Services().Dialogs);
    MarkStartup("video window built");
    steeringForm_ = new TSteeringForm(context_);
    MarkStartup("control window built");
}

IVideoWindow* TThreeWindowLayout::Video() {
    return screenForm_.data();
}

IPlayerControls* TThreeWindowLayout::Controls() {
    return steeringForm_.data();
}

void TThreeWindowLayout::ShowPlayerWindows() {
    if (screenForm_) {
        screenForm_->show();
    }
    if (steeringForm_) {
        steeringForm_->show();
    }
}

void TThreeWindowLayout::FollowMainWindow() {
    if (screenForm_) {
        screenForm_->PlaceFromRegistry();
    }
    if (steeringForm_) {
        steeringForm_->PlaceFromRegistry();
    }
}

void TThreeWindowLayout::CloseSplash() {
    DismissSplash(splash_);
}

void TThreeWindowLayout::DestroyPlayerWindows() {
    // The windows may be freed from one of their own handlers (the Off button): they
    // store their places and let go of the engine now, and are deleted once control is
    // back in the event loop. The player sees neither of them from here on.
    TSteeringForm* steering = steeringForm_.data();
    TScreenForm* screen = screenForm_.data();
    steeringForm_ = nullptr;
    screenForm_ = nullptr;
    if (steering != nullptr) {
        steering->Destroy();
        steering->hide();
        steering->deleteLater();
        retired_.emplace_back(steering);
    }
    if (screen != nullptr) {
        screen->Destroy();
        screen->hide();
        screen->deleteLater();
        retired_.emplace_back(screen);
    }
}

void TThreeWindowLayout::HandleKey(uint16_t key, bool ctrl) {
    context_.HandleKey(key, ctrl);
}

void TThreeWindowLayout::SaveImage() {
    context_.SaveImage();
}

void TThreeWindowLayout::PrintImage() {
    context_.PrintImage();
}

void TThreeWindowLayout::CopyImage() {
    if (IUserDialogs* dialogs = context_.Services().Dialogs) {
        TPictureCopy(context_, *dialogs).CopyToClipboard(*QGuiApplication::clipboard());
    }
}

void TThreeWindowLayout::SaveCaptionedImage() {
    if (IUserDialogs* dialogs = context_.Services().Dialogs) {
        TPictureCopy(context_, *dialogs).SaveWithCaption();
    }
}

void TThreeWindowLayout::MovieComplete() {
    // A film change is under way: its end of stream belongs to a film being replaced.
    if (context_.Seeking) {
        return;
    }
    context_.NextFilm();
}

int32_t TThreeWindowLayout::FilterStrategy() const {
    return context_.FilterStrategy;
}

} // namespace kanvio
