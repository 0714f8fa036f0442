#include "ui/PlayerControlsWidget.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "foundation/TextWidths.h"
#include "ui/SteeringIcons.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace kanvio {

namespace {

constexpr int kButtonWidth = 40;
constexpr int kDropDownWidth = 54; // the Play button carries the speed menu's arrow
constexpr int kBarHeight = 38;
constexpr int kSliderGroupHeight = 65;
// The time labels' widths in the window's design; wider fonts make them wider.
constexpr int kStartLabelWidth = 60;
constexpr int kTimeLabelWidth = 100;
constexpr int kEndLabelWidth = 51;

// The width label needs for its text in its own font, at least designWidth.
int FittedWidth(const QLabel& label, int designWidth) {
    return std::max(designWidth, NeededTextWidth(label, label.text()));
}
constexpr int kSeparatorWidth = 8;

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, Qt::Alignment align) {
    auto* label = new QLabel(QStringLiteral("00:00:00"), parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

} // namespace

TPlayerControlsWidget::TPlayerControlsWidget(TKanvioContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("PlayerControls");
    CreateSpeedMenu();
    CreateToolBar();
    CreateInfoPanel();
    trackTimer_ = new QTimer(this);
    trackTimer_->setInterval(1000);
    timerFastView_ = new QTimer(this);
    timerFastView_->setInterval(1500);
    ApplyTexts();
    thumbGrabOffset_ = QPoint(0, 0);
    trackBar_->installEventFilter(this);
    ConnectHandlers();
}

TPlayerControlsWidget::~TPlayerControlsWidget() {
    StopTimers();
}

void TPlayerControlsWidget::StopTimers() {
    trackTimer_->stop();
    timerFastView_->stop();
}

QToolButton* TPlayerControlsWidget::AddToolButton(const char* name, int imageNumber, int& left) {
    auto* button = new QToolButton(toolBar_);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(SteeringIcon(imageNumber));
    button->setIconSize(QSize(32, 32));
    button->setGeometry(left, 0, kButtonWidth, kBarHeight);
    left += kButtonWidth;
    return button;
}

void TPlayerControlsWidget::CreateSpeedMenu() {
    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName("PopupMenu2");
    const std::pair<const char*, int> items[] = {{"x 0.5", 5}, {"x 1", 10}, {"x 2", 20},
                                                 {"x 3", 30},  {"x 4", 40}, {"x 5", 50}};
    for (const auto& [caption, tag] : items) {
        QAction* item = popupMenu2_->addAction(QString::fromLatin1(caption));
        item->setData(tag);
        connect(item, &QAction::triggered, this, [this, tag = tag] { x051Click(tag); });
    }
}

void TPlayerControlsWidget::CreateToolBar() {
    toolBar_ = new QWidget(this);
    toolBar_->setObjectName("ToolBar");
    toolBar_->setGeometry(0, 0, 819, kBarHeight);
    toolBar_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(toolBar_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popupMenu2_->popup(toolBar_->mapToGlobal(at)); });

    int left = 0;
    offButton_ = AddToolButton("OffButton", 9, left);
    playButton_ = AddToolButton("PlayButton", 0, left);
    playButton_->setPopupMode(QToolButton::MenuButtonPopup);
    playButton_->setMenu(popupMenu2_);
    playButton_->setCheckable(true);
    playButton_->resize(kDropDownWidth, kBarHeight);
    left += kDropDownWidth - kButtonWidth;
    pauseButton_ = AddToolButton("PauseButton", 1, left);
    pauseButton_->setCheckable(true);
    stopButton_ = AddToolButton("StopButton", 2, left);

    spEdtJump_ = new QSpinBox(toolBar_);
    spEdtJump_->setObjectName("SpEdtJump");
    spEdtJump_->setRange(1, 99);
    spEdtJump_->setValue(10);
    QFont big = spEdtJump_->font();
    big.setPixelSize(22); // a cell height of 28 pixels
    spEdtJump_->setFont(big);
    // Two digits in the big font, beside the arrows: wider than the design where the font is.
    const int jumpWidth = std::max(50, spEdtJump_->sizeHint().width());
    spEdtJump_->setGeometry(left, 0, jumpWidth, kBarHeight);
    left += jumpWidth;
    skipBackButton_ = AddToolButton("SkipBackButton", 3, left);
    skipForwardButton_ = AddToolButton("SkipForwardButton", 4, left);

    cbxFastView_ = new QCheckBox(toolBar_);
    cbxFastView_->setObjectName("CBxFastView");
    cbxFastView_->setGeometry(left, 0, 21, kBarHeight);
    left += 21;
    saveImageButton_ = AddToolButton("SaveImageButton", 5, left);
    printImageButton_ = AddToolButton("PrintImageButton", 6, left);
    timeCorrButton_ = AddToolButton("TimeCorrButton", 7, left);
    btColorSettings_ = AddToolButton("btColorSettings", 8, left);
    // The picture button follows the film: only an engine that can change the picture
    // enables it.
    btColorSettings_->setEnabled(false);

    cassSlot_ = new QWidget(toolBar_);
    cassSlot_->setObjectName("CassSlot");
    cassSlot_->setGeometry(left, 0, 252, kBarHeight);
    cassSlot_->setAutoFillBackground(true);
    QPalette silver = cassSlot_->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    cassSlot_->setPalette(silver);
    inSlot_ = new QLabel(QStringLiteral("Film Name"), cassSlot_);
    inSlot_->setObjectName("InSlot");
    inSlot_->setGeometry((252 - 204) / 2, (kBarHeight - 22) / 2, 204, 22);
    inSlot_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inSlot_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    inSlot_->setAutoFillBackground(true);
    QPalette grey = inSlot_->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    grey.setColor(QPalette::WindowText, Qt::white);
    inSlot_->setPalette(grey);
}

