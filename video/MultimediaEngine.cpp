#include "video/MultimediaEngine.h"

#include "foundation/FilmUrl.h"
#include "foundation/Logging.h"
#include "video/DecoderCatalog.h"
#include "video/FormatDetection.h"
#include "video/HttpByteSource.h"
#include "video/KeyFrameIndexer.h"
#include "video/PlaybackPipeline.h"
#include "video/StartupMarks.h"
#include "video/UiThreadPoster.h"

#include <QCursor>
#include <QGuiApplication>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/stat.h>
#include <thread>

namespace kanvio {

namespace {

bool IsExistingFile(const std::string& fileName) {
    if (IsWebFilm(fileName)) {
        // A film on a web server exists when the server hands out its first bytes.
        try {
            THttpByteSource film(fileName);
            return film.Size() > 0;
        } catch (const EKanvioError& error) {
            LogLine("MMEngine->LoadMovie: " + std::string(error.what()), LOG_ERROR);
            return false;
        }
    }
    struct stat info {};
    return !fileName.empty() && stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// A busy cursor while the UI thread waits, when there is a GUI at all.
class TBusyCursor {
public:
    TBusyCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (shown_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TBusyCursor() {
        if (shown_)
            QGuiApplication::restoreOverrideCursor();
    }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    bool shown_;
};

// Nearest integer, ties to even.
int32_t RoundEven(double value) {
    return static_cast<int32_t>(std::nearbyint(value));
}

} // namespace

TMMEngine::TMMEngine(int32_t rendererMode, IVideoDisplay* display, const IEngineSettings& settings,
                     IUserDialogs* dialogs)
    : display_(display), settings_(settings), dialogs_(dialogs),
      poster_(std::make_unique<TUiThreadPoster>()), frames_(std::make_shared<TFrameSlot>()) {
    EnsureGStreamer();
    rendererMode_ = rendererMode == rmNormal ? rmNormal : rmVMR;
    if (rendererMode_ == rmNormal) {
        nativeSink_ = ChooseNativeSink();
        if (nativeSink_.empty())
            rendererMode_ = rmVMR; // no windowing system that a native sink can draw on
    }
    if (rendererMode_ == rmVMR) {
        LogLine("MMEngine->Create: VideoMode VMR", LOG_DEBUG);
    } else {
        LogLine("MMEngine->Create: VideoMode NORMAL", LOG_DEBUG);
        LogLine("MMEngine->Create: Overlay created", LOG_DEBUG);
    }
    picture_ = std::make_unique<TBalanceElementBackend>(nullptr);
}

TMMEngine::~TMMEngine() {
    Destroy();
}

void TMMEngine::Destroy() {
    indexer_.reset(); // stops a scan still under way
    TearDown();
    OnComplete = nullptr;
}

// The first native sink that reaches READY here: xvimagesink needs an Xv port, the GL
// sink a GL context, the X sink only an X server.
std::string TMMEngine::ChooseNativeSink() {
    for (const char* factory : {"xvimagesink", "glimagesink", "ximagesink"}) {
        GstElement* sink = gst_element_factory_make(factory, nullptr);
        if (!sink)
            continue;
        gst_object_ref_sink(sink);
        const bool ready = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        if (ready)
            return factory;
    }
    return {};
}

void TMMEngine::TearDown() {
    ++generation_;
    picture_ = std::make_unique<TBalanceElementBackend>(nullptr);
    pipeline_.reset(); // NULL state first: the streaming threads are gone after this
    frames_->Clear();
}

HResult TMMEngine::LoadMovieAuto(const std::string& fileName, int32_t) {
    if (!IsExistingFile(fileName))
        return MM_E_NO_FILE;
    std::array<int32_t, 3> order = {lsPredefined, lsPriorities, lsSystem};
    const int32_t preferred = settings_.FilterStrategy();
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == preferred) {
            std::swap(order[0], order[i]);
            break;
        }
    }
    for (int32_t strategy : order) {
        LogLine("MMEngine->LoadMovieAuto: Trying strategy " + std::to_string(strategy), LOG_ERROR);
        try {
            if (Succeeded(LoadMovie(fileName, strategy)))
                return S_OK;
        } catch (const std::exception& error) {
            TearDown();
            LogLine("MMEngine->LoadMovieAuto: " + RedactedUrl(fileName) + ", " +
                        std::to_string(strategy),
                    LOG_ERROR);
            LogLine("MMEngine->LoadMovieAuto: " + std::string(error.what()), LOG_ERROR);
        }
    }
    return MM_E_ALL_STRATEGIES;
}

HResult TMMEngine::LoadMovie(const std::string& fileName, int32_t strategy) {
    if (!IsExistingFile(fileName))
        return MM_E_NO_FILE;
    TBusyCursor busy;
    MarkStartup("film load begun");
    fileName_ = fileName;
    LogLine("MMEngine->LoadMovie: Loading file " + RedactedUrl(fileName) + ". Strategy " +
                std::to_string(strategy),
            LOG_DEBUG);
    const bool wasRunning = pipeline_ && pipeline_->CurrentState() == GST_STATE_PLAYING;
    loadedStrategy_ = -1;
    indexer_.reset();
    TearDown();
    movieFormat_ = DetectMovieFormat(fileName);
    if (movieFormat_ == TMovieFormat::None) {
        LogLine("MMEngine->LoadMovie: Getting movie format failed: " + RedactedUrl(fileName),
                LOG_ERROR);
        return E_FAIL;
    }
    if (movieFormat_ == TMovieFormat::Unknown) {
        LogLine("MMEngine->LoadMovie: Format unknown: " + RedactedUrl(fileName), LOG_WARNING);
        return MM_E_UNKNOWN_FORMAT;
    }
    if (Failed(LoadReader(fileName, strategy))) {
        LogLine("MMEngine->LoadMovie: Loading reader filter failed", LOG_ERROR);
        return MM_E_READER;
    }
    MarkStartup("film reader loaded");
    if (Failed(LoadDecoder(strategy))) {
        TearDown();
        LogLine("MMEngine->LoadMovie: Loading decoder filter failed", LOG_ERROR);
        return strategy == lsPredefined   ? MM_E_DECODER_PRE
               : strategy == lsPriorities ? MM_E_DECODER_PRI
                                          : MM_E_DECODER_SYS;
    }
    loadedStrategy_ = strategy;
    rate_ = 1.0;
    learnedMarginNs_ = 0;
    landingBytesPerSecond_ = 0;
    filmStartNs_ = -1;
    MarkStartup("film decoder loaded");
    indexer_ = std::make_unique<TKeyFrameIndexer>(fileName, wholeIndexing_);
    SeekTo(0);
    // A pipeline built again after a failed seek sees other frames first: the film's
    // start is the first frame after loading.
    if (pipeline_)
        filmStartNs_ = pipeline_->FirstFrameNs();
    GetVideoSize();
    if (wasRunning) {
        PlayMovie();
    } else if (playPauseStepMs_ > 0) {
        MarkStartup("play-then-pause begun");
        PlayMovie();
        std::this_thread::sleep_for(std::chrono::milliseconds(playPauseStepMs_));
        PauseMovie();
    }
    InitPictureControls();
    MarkStartup("film loaded");
    return S_OK;
}

void TMMEngine::GetVideoSize() {
    videoWidth_ = videoHeight_ = -1;
    if (pipeline_) {
        GstElement* sink = pipeline_->VideoSink();
        TGstPadPtr pad(gst_element_get_static_pad(sink, "sink"));
        TGstCapsPtr caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
        if (caps && !gst_caps_is_empty(caps.get())) {
            const GstStructure* video = gst_caps_get_structure(caps.get(), 0);
            gint width = 0, height = 0;
            if (gst_structure_get_int(video, "width", &width) &&
                gst_structure_get_int(video, "height", &height) && width > 0 && height > 0) {
                videoWidth_ = width;
                videoHeight_ = height;
                return;
            }
        }
    }
    LogLine("MMEngine->LoadMovie: Failed to get video size", LOG_WARNING);
}

HResult TMMEngine::ChangeState(GstState target, const char* operation) {
    HResult status = E_FAIL;
    if (pipeline_) {
        TBusyCursor busy;
        status = pipeline_->ChangeState(target);
    }
    const std::string prefix = std::string("MMEngine->") + operation + ": ";
    if (status == S_OK)
        LogLine(prefix + "Success", LOG_DEBUG);
    else if (status == MM_S_IN_PROGRESS)
        LogLine(prefix + "In progress", LOG_WARNING);
    else
        LogLine(prefix + "Failed", LOG_ERROR);
    return status;
}

HResult TMMEngine::PlayMovie() {
    if (fileName_.empty()) {
        StopMovie();
        return E_FAIL;
    }
    return ChangeState(GST_STATE_PLAYING, "PlayMovie");
}

HResult TMMEngine::PauseMovie() {
    return ChangeState(GST_STATE_PAUSED, "PauseMovie");
}

HResult TMMEngine::StopMovie() {
    // Stopped films stand paused at their current picture; GStreamer's READY would drop
    // the position, so stopping is pausing here.
    HResult status = E_FAIL;
    if (pipeline_) {
        TBusyCursor busy;
        status = pipeline_->ChangeState(GST_STATE_PAUSED);
    }
    if (status == S_OK)
        LogLine("MMEngine->StopMovie: Success", LOG_DEBUG);
    else if (status == MM_S_IN_PROGRESS)
        LogLine("MMEngine->StopMovie: In progress", LOG_WARNING);
    else
        LogLine("MMEngine->StopMovie: Failed", LOG_ERROR);
    return status;
}

HResult TMMEngine::Rebuild() {
    const GstState state = pipeline_->CurrentState();
    const HResult status = BuildGraph(buildStrategy_);
    if (Failed(status) || !pipeline_)
        return E_FAIL;
    if (state == GST_STATE_PLAYING)
        pipeline_->ChangeState(GST_STATE_PLAYING);
    return S_OK;
}

int64_t TMMEngine::ShownPositionNs() const {
    // Standing still, the position is the shown frame's own time (the sink's answer can
    // lag a frame behind); while playing it is the running position.
    int64_t position = -1;
    if (rendererMode_ == rmVMR && pipeline_->CurrentState() != GST_STATE_PLAYING)
        position = frames_->FrameTime();
    return position >= 0 ? position : pipeline_->PositionNs();
}

int64_t TMMEngine::GetCurrentPosition() const {
    if (!pipeline_)
        return 0;
    const int64_t position = ShownPositionNs();
    if (position < 0)
        return 0;
    return std::max<int64_t>(0, position - FilmStartNs()) / 100;
}

bool TMMEngine::FilmEndReached() const {
    return pipeline_ && pipeline_->EndReached();
}

void TMMEngine::SetSpeed(double rate) {
    LogLine("MMEngine->SetSpeed: " + QString::number(rate, 'g', 15).toStdString(), LOG_DEBUG);
    if (!pipeline_) {
        rate_ = rate;
        return;
    }
    HResult status = E_FAIL;
    if (rate > 0 && std::isfinite(rate)) {
        const int64_t position = pipeline_->PositionNs();
        const uint64_t errorsBefore = pipeline_->ErrorCount();
        if (position >= 0 && pipeline_->Seek(position, rate, true, seekMarginNs_)) {
            status = pipeline_->ChangeState(pipeline_->CurrentState());
            if (pipeline_->ErrorCount() != errorsBefore)
                status = E_FAIL;
        }
        if (Succeeded(status))
            rate_ = rate;
    }
    LogLine("MMEngine->SetSpeed Result " + HexStatus(Succeeded(status) ? S_OK : status), LOG_DEBUG);
}

void TMMEngine::SetZoom(float zoomX, float zoomY) {
    if (rendererMode_ != rmVMR || videoWidth_ <= 0 || videoHeight_ <= 0 || !(zoomX > 0) ||
        !(zoomY > 0)) {
        LogLine("MMEngine->SetZoom: Failed", LOG_ERROR);
        return;
    }
    const double w = videoWidth_, h = videoHeight_;
    const double cw = w / zoomX, ch = h / zoomY;
    const int32_t left = RoundEven((w - cw) / 2);
    const int32_t top = RoundEven((h - ch) / 2);
    const int32_t right = RoundEven(cw + left);
    const int32_t bottom = RoundEven(ch + top);
    sourceRect_ = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    if (display_)
        display_->SetSourceRect(sourceRect_);
    LogLine("MMEngine->SetZoom: Success", LOG_DEBUG);
}

bool TMMEngine::ToggleFullScreen() {
    if (rendererMode_ != rmVMR || !display_) {
        LogLine("MMEngine->ToggleFullScreen: IVMRWindowlessControl9 not exists", LOG_ERROR);
        return fullScreen_;
    }
    fullScreen_ = display_->SetHostFullScreen(!fullScreen_);
    return fullScreen_;
}

HResult TMMEngine::GrabPicture(QImage& bitmap) {
    const bool halted = !pipeline_ || pipeline_->CurrentState() != GST_STATE_PLAYING;
    PauseMovie();
    HResult status = E_FAIL;
    if (rendererMode_ == rmVMR) {
        const QImage frame = frames_->Image();
        if (!frame.isNull()) {
            bitmap = frame.copy(); // the caller keeps it after the pipeline is gone
            LogLine("MMEngine->GrabPicture: Captured (" + std::to_string(bitmap.sizeInBytes()) +
                        ")",
                    LOG_DEBUG);
            status = S_OK;
        }
    }
    if (Failed(status))
        LogLine("MMEngine->GrabPicture: Failed", LOG_ERROR);
    if (!halted)
        PlayMovie();
    return status;
}

void TMMEngine::GetIdealWindowSize(int32_t& width, int32_t& height) const {
    width = height = -1;
    if (fullScreen_ || videoWidth_ == -1 || videoHeight_ == -1 || !display_)
        return;
    int32_t w = videoWidth_, h = videoHeight_;
    if (w >= 720 || h >= 576) {
        w /= 2;
        h /= 2;
    }
    const QSize screen = display_->ScreenSize();
    const QSize area = display_->DisplaySize();
    if (screen.width() <= 0 || screen.height() <= 0)
        return;
    const double s = double(screen.width()) / screen.height();
    // A display without height has no aspect: it cannot be the doubled size.
    const double r =
        area.height() > 0 && area.width() > 0
            ? std::nearbyint(s / (double(area.width()) / area.height()) * 100.0) / 100.0
            : 0.0;
    if (r > 0.999 && r < 1.001 && (area.width() == w || area.height() == h)) {
        height = 2 * h;
        width = RoundEven(2.0 * h * s);
    } else {
        height = h;
        width = RoundEven(h * s);
    }
}

void TMMEngine::Resize(int32_t width, int32_t height) {
    if (width < 0 || height < 0)
        RepaintVideo();
}

void TMMEngine::RepaintVideo() {
    if (display_ && rendererMode_ == rmVMR)
        display_->Repaint();
}

std::string TMMEngine::ElementNames() const {
    return pipeline_ ? pipeline_->ElementNames() : std::string();
}

void TMMEngine::EnumDecoders(TFilterLists& lists) const {
    lists = EnumerateDecoderLists();
}

void TMMEngine::ShowNewestFrame() {
    frames_->MarkShown();
    if (!display_)
        return;
    const QImage frame = frames_->Image();
    if (!frame.isNull()) {
        display_->SetPixelAspect(frames_->PixelAspect());
        display_->ShowFrame(frame);
    }
}

void TMMEngine::DeliverEndOfStream(uint64_t generation) {
    if (generation != generation_)
        return; // the end of a film that has been replaced since
    if (OnComplete)
        OnComplete();
}

} // namespace kanvio
