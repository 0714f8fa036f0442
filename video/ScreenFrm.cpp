#include "video/ScreenFrm.h"

#include "foundation/AnsiText.h"
#include "foundation/FramePlacement.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "video/ColorControlForm.h"
#include "video/EmbeddedVideo.h"
#include "video/FilterPriorities.h"
#include "video/VideoDisplayWidget.h"
#include "video/VirtualKeyMap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace kanvio {

namespace {

constexpr int kDefaultWidth = 300;
constexpr int kDefaultHeight = 300;

QScreen* ScreenOf(const QWidget* widget) {
    QScreen* shown = widget->screen();
    return shown != nullptr ? shown : QGuiApplication::primaryScreen();
}

} // namespace

TScreenForm::TScreenForm(int32_t rendererMode, const IEngineSettings& settings,
                         IScreenCommands& commands, IUserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMaximizeButtonHint),
      commands_(commands), videoWindow_(new TVideoDisplayWidget(this)),
      placement_(new TFramePlacement(*this, TFramePlacement::TSize::Own)) {
    setObjectName("ScreenForm");
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(videoWindow_);
    videoWindow_->SetKeepAspectRatio(true);
    setFocusPolicy(Qt::StrongFocus);
    CreateMenu();
    ApplyTexts();

    fullScreen_ = false;
    video_ = std::make_unique<TEmbeddedVideo>(*videoWindow_, rendererMode, settings, dialogs);
    video_->OnComplete = [this] {
        commands_.MovieComplete();
    };
    PlaceFromRegistry();

    if (QScreen* shown = ScreenOf(this)) {
        // The display changed its resolution: the engine takes the new client size.
        connect(shown, &QScreen::geometryChanged, this, [this] {
            if (video_) {
                video_->Resize(width(), height());
            }
        });
    }
}

TScreenForm::~TScreenForm() {
    Destroy();
}

void TScreenForm::Destroy() {
    if (!video_) {
        return;
    }
    // The panel's sliders are bound to the engine: they must not outlive it.
    delete colorControl_.data();
    video_.reset();
    StorePlace();
}

void TScreenForm::CreateMenu() {
    popup_.Create(this);
    connect(popup_.ColorSettings, &QAction::triggered, this, [this] { ShowColorControl(); });
    connect(popup_.SaveImage, &QAction::triggered, this, [this] { commands_.SaveImage(); });
    connect(popup_.PrintImage, &QAction::triggered, this, [this] { commands_.PrintImage(); });
    connect(popup_.CopyImage, &QAction::triggered, this, [this] { commands_.CopyImage(); });
    connect(popup_.SaveCaptionedImage, &QAction::triggered, this,
            [this] { commands_.SaveCaptionedImage(); });
    connect(popup_.FullScreen, &QAction::triggered, this, [this] { ToggleFullScreen(); });
    connect(popup_.Menu, &QMenu::aboutToShow, this, [this] { PopupMenuPopup(); });
}

void TScreenForm::ApplyTexts() {
    LangScope lang;
    popup_.SaveImage->setText(AnsiToQString(lang.Text("_SaveImage")));
    popup_.PrintImage->setText(AnsiToQString(lang.Text("_PrintImage")));
    popup_.CopyImage->setText(AnsiToQString(lang.Text("_CopyPicture")));
    popup_.SaveCaptionedImage->setText(AnsiToQString(lang.Text("_SaveCaptionedPicture")) + "...");
    popup_.FullScreen->setText(AnsiToQString(lang.Text("_FullScreen")));
    popup_.ColorSettings->setText(AnsiToQString(lang.Text("_ColorSettings")));
}