void TPlayerControlsWidget::CreateInfoPanel() {
    infoPanel_ = new QWidget(this);
    infoPanel_->setObjectName("InfoPanel");
    infoPanel_->setGeometry(8, 45, 601, kSliderGroupHeight);
    picRanges_ = new QLabel(infoPanel_);
    picRanges_->setObjectName("picRanges");
    picRanges_->resize(585, 9);
    trackBar_ = new QSlider(Qt::Horizontal, infoPanel_);
    trackBar_->setObjectName("TrackBar");
    trackBar_->setGeometry(1, 16, 599, 28);
    trackBar_->setRange(0, 100);
    trackBar_->setTickPosition(QSlider::TicksBelow);
    labelNull_ =
        MakeLabel(infoPanel_, "LabelNull", QRect(9, 47, kStartLabelWidth, 16), Qt::AlignLeft);
    lblTime_ = MakeLabel(infoPanel_, "LblTime", QRect(279 - 20, 47, kTimeLabelWidth, 16),
                         Qt::AlignHCenter);
    // Flush with the slider's end, however wide its text.
    trackMaxLabel_ = MakeLabel(infoPanel_, "TrackMaxLabel",
                               QRect(601 - kEndLabelWidth, 47, kEndLabelWidth, 16), Qt::AlignRight);
    picRanges_->setGeometry(trackBar_->x() + 10, trackBar_->y() - picRanges_->height(),
                            trackBar_->width() - 20, picRanges_->height());

    dZoomBar_ = new QSlider(Qt::Horizontal, this);
    dZoomBar_->setObjectName("DZoomBar");
    dZoomBar_->setRange(10, 30);
    dZoomBar_->setTickInterval(5);
    dZoomBar_->setTickPosition(QSlider::TicksBelow);
    dZoomBar_->setValue(10);
    dZoomBar_->setGeometry(infoPanel_->width() + 16, 45 + 65 - 33, 150, 33);
    zoomLbl_ = new QLabel(this);
    zoomLbl_->setObjectName("ZoomLbl");
    zoomLbl_->move(dZoomBar_->x(), 55);
}

void TPlayerControlsWidget::ConnectHandlers() {
    connect(offButton_, &QToolButton::clicked, this, [this] { OffButtonClick(); });
    connect(playButton_, &QToolButton::clicked, this, [this] { PlayButtonClick(); });
    connect(pauseButton_, &QToolButton::clicked, this, [this] { PauseButtonClick(); });
    connect(stopButton_, &QToolButton::clicked, this, [this] { StopButtonClick(); });
    connect(skipBackButton_, &QToolButton::clicked, this, [this] { SkipbackButtonClick(); });
    connect(skipForwardButton_, &QToolButton::clicked, this, [this] { SkipForwardButtonClick(); });
    connect(saveImageButton_, &QToolButton::clicked, this, [this] { context_.SaveImage(); });
    connect(printImageButton_, &QToolButton::clicked, this, [this] { context_.PrintImage(); });
    connect(timeCorrButton_, &QToolButton::clicked, this,
            [this] { context_.ShowTimeCorrection(); });
    connect(cbxFastView_, &QCheckBox::clicked, this, [this] { CBxFastViewClick(); });
    connect(btColorSettings_, &QToolButton::clicked, this, [this] { btColorSettingsClick(); });
    connect(trackBar_, &QSlider::valueChanged, this, [this] { TrackBarChange(); });
    connect(dZoomBar_, &QSlider::valueChanged, this, [this] { DZoomBarChange(); });
    connect(trackTimer_, &QTimer::timeout, this, [this] { TrackBarTimer(); });
    connect(timerFastView_, &QTimer::timeout, this, [this] { TimerFastViewTimer(); });
}

