#include "ui/KanvioSingleForm.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "ui/InspChoiceForm.h"
#include "ui/MainFormLayout.h"
#include "ui/MainFormMenus.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "video/ColorControlForm.h"
#include "video/EmbeddedVideo.h"
#include "video/VideoDisplayWidget.h"
#include "video/VirtualKeyMap.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

namespace kanvio {

namespace {

constexpr QSize kDesignClientSize(773, 570);
constexpr QRect kVideoBounds(408, 0, 352, 288);
constexpr QRect kPanelBounds(408, 295, 353, 190);
constexpr QRect kTrackBarPanelBounds(8, 493, 753, 65);

QScreen* ScreenOf(const QWidget& widget) {
    QScreen* screen = widget.screen();
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

} // namespace

TKanvioSingleForm::TKanvioSingleForm(TKanvioContext& context, IUserDialogs& dialogs,
                                     std::vector<std::string> arguments, QWidget* parent)
    // A window of fixed size whose only border icon is the close button of the system menu.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context), dialogs_(dialogs), arguments_(std::move(arguments)),
      menus_(new TMainFormMenus(this)), client_(new QWidget(this)) {
    setObjectName("KanvioSingleForm");
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);
    setFocusPolicy(Qt::StrongFocus);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    frame->setMenuBar(menus_->MainMenu);
    frame->addWidget(client_);
    CreateControls();
    CreatePopupMenu();
    ConnectHandlers();
    FormCreate();
}

TKanvioSingleForm::~TKanvioSingleForm() {
    delete choiceForm_; // reads the list model up to its end
    DestroyPlayerWindows();
}

void TKanvioSingleForm::CreateControls() {
    infoPanel_ = new TStructureInfoPanel(client_);
    infoPanel_->move(8, 0);
    scrollBox_ = new TStructureGraphicView(client_);
    scrollBox_->setGeometry(8, 120, 385, 225);
    QPalette white = scrollBox_->palette();
    white.setColor(QPalette::Window, Qt::white);
    scrollBox_->setPalette(white);
    scrollBox_->setFocusPolicy(Qt::NoFocus);
    scrollBox_->SetOptionsSource([this] { return GraphicOptionsOf(context_); });
    scrollBox_->SetObservationClickHandler(
        [this](int detailIndex) { ObservationLabelClick(detailIndex); });

    lstStructures_ = new QTreeWidget(client_);
    lstStructures_->setObjectName("lstStructures");
    lstStructures_->setGeometry(8, 360, 385, 97);
    lstStructures_->setHeaderHidden(true);
    lstStructures_->setIndentation(19);
    QFont monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospace.setPixelSize(13);
    lstStructures_->setFont(monospace);
    lstStructures_->setExpandsOnDoubleClick(false);

    videoWindow_ = new TVideoDisplayWidget(client_);
    videoWindow_->setObjectName("VideoWindow");
    videoWindow_->setGeometry(kVideoBounds);
    videoWindow_->SetKeepAspectRatio(false);
    videoWindow_->setContextMenuPolicy(Qt::CustomContextMenu);
    videoWindow_->installEventFilter(this);

    CreatePanel();
}

void TKanvioSingleForm::CreatePanel() {
    bedienPanel_ = new QFrame(client_);
    bedienPanel_->setObjectName("BedienPanel");
    bedienPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bedienPanel_->setGeometry(kPanelBounds);
    trackBarPanel_ = new QWidget(client_);
    trackBarPanel_->setObjectName("TrackBarPanel");
    trackBarPanel_->setGeometry(kTrackBarPanelBounds);

    controls_ = new TPlayerControlsWidget(context_, bedienPanel_);
    controls_->setGeometry(0, 0, kPanelBounds.width(), 120);
    controls_->ArrangeAsPanel(trackBarPanel_);
    controls_->ArrangeSliderGroup(kTrackBarPanelBounds.width());
    controls_->LogTrackBarChange = false;
    controls_->OffButtonAction = [this] {
        EndeButtonClick();
    };

    auto* bevel = new QFrame(bedienPanel_);
    bevel->setObjectName("Bevel3");
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel->setGeometry(0, 112, 352, 2);

    umschaltPanel_ = new QWidget(bedienPanel_);
    umschaltPanel_->setObjectName("UmschaltPanel");
    umschaltPanel_->setGeometry(8, 127, 121, 50);
    haltungRBtn_ = new QRadioButton(umschaltPanel_);
    haltungRBtn_->setObjectName("HaltungRBtn");
    haltungRBtn_->setGeometry(4, 4, 113, 20);
    haltungRBtn_->setChecked(true);
    anschlussRBtn_ = new QRadioButton(umschaltPanel_);
    anschlussRBtn_->setObjectName("AnschlussRBtn");
    anschlussRBtn_->setGeometry(4, 26, 113, 20);

    zoomBtn_ = new QPushButton(bedienPanel_);
    zoomBtn_->setObjectName("ZoomBtn");
    zoomBtn_->setGeometry(136, 127, 105, 25);
    endeButton_ = new QPushButton(bedienPanel_);
    endeButton_->setObjectName("EndeButton");
    endeButton_->setGeometry(248, 127, 97, 50);
    recordname_ = new QLabel(bedienPanel_);
    recordname_->installEventFilter(this);
    recordname_->setObjectName("recordname");
    QFont small = recordname_->font();
    small.setPixelSize(13);
    recordname_->setFont(small);
    recordname_->move(132, 161);
}

void TKanvioSingleForm::CreatePopupMenu() {
    popup_.Create(this);
    connect(popup_.SaveImage, &QAction::triggered, this, [this] { context_.SaveImage(); });
    connect(popup_.PrintImage, &QAction::triggered, this, [this] { context_.PrintImage(); });
    connect(popup_.ColorSettings, &QAction::triggered, this, [this] { ShowColorControl(); });
    connect(popup_.Menu, &QMenu::aboutToShow, this,
            [this] { popup_.ColorSettings->setEnabled(CanChangePictureProps()); });
}

void TKanvioSingleForm::ConnectHandlers() {
    connect(menus_, &TMainFormMenus::ReachItemClick, this, &TKanvioSingleForm::ReachItemClick);
    connect(menus_, &TMainFormMenus::ConnectionItemClick, this,
            &TKanvioSingleForm::ConnectionItemClick);
    connect(menus_, &TMainFormMenus::LayoutChange, this, &TKanvioSingleForm::LayoutChange);
    connect(menus_->miKanvioHelp, &QAction::triggered, this, [this] { context_.OpenHelp(); });
    connect(menus_->miAdvanced, &QAction::triggered, this, &TKanvioSingleForm::miAdvancedClick);
    connect(zoomBtn_, &QPushButton::clicked, this, &TKanvioSingleForm::ZoomBtnClick);
    connect(endeButton_, &QPushButton::clicked, this, &TKanvioSingleForm::EndeButtonClick);
    connect(haltungRBtn_, &QRadioButton::clicked, this, &TKanvioSingleForm::FillStructureTree);
    connect(anschlussRBtn_, &QRadioButton::clicked, this, &TKanvioSingleForm::FillStructureTree);
    connect(lstStructures_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { lstStructuresDblClick(item); });
    connect(videoWindow_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_.Menu->popup(videoWindow_->mapToGlobal(at)); });
    connect(popup_.FullScreen, &QAction::triggered, this, [this] { ToggleFullScreen(); });
}

