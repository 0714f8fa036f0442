// The handlers of the player controls and the operations the player context calls.

#include "core/KanvioContext.h"
#include "core/TimeText.h"
#include "foundation/AnsiText.h"
#include "foundation/Logging.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/SteeringLogic.h"

#include <QCheckBox>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>

namespace kanvio {

namespace {

// The strip's colours, as Windows colour values (red in the low byte).
constexpr uint32_t kStripFill = 15243626; // blue 232, green 153, red 106
constexpr uint32_t kStripPen = 6579300;   // grey 100

QColor ColorOf(uint32_t windowsColor) {
    return QColor(windowsColor & 0xFF, (windowsColor >> 8) & 0xFF, (windowsColor >> 16) & 0xFF);
}

QString TimeText(int64_t seconds) {
    return QString::fromStdString(SecondsToTimeText(seconds));
}

// Marks the slider changes in its scope as made by the program.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~ProgramChange() { flag_ = before_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    bool& flag_;
    bool before_;
};

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

void TPlayerControlsWidget::SetFilmName(const std::string& text, bool colorControl) {
    inSlot_->setText(AnsiToQString(text));
    filmHasPicture_ = colorControl;
    // Locked with the other controls (during the trailer), and only for a film that has
    // picture properties.
    btColorSettings_->setEnabled(controlsEnabled_ && filmHasPicture_);
}

void TPlayerControlsWidget::btColorSettingsClick() {
    context_.ShowColorControl();
}

void TPlayerControlsWidget::SetTimeLabel(const std::string& text) {
    lblTime_->setText(AnsiToQString(text));
    FitTimeLabels();
}

void TPlayerControlsWidget::EnableControls(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             trackBar_, playButton_, pauseButton_, stopButton_, skipBackButton_, skipForwardButton_,
             saveImageButton_, printImageButton_, timeCorrButton_, spEdtJump_, cbxFastView_,
             dZoomBar_}) {
        control->setEnabled(enabled);
    }
    controlsEnabled_ = enabled;
    btColorSettings_->setEnabled(controlsEnabled_ && filmHasPicture_);
}

void TPlayerControlsWidget::ShowPlaying(bool playing) {
    playButton_->setChecked(playing);
    pauseButton_->setChecked(!playing);
}

void TPlayerControlsWidget::ReleasePlayButton() {
    playButton_->setChecked(false);
}

void TPlayerControlsWidget::SetTrackTimer(bool running) {
    if (running) {
        trackTimer_->start();
    } else {
        trackTimer_->stop();
    }
}

void TPlayerControlsWidget::SetSliderValue(int64_t position) {
    ProgramChange change(sliderSetByProgram_);
    trackBar_->setValue(ClampToSlider(position));
}

void TPlayerControlsWidget::TrackBarTimer() {
    const int64_t position = context_.GetCurrentPosition();
    SetSliderValue(position);
    // Set after the slider: a position beyond the slider's range still shows as it is.
    lblTime_->setText(TimeText(context_.CurrentTimeCorrection + position));
}

void TPlayerControlsWidget::TrackBarChange() {
    lastRequestedPosition_ = trackBar_->value();
    if (LogTrackBarChange) {
        LogLine("TrackBarChange -> context.GetCurrentPosition", LOG_DEBUG);
    }
    const int64_t current = context_.GetCurrentPosition();
    const int64_t tolerance = SeekTolerance(playSpeed_);
    if (!sliderSetByProgram_ && (lastRequestedPosition_ < current - tolerance ||
                                 lastRequestedPosition_ > current + tolerance)) {
        context_.SeekPosition(false, lastRequestedPosition_);
    }
    lblTime_->setText(TimeText(trackBar_->value() + context_.CurrentTimeCorrection));
}

void TPlayerControlsWidget::ShowTrackRange(int64_t first, int64_t last, int64_t tickFrequency) {
    labelNull_->setText(QString::fromStdString(FormatRangeTime(first, context_.LinearFactor)));
    trackMaxLabel_->setText(QString::fromStdString(FormatRangeTime(last, context_.LinearFactor)));
    FitTimeLabels();
    ProgramChange change(sliderSetByProgram_);
    trackBar_->setMaximum(ClampToSlider(last));
    trackBar_->setMinimum(ClampToSlider(first));
    trackBar_->setTickInterval(ClampToSlider(std::max<int64_t>(0, tickFrequency)));
}

