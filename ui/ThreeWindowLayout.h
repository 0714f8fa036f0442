#pragma once

// The player windows of the three-window layout: the video window TScreenForm and the
// player control window TSteeringForm beside the main window. The player context creates,
// shows and frees them through IPlayerWindows; the video window reaches the context
// through this layout.

#include "core/ContextInterfaces.h"
#include "video/ScreenFrm.h"
#include "video/VideoDisplay.h"

#include <QPointer>
#include <QWidget>
#include <vector>

namespace kanvio {

class TKanvioContext;
class TSteeringForm;

class TThreeWindowLayout final : public IPlayerWindows,
                                 private IScreenCommands,
                                 private IEngineSettings {
public:
    explicit TThreeWindowLayout(TKanvioContext& context);
    ~TThreeWindowLayout() override;
    TThreeWindowLayout(const TThreeWindowLayout&) = delete;
    TThreeWindowLayout& operator=(const TThreeWindowLayout&) = delete;

    // The start-up window that CloseSplash hides and frees.
    void SetSplash(QWidget* splash) { splash_ = splash; }

    // IPlayerWindows
    void CreatePlayerWindows() override;
    IVideoWindow* Video() override;
    IPlayerControls* Controls() override;
    void ShowPlayerWindows() override;
    void CloseSplash() override;
    void DestroyPlayerWindows() override;
    void FollowMainWindow() override;

    TScreenForm* ScreenForm() const { return screenForm_; }
    TSteeringForm* SteeringForm() const { return steeringForm_; }

private:
    // IScreenCommands
    void HandleKey(uint16_t key, bool ctrl) override;
    void MovieComplete() override;
    void SaveImage() override;
    void PrintImage() override;
    void CopyImage() override;
    void SaveCaptionedImage() override;
    // IEngineSettings
    int32_t FilterStrategy() const override;

    TKanvioContext& context_;
    QPointer<TScreenForm> screenForm_;
    QPointer<TSteeringForm> steeringForm_;
    QPointer<QWidget> splash_;
    std::vector<QPointer<QWidget>> retired_;
};

} // namespace kanvio