void TKanvioSingleForm::ApplyTexts() {
    LangScope lang;
    setWindowTitle(AnsiToQString(lang.Text("_MainFormCaption")));
    menus_->ApplyTexts(lang);
    infoPanel_->ApplyTexts(lang);
    scrollBox_->ApplyTexts();
    restartNotice_ = lang.Text("_ChangesWillBePerformedAfterRestart");
    popup_.SaveImage->setText(AnsiToQString(lang.Text("_SaveImage")));
    popup_.PrintImage->setText(AnsiToQString(lang.Text("_PrintImage")));
    popup_.FullScreen->setText(AnsiToQString(lang.Text("_FullScreen")));
    popup_.ColorSettings->setText(AnsiToQString(lang.Text("_ColorSettings")));
    endeButton_->setText(AnsiToQString(lang.Text("_End")));
    haltungRBtn_->setText(AnsiToQString(lang.Text("_Reaches")));
    anschlussRBtn_->setText(AnsiToQString(lang.Text("_Connections")));
    zoomInText_ = lang.Text("_ZoomIn");
    zoomOutText_ = lang.Text("_ZoomOut");
    zoomBtn_->setText(AnsiToQString(zoomInText_));
    recordname_->setText(QString::fromStdString("Kanvio V " + GetVersionText({}, true)));
    recordname_->adjustSize();
}

