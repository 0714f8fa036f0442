#pragma once

// TSteeringForm: the player control window of the three-window layout, a small tool window
// holding the player controls. The user cannot close it; the Off button ends the program.
// The window stores its place and the skip step when the player frees it.

#include "core/ContextInterfaces.h"
#include "ui/PlayerControlsWidget.h"

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kanvio {

class TKanvioContext;
class TFramePlacement;

class TSteeringForm final : public QWidget, public IPlayerControls {
    Q_OBJECT
public:
    explicit TSteeringForm(TKanvioContext& context, QWidget* parent = nullptr);
    ~TSteeringForm() override;

    // Stores the window's place and skip step; runs once.
    void Destroy();
    // The stored place, or below the main window's first-start frame.
    void PlaceFromRegistry();

    TPlayerControlsWidget* Controls() const { return controls_; }

    // IPlayerControls, carried out by the controls.
    void SetFilmName(const std::string& text, bool colorControl) override {
        controls_->SetFilmName(text, colorControl);
    }
    void SetTimeLabel(const std::string& text) override { controls_->SetTimeLabel(text); }
    void EnableControls(bool enabled) override { controls_->EnableControls(enabled); }
    void ShowPlaying(bool playing) override { controls_->ShowPlaying(playing); }
    void ReleasePlayButton() override { controls_->ReleasePlayButton(); }
    void SetTrackTimer(bool running) override { controls_->SetTrackTimer(running); }
    void TrackBarTimer() override { controls_->TrackBarTimer(); }
    void ShowTrackRange(int64_t first, int64_t last, int64_t tickFrequency) override {
        controls_->ShowTrackRange(first, last, tickFrequency);
    }
    void ShowFilmParts(const std::vector<std::string>& ranges) override {
        controls_->ShowFilmParts(ranges);
    }
    bool IsFastViewOn() const override { return controls_->IsFastViewOn(); }
    void SetFastView(bool on) override { controls_->SetFastView(on); }
    void FollowThumb() override { controls_->FollowThumb(); }
    void PlayButtonClick() override { controls_->PlayButtonClick(); }
    void PauseButtonClick() override { controls_->PauseButtonClick(); }
    void StopButtonClick() override { controls_->StopButtonClick(); }
    void SkipbackButtonClick() override { controls_->SkipbackButtonClick(); }
    void SkipForwardButtonClick() override { controls_->SkipForwardButtonClick(); }

    // Event handlers, also callable directly.
    void OffButtonClick() { controls_->OffButtonClick(); }
    void TrackBarChange() { controls_->TrackBarChange(); }
    void TimerFastViewTimer() { controls_->TimerFastViewTimer(); }
    void CBxFastViewClick() { controls_->CBxFastViewClick(); }
    void DZoomBarChange() { controls_->DZoomBarChange(); }
    void x051Click(int tag) { controls_->x051Click(tag); }
    void TrackBarMouseDown(const QPoint& cursor) { controls_->TrackBarMouseDown(cursor); }

    // Ends the application's message loop after the Off button; tests replace it.
    std::function<void()> QuitApplication;

    int64_t LastRequestedPosition() const { return controls_->LastRequestedPosition(); }
    float PlaySpeed() const { return controls_->PlaySpeed(); }
    QPoint ThumbGrabOffset() const { return controls_->ThumbGrabOffset(); }
    const QImage& FilmPartStrip() const { return controls_->FilmPartStrip(); }

    QToolButton* OffButton() const { return controls_->OffButton(); }
    QToolButton* PlayButton() const { return controls_->PlayButton(); }
    QToolButton* PauseButton() const { return controls_->PauseButton(); }
    QToolButton* StopButton() const { return controls_->StopButton(); }
    QToolButton* SkipBackButton() const { return controls_->SkipBackButton(); }
    QToolButton* SkipForwardButton() const { return controls_->SkipForwardButton(); }
    QToolButton* SaveImageButton() const { return controls_->SaveImageButton(); }
    QToolButton* PrintImageButton() const { return controls_->PrintImageButton(); }
    QToolButton* TimeCorrButton() const { return controls_->TimeCorrButton(); }
    QToolButton* btColorSettings() const { return controls_->btColorSettings(); }
    QSpinBox* SpEdtJump() const { return controls_->SpEdtJump(); }
    QCheckBox* CBxFastView() const { return controls_->CBxFastView(); }
    QLabel* InSlot() const { return controls_->InSlot(); }
    QWidget* CassSlot() const { return controls_->CassSlot(); }
    QWidget* InfoPanel() const { return controls_->InfoPanel(); }
    QLabel* picRanges() const { return controls_->picRanges(); }
    QSlider* TrackBar() const { return controls_->TrackBar(); }
    QLabel* LabelNull() const { return controls_->LabelNull(); }
    QLabel* LblTime() const { return controls_->LblTime(); }
    QLabel* TrackMaxLabel() const { return controls_->TrackMaxLabel(); }
    QSlider* DZoomBar() const { return controls_->DZoomBar(); }
    QLabel* ZoomLbl() const { return controls_->ZoomLbl(); }
    QMenu* PopupMenu2() const { return controls_->PopupMenu2(); }
    QTimer* TrackTimer() const { return controls_->TrackTimer(); }
    QTimer* TimerFastView() const { return controls_->TimerFastView(); }
    TFramePlacement& Placement() const { return *placement_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void SwitchOff();
    void FormShow();
    void KeepOnScreen();

    TKanvioContext& context_;
    TPlayerControlsWidget* controls_;
    bool destroyed_ = false;
    bool keepingOnScreen_ = false;
    TFramePlacement* placement_;
    QPoint storedCorner_; // the frame's corner as read at creation
    bool placedAtShow_ = false;
    int clientHeight_ = 0; // the design height grown for the font, from the first show on
};

} // namespace kanvio