void TPlayerControlsWidget::ApplyTexts() {
    LangScope lang;
    const std::pair<QWidget*, const char*> hints[] = {{offButton_, "_TurnOff"},
                                                      {playButton_, "_Play"},
                                                      {pauseButton_, "_Pause"},
                                                      {stopButton_, "_Stop"},
                                                      {skipBackButton_, "_SkipBackward"},
                                                      {skipForwardButton_, "_SkipForward"},
                                                      {saveImageButton_, "_SaveImage"},
                                                      {printImageButton_, "_PrintImage"},
                                                      {timeCorrButton_, "_TimeCorrection"},
                                                      {btColorSettings_, "_ColorSettings"},
                                                      {inSlot_, "_FilmName"}};
    for (const auto& [control, key] : hints) {
        control->setToolTip(AnsiToQString(lang.Text(key)));
    }
    zoomLbl_->setText(AnsiToQString(lang.Text("_DigitalZoom")));
    zoomLbl_->adjustSize();
}

int TPlayerControlsWidget::ArrangeAsControlWindow() {
    dZoomBar_->move(infoPanel_->width() + 16, dZoomBar_->y());
    const int width = std::max(infoPanel_->width() + dZoomBar_->width() + 32,
                               cassSlot_->x() + cassSlot_->width() + 32);
    toolBar_->resize(width, toolBar_->height());
    zoomLbl_->move(dZoomBar_->x() + (dZoomBar_->width() - zoomLbl_->width()) / 2, zoomLbl_->y());
    FitTimeLabels();
    return width;
}

void TPlayerControlsWidget::ArrangeAsPanel(QWidget* sliderHost) {
    for (QWidget* absent :
         std::initializer_list<QWidget*>{saveImageButton_, printImageButton_, timeCorrButton_,
                                         btColorSettings_, dZoomBar_, zoomLbl_}) {
        absent->hide();
    }
    // The film name sits above the tool bar, so it leaves the bar for the panel.
    cassSlot_->setParent(this);
    cassSlot_->setGeometry(13, 8, 325, 50);
    inSlot_->setGeometry(24, 8, 277, 34);
    cassSlot_->show();
    toolBar_->setGeometry(5, 73, 340, kBarHeight);
    // The panel's buttons: Stop before Pause, and a separator ahead of the skip step.
    const int pauseLeft = pauseButton_->x();
    stopButton_->move(pauseLeft, 0);
    pauseButton_->move(pauseLeft + kButtonWidth, 0);
    QWidget::setTabOrder(playButton_, stopButton_);
    QWidget::setTabOrder(stopButton_, pauseButton_);
    auto* separator = new QFrame(toolBar_);
    separator->setObjectName("ToolBarSeparator");
    separator->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    separator->setGeometry(pauseButton_->x() + kButtonWidth, 0, kSeparatorWidth, kBarHeight);
    separator->show();
    for (QWidget* shifted : std::initializer_list<QWidget*>{spEdtJump_, skipBackButton_,
                                                            skipForwardButton_, cbxFastView_}) {
        shifted->move(shifted->x() + kSeparatorWidth, 0);
    }
    // The separator and a jump box grown for the font must not push the last control off.
    toolBar_->resize(std::max(toolBar_->width(), cbxFastView_->geometry().right() + 1), kBarHeight);
    infoPanel_->setParent(sliderHost);
    infoPanel_->show();
}

void TPlayerControlsWidget::ArrangeSliderGroup(int width) {
    infoPanel_->setGeometry(0, 0, width, kSliderGroupHeight);
    const int sliderWidth = width - 2;
    trackBar_->setGeometry(1, 16, sliderWidth, 28);
    trackMaxLabel_->move(sliderWidth - trackMaxLabel_->width(), trackMaxLabel_->y());
    lblTime_->move((sliderWidth - lblTime_->width()) / 2, lblTime_->y());
    FitTimeLabels();
    picRanges_->setGeometry(trackBar_->x() + 10, trackBar_->y() - picRanges_->height(),
                            sliderWidth - 20, picRanges_->height());
    if (!filmParts_.empty()) {
        ShowFilmParts(filmParts_);
    }
}

void TPlayerControlsWidget::FitTimeLabels() {
    // The start label grows to the right, the time around its centre and the end label to
    // the left, so that each keeps its place against the slider.
    labelNull_->resize(FittedWidth(*labelNull_, kStartLabelWidth), labelNull_->height());
    const int centre = lblTime_->x() + lblTime_->width() / 2;
    const int timeWidth = FittedWidth(*lblTime_, kTimeLabelWidth);
    lblTime_->setGeometry(centre - timeWidth / 2, lblTime_->y(), timeWidth, lblTime_->height());
    // Never past the panel: a design grown for the font may round the label's end beyond it.
    const int right = std::min(trackMaxLabel_->x() + trackMaxLabel_->width(), infoPanel_->width());
    const int endWidth = FittedWidth(*trackMaxLabel_, kEndLabelWidth);
    trackMaxLabel_->setGeometry(right - endWidth, trackMaxLabel_->y(), endWidth,
                                trackMaxLabel_->height());
}

} // namespace kanvio