void TKanvioSingleForm::FormCreate() {
    ApplyTexts();
    PlaceFromRegistry();
    video_ = std::make_unique<TEmbeddedVideo>(*videoWindow_, context_.RendererMode,
                                              static_cast<const IEngineSettings&>(*this),
                                              context_.Services().Dialogs);
    video_->OnComplete = [this] {
        // A film change is under way: its end of stream belongs to a film being replaced.
        if (!context_.Seeking) {
            context_.NextFilm();
        }
    };
    video_->ApplyDecoderPriorities();
    menus_->CheckLayoutItem(context_.LayoutMode);
    if (context_.LayoutMode == 2) {
        for (QAction* item :
             {menus_->miReaches->menuAction(), menus_->miConnections->menuAction(),
              menus_->miAdvanced, menus_->miPrintout->menuAction(), menus_->miMenuLayout}) {
            item->setVisible(false);
        }
        infoPanel_->hide();
        scrollBox_->hide();
        lstStructures_->move(8, 0);
        lstStructures_->show();
    } else {
        haltungRBtn_->setEnabled(false);
        anschlussRBtn_->setEnabled(false);
        scrollBox_->move(8, scrollBox_->y());
        lstStructures_->hide();
    }
    if (const QScreen* screen = ScreenOf(*this)) {
        ApplyScreenSize(screen->geometry().size());
    }
    savedVideoBounds_ = videoWindow_->geometry();
    videoWindow_->raise();
    SetClientSize(kDesignClientSize.width(), kDesignClientSize.height());
}

void TKanvioSingleForm::ApplyScreenSize(const QSize& screen) {
    screenSize_ = screen;
    enlargeFactor_ = 0.0;
    zoomBtn_->setEnabled(true);
    zoomBtn_->setVisible(true);
    if (screen.width() == 640 || screen.width() == 800) {
        zoomBtn_->setEnabled(false);
    } else if (screen.width() == 1024) {
        enlargeFactor_ = 1.6;
    } else {
        enlargeFactor_ = 2.0;
        if (screen.width() < 1024) {
            zoomBtn_->setVisible(false);
        }
    }
}

void TKanvioSingleForm::PlaceFromRegistry() {
    TFormGeometry place{ReadRegInteger("", "SingleLeft", 0), ReadRegInteger("", "SingleTop", 0),
                        kDesignClientSize.width(), kDesignClientSize.height()};
    if (const QScreen* screen = ScreenOf(*this)) {
        const QRect whole = screen->geometry();
        place = PlaceMainFormOnScreen(place, whole.width(), whole.height());
    }
    move(place.Left, place.Top);
}

void TKanvioSingleForm::SetClientSize(int width, int height) {
    client_->setFixedSize(width, height);
    const int menuHeight =
        menus_->MainMenu->isVisible() || !isVisible() ? menus_->MainMenu->sizeHint().height() : 0;
    setFixedSize(width, height + menuHeight);
}

void TKanvioSingleForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TKanvioSingleForm::FormShow() {
    QWidget* view = StructureView();
    view->resize(view->width(), bedienPanel_->y() + bedienPanel_->height() - view->y() - 8);
    if (context_.LayoutMode == 2) {
        const bool connections = !context_.Connections.empty();
        const bool reaches = !context_.Reaches.empty();
        anschlussRBtn_->setEnabled(connections);
        anschlussRBtn_->setChecked(connections);
        haltungRBtn_->setEnabled(reaches);
        if (reaches) {
            haltungRBtn_->setChecked(true);
        }
    }
    if (context_.RunsFromCD) {
        setWindowTitle(windowTitle() + QStringLiteral("."));
    }
    context_.StartPlayer();
    infoPanel_->move(8, 8);
    infoPanel_->ArrangeColumns(ComputeMainFormLayout(401, 500, TStructureInfoPanel::kHeight,
                                                     infoPanel_->ColumnLabelWidths()));
    infoPanel_->setGeometry(8, 8, 385, 105);
    if (!context_.TrailerPlaying) {
        SelectInitialStructure();
    }
    controls_->SpEdtJump()->setValue(ReadRegInteger("", "Seconds", 10));
}

QWidget* TKanvioSingleForm::StructureView() const {
    return context_.LayoutMode == 2 ? static_cast<QWidget*>(lstStructures_) : scrollBox_;
}

void TKanvioSingleForm::ZoomBtnClick() {
    if (fullScreen_ || enlargeFactor_ == 0.0) {
        return;
    }
    QWidget* view = StructureView();
    QRect video = videoWindow_->geometry();
    QRect panel = bedienPanel_->geometry();
    QRect sliders = trackBarPanel_->geometry();
    if (!enlarged_) {
        enlarged_ = true;
        zoomBtn_->setText(AnsiToQString(zoomOutText_));
        double factor = enlargeFactor_;
        if (video.left() + std::trunc(video.width() * factor) + 8 > screenSize_.width()) {
            factor = double(screenSize_.width() - 8 - video.left()) / video.width();
            move(0, y());
        }
        if (video.top() + std::trunc(video.height() * factor) + panel.height() + sliders.height() +
                24 >
            screenSize_.height()) {
            factor = double(screenSize_.height() - 24 - sliders.height() - panel.height() -
                            video.top()) /
                     video.height();
            move(x(), 0);
        }
        enlargeFactor_ = factor; // the shrink undoes the factor in effect
        video.setSize(QSize(int(std::trunc(video.width() * factor)),
                            int(std::trunc(video.height() * factor))));
        panel.moveTo(video.left() + video.width() - panel.width(), video.bottom() + 1 + 8);
        view->resize(view->width(),
                     panel.top() + panel.height() - (view->y() + sliders.height() + 8));
        sliders.setWidth(panel.left() - 12);
    } else {
        enlarged_ = false;
        zoomBtn_->setText(AnsiToQString(zoomInText_));
        video.setSize(QSize(int(std::trunc(video.width() / enlargeFactor_)),
                            int(std::trunc(video.height() / enlargeFactor_))));
        panel.moveTo(video.left(), video.bottom() + 1 + 8);
        view->resize(view->width(), panel.top() + panel.height() - view->y() - 8);
        sliders.setWidth(panel.left() + panel.width() - 8);
    }
    videoWindow_->setGeometry(video);
    savedVideoBounds_.setSize(video.size());
    bedienPanel_->setGeometry(panel);
    sliders.moveTop(view->y() + view->height() + 8);
    trackBarPanel_->setGeometry(sliders);
    ArrangeAfterZoom();
}

void TKanvioSingleForm::ArrangeAfterZoom() {
    controls_->ArrangeSliderGroup(trackBarPanel_->width());
    SetClientSize(videoWindow_->x() + videoWindow_->width() + 8,
                  trackBarPanel_->y() + trackBarPanel_->height() + 8);
    if (screenSize_.isValid() && y() + frameGeometry().height() > screenSize_.height()) {
        move(x(), std::max(0, screenSize_.height() - frameGeometry().height()));
    }
    video_->Resize(videoWindow_->width(), videoWindow_->height());
}