void TPlayerControlsWidget::ShowFilmParts(const std::vector<std::string>& ranges) {
    if (&ranges != &filmParts_) {
        filmParts_ = ranges;
    }
    const std::vector<TFilmPart> parts = ParseFilmParts(ranges);
    if (parts.empty()) {
        return;
    }
    const int64_t minimum = parts.front().Start;
    const int64_t maximum = parts.back().Stop;
    {
        ProgramChange change(sliderSetByProgram_);
        trackBar_->setMinimum(0);
        trackBar_->setMaximum(ClampToSlider(maximum));
        trackBar_->setMinimum(ClampToSlider(minimum));
    }
    labelNull_->setText(QString::fromStdString(FormatRangeTime(minimum, context_.LinearFactor)));
    trackMaxLabel_->setText(
        QString::fromStdString(FormatRangeTime(maximum, context_.LinearFactor)));
    FitTimeLabels();

    QImage strip(picRanges_->width(), picRanges_->height(), QImage::Format_RGB888);
    strip.fill(Qt::white);
    QPainter painter(&strip);
    for (const TStripSpan& span :
         FilmPartSpans(parts, trackBar_->minimum(), trackBar_->maximum(), strip.width())) {
        painter.fillRect(QRect(span.Left, 0, span.Right - span.Left, strip.height() - 1),
                         ColorOf(kStripFill));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(ColorOf(kStripPen));
    painter.drawRect(QRect(0, 0, strip.width() - 1, strip.height() - 1));
    painter.end();
    filmPartStrip_ = strip;
    picRanges_->setPixmap(QPixmap::fromImage(strip));
}

bool TPlayerControlsWidget::IsFastViewOn() const {
    return timerFastView_->isActive();
}

void TPlayerControlsWidget::SetFastView(bool on) {
    cbxFastView_->setChecked(on);
    if (on) {
        timerFastView_->start();
    } else {
        timerFastView_->stop();
    }
}

QRect TPlayerControlsWidget::ThumbRect() const {
    QStyleOptionSlider option;
    option.initFrom(trackBar_);
    option.orientation = trackBar_->orientation();
    option.minimum = trackBar_->minimum();
    option.maximum = trackBar_->maximum();
    option.sliderPosition = trackBar_->sliderPosition();
    option.sliderValue = trackBar_->value();
    option.singleStep = trackBar_->singleStep();
    option.pageStep = trackBar_->pageStep();
    option.tickPosition = trackBar_->tickPosition();
    option.tickInterval = trackBar_->tickInterval();
    option.upsideDown = false;
    option.subControls = QStyle::SC_SliderHandle;
    return trackBar_->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                              trackBar_);
}

void TPlayerControlsWidget::TrackBarMouseDown(const QPoint& cursor) {
    thumbGrabOffset_ = cursor - ThumbRect().topLeft();
    qDebug().noquote() << QString("%1, %2").arg(thumbGrabOffset_.x()).arg(thumbGrabOffset_.y());
}

void TPlayerControlsWidget::FollowThumb() {
    if (!QGuiApplication::mouseButtons().testFlag(Qt::LeftButton)) {
        return;
    }
    QCursor::setPos(trackBar_->mapToGlobal(ThumbRect().topLeft() + thumbGrabOffset_));
}

void TPlayerControlsWidget::OffButtonClick() {
    if (OffButtonAction) {
        OffButtonAction();
    }
}

void TPlayerControlsWidget::PlayButtonClick() {
    context_.SeekPosition(false, int64_t{trackBar_->value()} + 1);
    context_.Play(1.0);
}

void TPlayerControlsWidget::PauseButtonClick() {
    if (context_.Playing) {
        pauseButton_->setChecked(true);
        playButton_->setChecked(false);
        cbxFastView_->setChecked(false);
        context_.Pause();
    } else {
        pauseButton_->setChecked(false);
        playButton_->setChecked(true);
        context_.Play(1.0);
    }
}

void TPlayerControlsWidget::StopButtonClick() {
    playButton_->setChecked(false);
    pauseButton_->setChecked(false);
    cbxFastView_->setChecked(false);
    context_.Stop();
    context_.SeekDetail(-1);
    trackTimer_->stop();
    context_.Playing = false;
    WaitCursor busy;
    context_.Pause();
}

void TPlayerControlsWidget::SkipbackButtonClick() {
    TrackBarTimer();
    const int64_t target = int64_t{trackBar_->value()} - spEdtJump_->value();
    lastRequestedPosition_ = target;
    context_.SeekPosition(false, target);
}

void TPlayerControlsWidget::SkipForwardButtonClick() {
    TrackBarTimer();
    const int64_t target = int64_t{trackBar_->value()} + spEdtJump_->value();
    lastRequestedPosition_ = target;
    context_.SeekPosition(false, target);
}

void TPlayerControlsWidget::CBxFastViewClick() {
    if (cbxFastView_->isChecked()) {
        timerFastView_->start();
    } else {
        timerFastView_->stop();
    }
}

void TPlayerControlsWidget::TimerFastViewTimer() {
    if (cbxFastView_->isChecked()) {
        SkipForwardButtonClick();
    }
    if (!cbxFastView_->isChecked()) {
        timerFastView_->stop();
    }
}

void TPlayerControlsWidget::x051Click(int tag) {
    playSpeed_ = static_cast<float>(tag) / 10.0f;
    context_.Play(playSpeed_);
}

void TPlayerControlsWidget::DZoomBarChange() {
    context_.SetZoom(static_cast<float>(dZoomBar_->value()) / 10.0f);
}

bool TPlayerControlsWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == trackBar_ && event->type() == QEvent::MouseButtonPress) {
        TrackBarMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kanvio
