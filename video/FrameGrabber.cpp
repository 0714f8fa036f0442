#include "video/FrameGrabber.h"

#include "foundation/Errors.h"
#include "video/MultimediaEngine.h"
#include "video/VideoDisplay.h"
#include "video/VideoTypes.h"

namespace kanvio {

TFrameGrabber::TFrameGrabber() : settings_(std::make_unique<TFixedEngineSettings>(lsSystem)) {}

TFrameGrabber::~TFrameGrabber() = default;

QImage TFrameGrabber::Grab(const std::string& film, int64_t ms) {
    if (ms < 0)
        throw EInOutError(film, "no frame before the film's start (" + std::to_string(ms) + " ms)");
    if (!engine_ || loaded_ != film) {
        loaded_.clear();
        engine_ = std::make_unique<TMMEngine>(rmVMR, nullptr, *settings_);
        // Paused on the first frame at once; the pictures are found by the key frames
        // around them rather than by reading the whole film first.
        engine_->SetPlayPauseStepMs(0);
        engine_->SetWholeIndexing(false);
        const HResult status = engine_->LoadMovieAuto(film);
        if (Failed(status)) {
            engine_.reset();
            throw EInOutError(film, "the film cannot be loaded (" + ResultCodeText(status) + ")");
        }
        loaded_ = film;
        ++loads_;
    }
    HResult status = engine_->SeekTo(ms);
    QImage frame;
    if (Succeeded(status))
        status = engine_->GrabPicture(frame);
    if (Failed(status) || frame.isNull()) {
        // A pipeline that failed once starts afresh for the next picture.
        engine_.reset();
        loaded_.clear();
        throw EInOutError(film, "no picture at " + std::to_string(ms) + " ms (" +
                                    ResultCodeText(status) + ")");
    }
    return frame;
}

QImage FitPicture(const QImage& picture, QSize size) {
    if (size.isEmpty() || picture.isNull() || picture.size() == size)
        return picture;
    return picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace kanvio
