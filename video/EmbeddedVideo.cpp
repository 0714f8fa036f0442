#include "video/EmbeddedVideo.h"

#include "video/FilterPriorities.h"
#include "video/VideoDisplayWidget.h"

namespace kanvio {

class TEmbeddedVideo::TDisplayGate final : public IVideoDisplay {
public:
    explicit TDisplayGate(TVideoDisplayWidget& display) : display_(display) {}
    void SetOpen(bool open) { open_ = open; }

    void ShowFrame(const QImage& frame) override {
        if (open_) {
            display_.ShowFrame(frame);
        }
    }
    void SetPixelAspect(double aspect) override { display_.SetPixelAspect(aspect); }
    void SetSourceRect(const QRect& source) override { display_.SetSourceRect(source); }
    uintptr_t NativeWindowHandle() override { return display_.NativeWindowHandle(); }
    QSize DisplaySize() const override { return display_.DisplaySize(); }
    QSize ScreenSize() const override { return display_.ScreenSize(); }
    bool SetHostFullScreen(bool fullScreen) override {
        return display_.SetHostFullScreen(fullScreen);
    }
    void Repaint() override { display_.Repaint(); }

private:
    TVideoDisplayWidget& display_;
    bool open_ = true;
};

TEmbeddedVideo::TEmbeddedVideo(TVideoDisplayWidget& display, int32_t rendererMode,
                               const IEngineSettings& settings, IUserDialogs* dialogs)
    : display_(display), gate_(std::make_unique<TDisplayGate>(display)),
      engine_(std::make_unique<TMMEngine>(rendererMode, gate_.get(), settings, dialogs)) {
    engine_->OnComplete = [this] {
        if (!staleFilm_ && OnComplete) {
            OnComplete();
        }
    };
}

TEmbeddedVideo::~TEmbeddedVideo() {
    Release();
}

void TEmbeddedVideo::Release() {
    engine_.reset();
}

TVideoResult TEmbeddedVideo::LoadMovieAuto(const std::string& fileName) {
    if (!engine_) {
        return E_FAIL;
    }
    const TVideoResult result = engine_->LoadMovieAuto(fileName);
    staleFilm_ = Failed(result) && !engine_->FileName().empty() && engine_->FileName() != fileName;
    gate_->SetOpen(!staleFilm_);
    if (staleFilm_) {
        engine_->PauseMovie();
    }
    // Whatever failed, the picture on screen is another film's and must not stand under
    // this one's name.
    if (Failed(result)) {
        display_.ClearFrame();
    }
    return result;
}

TVideoResult TEmbeddedVideo::PlayMovie() {
    return Usable() ? engine_->PlayMovie() : E_FAIL;
}

TVideoResult TEmbeddedVideo::PauseMovie() {
    return Usable() ? engine_->PauseMovie() : E_FAIL;
}

TVideoResult TEmbeddedVideo::StopMovie() {
    return Usable() ? engine_->StopMovie() : E_FAIL;
}

TVideoResult TEmbeddedVideo::SeekTo(int64_t milliseconds) {
    return Usable() ? engine_->SeekTo(milliseconds) : E_FAIL;
}

void TEmbeddedVideo::SetSpeed(double rate) {
    if (Usable()) {
        engine_->SetSpeed(rate);
    }
}

int64_t TEmbeddedVideo::GetCurrentPosition() {
    return Usable() ? engine_->GetCurrentPosition() : 0;
}

void TEmbeddedVideo::SetZoom(float factor) {
    if (engine_) {
        engine_->SetZoom(factor);
    }
}

bool TEmbeddedVideo::ToggleFullScreen() {
    return engine_ ? engine_->ToggleFullScreen() : false;
}

int TEmbeddedVideo::MovieFormat() const {
    return engine_ ? static_cast<int>(engine_->MovieFormat()) : 0;
}

bool TEmbeddedVideo::CanChangePictureProps() {
    return engine_ && engine_->CanChangePictureProps();
}

void TEmbeddedVideo::ApplyDecoderPriorities() {
    if (!engine_) {
        return;
    }
    TFilterLists installed;
    engine_->EnumDecoders(installed);
    engine_->SetPriorityLists(LoadFilterPriorities(installed, false));
}

void TEmbeddedVideo::SetPriorityLists(const TFilterLists& lists) {
    if (engine_) {
        engine_->SetPriorityLists(lists);
    }
}

void TEmbeddedVideo::Resize(int width, int height) {
    if (engine_) {
        engine_->Resize(width, height);
    }
}

TVideoResult TEmbeddedVideo::GrabPicture(QImage& bitmap) {
    return Usable() ? engine_->GrabPicture(bitmap) : E_FAIL;
}

} // namespace kanvio
