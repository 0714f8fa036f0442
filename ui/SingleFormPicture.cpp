// TKanvioSingleForm: the picture of its own engine, for the picture panel and stills.

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

} // namespace kanvio
