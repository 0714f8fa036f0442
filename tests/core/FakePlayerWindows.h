#pragma once

#include "core/ContextInterfaces.h"

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace kanvio::test {

// The video, controls and main window of a layout as recording fakes. The video keeps a
// position that SeekTo sets, so position reports follow the seeks.
class FakeVideo final : public IVideoWindow {
public:
    TVideoResult LoadMovieAuto(const std::string& fileName) override {
        loads.push_back(fileName);
        if (onLoad) {
            onLoad();
        }
        positionMs = 0;
        return loadResult;
    }
    TVideoResult PlayMovie() override { return log("play"), playResult; }
    TVideoResult PauseMovie() override { return log("pause"), 0; }
    TVideoResult StopMovie() override { return log("stop"), 0; }
    TVideoResult SeekTo(int64_t milliseconds) override {
        seeks.push_back(milliseconds);
        positionMs = milliseconds;
        return 0;
    }
    void SetSpeed(double rate) override { speeds.push_back(rate); }
    int64_t GetCurrentPosition() override { return positionMs * 10000; }
    void SetZoom(float factor) override { zooms.push_back(factor); }
    void ToggleFullScreen() override { fullScreen = !fullScreen; }
    bool IsFullScreen() const override { return fullScreen; }
    int MovieFormat() const override { return 3; }
    bool CanChangePictureProps() override { return colorControl; }
    void ShowColorControl() override { log("color panel"); }
    void BringToFront() override { log("front"); }
    void ApplyDecoderPriorities() override { log("priorities"); }
    TVideoResult GrabPicture(QImage& bitmap) override {
        log("grab");
        if (grabResult >= 0) {
            bitmap = picture;
        }
        return grabResult;
    }

    void log(const std::string& call) { calls.push_back(call); }

    std::vector<std::string> loads, calls;
    std::vector<int64_t> seeks;
    std::vector<double> speeds;
    std::vector<float> zooms;
    int64_t positionMs = 0;
    TVideoResult loadResult = 0;
    TVideoResult playResult = 0;
    TVideoResult grabResult = 0;
    QImage picture;
    bool fullScreen = false;
    bool colorControl = true;
    std::function<void()> onLoad;
};

class FakeControls final : public IPlayerControls {
public:
    void SetFilmName(const std::string& text, bool colorControl) override {
        filmNames.push_back(text);
        pictureButton = colorControl;
    }
    void SetTimeLabel(const std::string& text) override { timeLabel = text; }
    void EnableControls(bool enabled) override { this->enabled = enabled; }
    void ShowPlaying(bool playing) override { playShown = playing; }
    void ReleasePlayButton() override { playShown = false; }
    void SetTrackTimer(bool running) override { timer = running; }
    void TrackBarTimer() override { ++trackUpdates; }
    void ShowTrackRange(int64_t first, int64_t last, int64_t tick) override {
        range = {first, last, tick};
    }
    void ShowFilmParts(const std::vector<std::string>& ranges) override { parts = ranges; }
    bool IsFastViewOn() const override { return fastView; }
    void SetFastView(bool on) override { fastView = on; }
    void FollowThumb() override { ++followThumb; }
    void PlayButtonClick() override { clicks.push_back("play"); }
    void PauseButtonClick() override { clicks.push_back("pause"); }
    void StopButtonClick() override { clicks.push_back("stop"); }
    void SkipbackButtonClick() override { clicks.push_back("back"); }
    void SkipForwardButtonClick() override { clicks.push_back("forward"); }

    std::vector<std::string> filmNames, parts, clicks;
    std::string timeLabel;
    std::vector<int64_t> range;
    bool enabled = true, playShown = false, timer = false, fastView = false, pictureButton = false;
    int trackUpdates = 0, followThumb = 0;
};

class FakeMainWindow final : public IMainWindow {
public:
    void CloseMainWindow() override { calls.push_back("close"); }
    void ShowStructureList() override { calls.push_back("list"); }
    void ShowCurrentStructure() override { calls.push_back("current"); }
    void SelectInitialStructure() override {
        calls.push_back("initial");
        if (onSelectInitial) {
            onSelectInitial();
        }
    }
    void EnableControls(bool enabled) override { this->enabled = enabled; }
    std::vector<std::string> calls;
    bool enabled = true;
    std::function<void()> onSelectInitial;
};

class FakeLayout final : public IPlayerWindows {
public:
    void CreatePlayerWindows() override { calls.push_back("create"); }
    IVideoWindow* Video() override { return &video; }
    IPlayerControls* Controls() override { return &controls; }
    void ShowPlayerWindows() override { calls.push_back("show"); }
    void CloseSplash() override { calls.push_back("splash"); }
    void DestroyPlayerWindows() override { calls.push_back("destroy"); }

    FakeVideo video;
    FakeControls controls;
    std::vector<std::string> calls;
};

class FakeDesktop final : public IDesktop {
public:
    bool OpenDocument(const std::string& fileName) override {
        opened.push_back(fileName);
        return true;
    }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }
    std::vector<std::string> opened;
    std::vector<bool> busyChanges;
};

} // namespace kanvio::test
