// TKanvioSingleForm as the player's video: its own engine, for playback, the picture panel
// and stills.

#include "core/KanvioContext.h"
#include "ui/KanvioSingleForm.h"
#include "video/ColorControlForm.h"
#include "video/EmbeddedVideo.h"
#include "video/MultimediaEngine.h"
#include "video/VideoDisplayWidget.h"

namespace kanvio {

void TKanvioSingleForm::ShowColorControl() {
    TMMEngine* engine = video_ ? video_->Engine() : nullptr;
    if (engine == nullptr) {
        return;
    }
    BringToFront();
    OpenColorControl(*this, *videoWindow_, *engine, colorControl_);
}

TVideoResult TKanvioSingleForm::GrabPicture(QImage& bitmap) {
    return video_ ? video_->GrabPicture(bitmap) : E_FAIL;
}

int32_t TKanvioSingleForm::FilterStrategy() const {
    return context_.FilterStrategy;
}

TVideoResult TKanvioSingleForm::LoadMovieAuto(const std::string& fileName) {
    return video_->LoadMovieAuto(fileName);
}

TVideoResult TKanvioSingleForm::PlayMovie() {
    return video_->PlayMovie();
}

TVideoResult TKanvioSingleForm::PauseMovie() {
    return video_->PauseMovie();
}

TVideoResult TKanvioSingleForm::StopMovie() {
    return video_->StopMovie();
}

TVideoResult TKanvioSingleForm::SeekTo(int64_t milliseconds) {
    return video_->SeekTo(milliseconds);
}

void TKanvioSingleForm::SetSpeed(double rate) {
    video_->SetSpeed(rate);
}

int64_t TKanvioSingleForm::GetCurrentPosition() {
    return video_->GetCurrentPosition();
}

void TKanvioSingleForm::SetZoom(float factor) {
    video_->SetZoom(factor);
}

int TKanvioSingleForm::MovieFormat() const {
    return video_->MovieFormat();
}

bool TKanvioSingleForm::CanChangePictureProps() {
    return video_->CanChangePictureProps();
}

void TKanvioSingleForm::BringToFront() {
    raise();
    activateWindow();
}

void TKanvioSingleForm::ApplyDecoderPriorities() {
    video_->ApplyDecoderPriorities();
}

void TKanvioSingleForm::SetPriorityLists(const TFilterLists& lists) {
    video_->SetPriorityLists(lists);
}

} // namespace kanvio