void TScreenForm::PlaceFromRegistry() {
    // Right of the main window's first-start frame unless the user put it elsewhere.
    const QPoint beside = ThreeWindowDefaults(DesignFontScale()).Video;
    const int left = ReadRegInteger("", "ScreenLeft", beside.x());
    const int top = ReadRegInteger("", "ScreenTop", beside.y());
    const int clientWidth = ReadRegInteger("", "ScreenWidth", kDefaultWidth);
    const int clientHeight = ReadRegInteger("", "ScreenHeight", kDefaultHeight);
    resize(std::max(clientWidth, 1), std::max(clientHeight, 1));
    placement_->Place(QRect(QPoint(left, top), size()));
}

void TScreenForm::StorePlace() const {
    // The normal place: a window freed in full screen opens as it was before.
    const QPoint corner = placement_->NormalFrame().topLeft();
    const QSize client = placement_->NormalGeometry().size();
    const std::pair<const char*, int> values[] = {{"ScreenLeft", corner.x()},
                                                  {"ScreenTop", corner.y()},
                                                  {"ScreenWidth", client.width()},
                                                  {"ScreenHeight", client.height()}};
    for (const auto& [name, value] : values) {
        try {
            WriteRegInteger("", name, value);
        } catch (const std::exception& error) {
            // The window goes away either way; its place is only a convenience.
            LogLine(std::string("Video window place not stored: ") + error.what(), LOG_ERROR);
            return;
        }
    }
}

void TScreenForm::KeepOnScreen() {
    const QScreen* shown = ScreenOf(this);
    if (shown == nullptr || fullScreen_ || keepingOnScreen_) {
        return;
    }
    const QRect screen = shown->geometry();
    const QRect available = shown->availableGeometry();
    TScreenArea area{screen.width(), screen.height(),
                     std::max(0, screen.bottom() - available.bottom())};
    const QRect frame = frameGeometry();
    const TFormGeometry placed = KeepFormOnScreen({x(), y(), frame.width(), frame.height()}, area);
    if (placed.Left != x() || placed.Top != y()) {
        keepingOnScreen_ = true;
        move(placed.Left, placed.Top);
        keepingOnScreen_ = false;
    }
}

TVideoResult TScreenForm::LoadMovieAuto(const std::string& fileName) {
    return video_ ? video_->LoadMovieAuto(fileName) : E_FAIL;
}

TVideoResult TScreenForm::PlayMovie() {
    return video_ ? video_->PlayMovie() : E_FAIL;
}

TVideoResult TScreenForm::PauseMovie() {
    return video_ ? video_->PauseMovie() : E_FAIL;
}

TVideoResult TScreenForm::StopMovie() {
    return video_ ? video_->StopMovie() : E_FAIL;
}

TVideoResult TScreenForm::SeekTo(int64_t milliseconds) {
    return video_ ? video_->SeekTo(milliseconds) : E_FAIL;
}

void TScreenForm::SetSpeed(double rate) {
    if (video_) {
        video_->SetSpeed(rate);
    }
}

int64_t TScreenForm::GetCurrentPosition() {
    return video_ ? video_->GetCurrentPosition() : 0;
}

void TScreenForm::SetZoom(float factor) {
    if (video_) {
        video_->SetZoom(factor);
    }
}

void TScreenForm::ToggleFullScreen() {
    if (!video_) {
        return;
    }
    fullScreen_ = video_->ToggleFullScreen();
    popup_.FullScreen->setChecked(fullScreen_);
    if (fullScreen_) {
        dragging_ = false;
    }
}

int TScreenForm::MovieFormat() const {
    return video_ ? video_->MovieFormat() : 0;
}

bool TScreenForm::CanChangePictureProps() {
    return video_ && video_->CanChangePictureProps();
}

void TScreenForm::ShowColorControl() {
    if (Engine() == nullptr) {
        return;
    }
    BringToFront();
    OpenColorControl(*this, *videoWindow_, *Engine(), colorControl_);
}

TColorControlForm* TScreenForm::ColorControl() const {
    return colorControl_.data();
}

void TScreenForm::BringToFront() {
    raise();
    activateWindow();
}

