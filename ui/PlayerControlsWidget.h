#pragma once

// The player controls every layout shows: transport buttons with the speed menu, the
// skip step and skip buttons, fast view, the still-image, time-correction and picture
// buttons, the film-name field, the position slider over the project timeline with the
// strip of the current structure's films, the three time labels and the digital zoom.
// The control window of the three-window layout and the single window both host it and
// place its parts; it keeps no player state beyond the last requested position, the
// chosen speed and where the thumb was grabbed: every action goes to the player context,
// which calls back through IPlayerControls.

#include "core/ContextInterfaces.h"

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QMenu;
class QSlider;
class QSpinBox;
class QTimer;
class QToolButton;

namespace kanvio {

class TKanvioContext;

class TPlayerControlsWidget final : public QWidget, public IPlayerControls {
    Q_OBJECT
public:
    explicit TPlayerControlsWidget(TKanvioContext& context, QWidget* parent = nullptr);
    ~TPlayerControlsWidget() override;

    // Stops both timers; the host calls it when the player lets go of the controls.
    void StopTimers();

    // IPlayerControls
    void SetFilmName(const std::string& text, bool colorControl) override;
    void SetTimeLabel(const std::string& text) override;
    void EnableControls(bool enabled) override;
    void ShowPlaying(bool playing) override;
    void ReleasePlayButton() override;
    void SetTrackTimer(bool running) override;
    void TrackBarTimer() override;
    void ShowTrackRange(int64_t first, int64_t last, int64_t tickFrequency) override;
    void ShowFilmParts(const std::vector<std::string>& ranges) override;
    bool IsFastViewOn() const override;
    void SetFastView(bool on) override;
    void FollowThumb() override;
    void PlayButtonClick() override;
    void PauseButtonClick() override;
    void StopButtonClick() override;
    void SkipbackButtonClick() override;
    void SkipForwardButtonClick() override;

    // Event handlers, also callable directly.
    void OffButtonClick();
    void TrackBarChange();
    void TimerFastViewTimer();
    void CBxFastViewClick();
    void btColorSettingsClick();
    void x051Click(int tag);
    void DZoomBarChange();
    void TrackBarMouseDown(const QPoint& cursor);

    // What the Off button does: the host decides how the program ends.
    std::function<void()> OffButtonAction;
    // Whether a slider move writes its position to the log (the control window does).
    bool LogTrackBarChange = true;

    // The steering arrangement: tool bar across the top, slider group below it with the
    // zoom bar on its right. Width of the whole arrangement.
    int ArrangeAsControlWindow();
    // The single window's arrangement: film name on top, tool bar below with Stop ahead of
    // Pause and a separator before the skip step, no still-image, time-correction or
    // picture buttons and no zoom bar. The slider group becomes a child of sliderHost,
    // which the window places on its own.
    void ArrangeAsPanel(QWidget* sliderHost);
    // Places the slider group's parts for a slider group width pixels wide.
    void ArrangeSliderGroup(int width);

    int64_t LastRequestedPosition() const { return lastRequestedPosition_; }
    float PlaySpeed() const { return playSpeed_; }
    QPoint ThumbGrabOffset() const { return thumbGrabOffset_; }
    // The bitmap of the film-part strip last drawn.
    const QImage& FilmPartStrip() const { return filmPartStrip_; }
    // The last list given to ShowFilmParts, to redraw the strip after a width change.
    const std::vector<std::string>& FilmParts() const { return filmParts_; }

    QWidget* ToolBar() const { return toolBar_; }
    QToolButton* OffButton() const { return offButton_; }
    QToolButton* PlayButton() const { return playButton_; }
    QToolButton* PauseButton() const { return pauseButton_; }
    QToolButton* StopButton() const { return stopButton_; }
    QToolButton* SkipBackButton() const { return skipBackButton_; }
    QToolButton* SkipForwardButton() const { return skipForwardButton_; }
    QToolButton* SaveImageButton() const { return saveImageButton_; }
    QToolButton* PrintImageButton() const { return printImageButton_; }
    QToolButton* TimeCorrButton() const { return timeCorrButton_; }
    QToolButton* btColorSettings() const { return btColorSettings_; }
    QSpinBox* SpEdtJump() const { return spEdtJump_; }
    QCheckBox* CBxFastView() const { return cbxFastView_; }
    QLabel* InSlot() const { return inSlot_; }
    QWidget* CassSlot() const { return cassSlot_; }
    QWidget* InfoPanel() const { return infoPanel_; }
    QLabel* picRanges() const { return picRanges_; }
    QSlider* TrackBar() const { return trackBar_; }
    QLabel* LabelNull() const { return labelNull_; }
    QLabel* LblTime() const { return lblTime_; }
    QLabel* TrackMaxLabel() const { return trackMaxLabel_; }
    QSlider* DZoomBar() const { return dZoomBar_; }
    QLabel* ZoomLbl() const { return zoomLbl_; }
    QMenu* PopupMenu2() const { return popupMenu2_; }
    QTimer* TrackTimer() const { return trackTimer_; }
    QTimer* TimerFastView() const { return timerFastView_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateToolBar();
    void CreateInfoPanel();
    void CreateSpeedMenu();
    void ConnectHandlers();
    void ApplyTexts();
    void SetSliderValue(int64_t position);
    QRect ThumbRect() const;
    QToolButton* AddToolButton(const char* name, int imageNumber, int& left);

    TKanvioContext& context_;
    int64_t lastRequestedPosition_ = -1;
    float playSpeed_ = 1.0f;
    QPoint thumbGrabOffset_;
    QImage filmPartStrip_;
    std::vector<std::string> filmParts_;
    // The program moves the slider (refresh, new range): the change handler runs, but a
    // value the slider had to clamp to its range is no request to seek.
    bool sliderSetByProgram_ = false;

    QWidget* toolBar_ = nullptr;
    QToolButton* offButton_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* pauseButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    QSpinBox* spEdtJump_ = nullptr;
    QToolButton* skipBackButton_ = nullptr;
    QToolButton* skipForwardButton_ = nullptr;
    QCheckBox* cbxFastView_ = nullptr;
    QToolButton* saveImageButton_ = nullptr;
    QToolButton* printImageButton_ = nullptr;
    QToolButton* timeCorrButton_ = nullptr;
    QToolButton* btColorSettings_ = nullptr;
    bool controlsEnabled_ = true;
    bool filmHasPicture_ = false;
    QWidget* cassSlot_ = nullptr;
    QLabel* inSlot_ = nullptr;
    QWidget* infoPanel_ = nullptr;
    QLabel* picRanges_ = nullptr;
    QSlider* trackBar_ = nullptr;
    QLabel* labelNull_ = nullptr;
    QLabel* lblTime_ = nullptr;
    QLabel* trackMaxLabel_ = nullptr;
    QSlider* dZoomBar_ = nullptr;
    QLabel* zoomLbl_ = nullptr;
    QMenu* popupMenu2_ = nullptr;
    QTimer* trackTimer_ = nullptr;
    QTimer* timerFastView_ = nullptr;
};

} // namespace kanvio
