#pragma once

// The engine of a window that shows video (the video window, the single window): owns the
// playback engine on a display widget the window places, and offers the engine's
// operations to the player one to one. A film whose load failed while the engine still
// held the previous one is kept from playing on under the new film's name.

#include "core/ContextInterfaces.h"
#include "video/MultimediaEngine.h"

#include <QImage>
#include <functional>
#include <memory>
#include <string>

namespace kanvio {

class IUserDialogs;
class TVideoDisplayWidget;

class TEmbeddedVideo final {
public:
    TEmbeddedVideo(TVideoDisplayWidget& display, int32_t rendererMode,
                   const IEngineSettings& settings, IUserDialogs* dialogs);
    ~TEmbeddedVideo();
    TEmbeddedVideo(const TEmbeddedVideo&) = delete;
    TEmbeddedVideo& operator=(const TEmbeddedVideo&) = delete;

    // Frees the engine; every operation afterwards fails quietly.
    void Release();
    // Called when the loaded film played to its end.
    std::function<void()> OnComplete;

    TVideoResult LoadMovieAuto(const std::string& fileName);
    TVideoResult PlayMovie();
    TVideoResult PauseMovie();
    TVideoResult StopMovie();
    TVideoResult SeekTo(int64_t milliseconds);
    void SetSpeed(double rate);
    int64_t GetCurrentPosition();
    void SetZoom(float factor);
    // True when the video fills the screen afterwards.
    bool ToggleFullScreen();
    int MovieFormat() const;
    bool CanChangePictureProps();
    // The stored decoder lists, ordered over the installed decoders.
    void ApplyDecoderPriorities();
    // Edited decoder lists, used from the next film load on.
    void SetPriorityLists(const TFilterLists& lists);
    void Resize(int width, int height);
    TVideoResult GrabPicture(QImage& bitmap);

    TMMEngine* Engine() { return engine_.get(); }

private:
    class TDisplayGate;
    bool Usable() const { return engine_ != nullptr && !staleFilm_; }

    TVideoDisplayWidget& display_;
    std::unique_ptr<TDisplayGate> gate_;
    std::unique_ptr<TMMEngine> engine_;
    bool staleFilm_ = false;
};

} // namespace kanvio