void TKanvioSingleForm::ToggleFullScreen() {
    const bool was = fullScreen_;
    if (!was) {
        // A window of fixed size cannot fill the screen.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        client_->setMinimumSize(0, 0);
        client_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    fullScreen_ = video_->ToggleFullScreen();
    menus_->MainMenu->setVisible(!fullScreen_);
    if (fullScreen_) {
        videoWindow_->raise();
        videoWindow_->setGeometry(0, 0, client_->width(), client_->height());
        QScreen* screen = ScreenOf(*this);
        if (screen != nullptr) {
            videoWindow_->setGeometry(QRect(QPoint(0, 0), screen->geometry().size()));
        }
    } else {
        videoWindow_->setGeometry(savedVideoBounds_);
        SetClientSize(videoWindow_->x() + videoWindow_->width() + 8,
                      trackBarPanel_->y() + trackBarPanel_->height() + 8);
    }
    video_->Resize(videoWindow_->width(), videoWindow_->height());
    popup_.FullScreen->setChecked(fullScreen_);
}

void TKanvioSingleForm::EndeButtonClick() {
    close();
}

void TKanvioSingleForm::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        FormCloseQuery();
        Q_EMIT Closed();
    }
    event->accept();
}

void TKanvioSingleForm::FormCloseQuery() {
    DestroyPlayerWindows();
    const std::pair<const char*, int> values[] = {
        {"SingleLeft", x()}, {"SingleTop", y()}, {"Seconds", controls_->SpEdtJump()->value()}};
    for (const auto& [name, value] : values) {
        try {
            WriteRegInteger("", name, value);
        } catch (const EKanvioError& error) {
            // The window closes all the same; it opens at its old place next time.
            LogLine(std::string("Window position not stored: ") + error.what(), LOG_ERROR);
            break;
        }
    }
    context_.ShutDown(true);
}

void TKanvioSingleForm::CloseMainWindow() {
    close();
}

void TKanvioSingleForm::keyPressEvent(QKeyEvent* event) {
    if (const auto key = PlayerKeyOf(event->key(), event->modifiers())) {
        context_.HandleKey(key->Key, key->Ctrl);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TKanvioSingleForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == videoWindow_ && event->type() == QEvent::MouseButtonDblClick) {
        ZoomBtnClick();
        return true;
    }
    // The single window has no time-correction button: the version label opens it.
    if (watched == recordname_ && event->type() == QEvent::MouseButtonDblClick) {
        context_.ShowTimeCorrection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

IPlayerControls* TKanvioSingleForm::Controls() {
    return controls_;
}

void TKanvioSingleForm::CloseSplash() {
    if (splash_) {
        splash_->hide();
        splash_->deleteLater();
        splash_ = nullptr;
    }
}

void TKanvioSingleForm::DestroyPlayerWindows() {
    controls_->StopTimers();
    // The picture panel's sliders are bound to the engine: they must not outlive it.
    delete colorControl_.data();
    if (video_) {
        video_->Release();
    }
}

int32_t TKanvioSingleForm::FilterStrategy() const {
    return context_.FilterStrategy;
}

TVideoResult TKanvioSingleForm::LoadMovieAuto(const std::string& fileName) {
    return video_->LoadMovieAuto(fileName);
}

TVideoResult TKanvioSingleForm::PlayMovie() {
    return video_->PlayMovie();
}

TVideoResult TKanvioSingleForm::PauseMovie() {
    return video_->PauseMovie();
}

TVideoResult TKanvioSingleForm::StopMovie() {
    return video_->StopMovie();
}

TVideoResult TKanvioSingleForm::SeekTo(int64_t milliseconds) {
    return video_->SeekTo(milliseconds);
}

void TKanvioSingleForm::SetSpeed(double rate) {
    video_->SetSpeed(rate);
}

int64_t TKanvioSingleForm::GetCurrentPosition() {
    return video_->GetCurrentPosition();
}

void TKanvioSingleForm::SetZoom(float factor) {
    video_->SetZoom(factor);
}

int TKanvioSingleForm::MovieFormat() const {
    return video_->MovieFormat();
}

bool TKanvioSingleForm::CanChangePictureProps() {
    return video_->CanChangePictureProps();
}

void TKanvioSingleForm::BringToFront() {
    raise();
    activateWindow();
}

void TKanvioSingleForm::ApplyDecoderPriorities() {
    video_->ApplyDecoderPriorities();
}

} // namespace kanvio