void TScreenForm::ApplyDecoderPriorities() {
    if (video_) {
        video_->ApplyDecoderPriorities();
    }
}

void TScreenForm::SetPriorityLists(const TFilterLists& lists) {
    if (video_) {
        video_->SetPriorityLists(lists);
    }
}

TVideoResult TScreenForm::GrabPicture(QImage& bitmap) {
    return video_ ? video_->GrabPicture(bitmap) : E_FAIL;
}

const TPictureControls* TScreenForm::GetPictureControls() const {
    return video_ && video_->Engine() != nullptr ? &video_->Engine()->PictureControls() : nullptr;
}

TMMEngine* TScreenForm::Engine() {
    return video_ ? video_->Engine() : nullptr;
}

void TScreenForm::VideoWindowMouseDown(const QPoint& position) {
    if (!fullScreen_) {
        dragging_ = true;
        dragStartX_ = position.x();
        dragStartY_ = position.y();
    }
    setFocus(Qt::MouseFocusReason);
}

void TScreenForm::FormMouseMove(const QPoint& position) {
    if (dragging_ && !fullScreen_) {
        move(x() + position.x() - dragStartX_, y() + position.y() - dragStartY_);
    }
}

void TScreenForm::VideoWindowMouseUp() {
    dragging_ = false;
}

void TScreenForm::VideoWindowDblClick() {
    if (Engine() == nullptr || fullScreen_) {
        return;
    }
    int32_t idealWidth = -1;
    int32_t idealHeight = -1;
    Engine()->GetIdealWindowSize(idealWidth, idealHeight);
    if (idealWidth != -1 && idealHeight > 0 && idealWidth > 0) {
        resize(idealWidth, idealHeight);
    }
}

void TScreenForm::PopupMenuPopup() {
    popup_.ColorSettings->setEnabled(CanChangePictureProps());
}

void TScreenForm::closeEvent(QCloseEvent* event) {
    event->ignore(); // only the player frees this window
}

void TScreenForm::keyPressEvent(QKeyEvent* event) {
    if (const auto key = PlayerKeyOf(event->key(), event->modifiers())) {
        commands_.HandleKey(key->Key, key->Ctrl);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TScreenForm::mousePressEvent(QMouseEvent* event) {
    pressGlobal_ = event->globalPosition().toPoint();
    rightPressed_ = event->button() == Qt::RightButton;
    menuOnRelease_ = false;
    VideoWindowMouseDown(videoWindow_->mapFrom(this, event->position().toPoint()));
}

void TScreenForm::mouseMoveEvent(QMouseEvent* event) {
    FormMouseMove(videoWindow_->mapFrom(this, event->position().toPoint()));
}

void TScreenForm::mouseReleaseEvent(QMouseEvent* event) {
    VideoWindowMouseUp();
    const bool stayed = (event->globalPosition().toPoint() - pressGlobal_).manhattanLength() <
                        QApplication::startDragDistance();
    if (event->button() == Qt::RightButton && menuOnRelease_ && stayed) {
        popup_.Menu->popup(event->globalPosition().toPoint());
    }
    rightPressed_ = false;
    menuOnRelease_ = false;
}

void TScreenForm::mouseDoubleClickEvent(QMouseEvent*) {
    VideoWindowDblClick();
}

void TScreenForm::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // Where the desktop asks for the menu as the right button goes down, the menu waits
    // for the release: opened now, it would take the mouse from a drag.
    if (event->reason() == QContextMenuEvent::Mouse && rightPressed_) {
        menuOnRelease_ = true;
        return;
    }
    dragging_ = false; // the menu takes the button's release
    popup_.Menu->popup(event->globalPos());
}

void TScreenForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) {
        KeepOnScreen();
    }
}

void TScreenForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    KeepOnScreen();
}

void TScreenForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (video_) {
        video_->Resize(width(), height());
    }
}

} // namespace kanvio
