#include "ui/KanvioSingleForm.h"

#include "core/KanvioContext.h"
#include "core/KanvioDataModel.h"
#include "core/SplashForm.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/FramePlacement.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "ui/MainFormLayout.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/PictureCopy.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/PlayerKeys.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureTreePictures.h"
#include "video/ColorControlForm.h"
#include "video/EmbeddedVideo.h"
#include "video/VideoDisplayWidget.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
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

namespace kanvio {

namespace {

constexpr QSize kDesignClientSize(773, 570);
constexpr QRect kVideoBounds(408, 0, 352, 288);
constexpr QRect kPanelBounds(408, 295, 353, 190);
constexpr QRect kTrackBarPanelBounds(8, 493, 753, 65);
// The information panel of layout 1 in the design; its fields may need more.
constexpr int kInfoPanelWidth = 385;

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
    commands_.reset(); // its choice window reads the list model up to its end
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
    // A row is as wide as its text: one wider than the list scrolls instead of being cut.
    lstStructures_->header()->setStretchLastSection(false);
    lstStructures_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    treePictures_ = new TStructureTreePictures(*lstStructures_, context_, &StructureOfRow);

    videoWindow_ = new TVideoDisplayWidget(client_);
    videoWindow_->setObjectName("VideoWindow");
    videoWindow_->setGeometry(kVideoBounds);
    // A stretched picture would falsify the pipe's shape (a round pipe looks deformed):
    // normal, enlarged or full screen, the film keeps its aspect with black bars.
    videoWindow_->SetKeepAspectRatio(true);
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

    bevel3_ = new QFrame(bedienPanel_);
    bevel3_->setObjectName("Bevel3");
    bevel3_->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel3_->setGeometry(0, 112, 352, 2);

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
    connect(popup_.CopyImage, &QAction::triggered, this, [this] {
        TPictureCopy(context_, dialogs_).CopyToClipboard(*QGuiApplication::clipboard());
    });
    connect(popup_.SaveCaptionedImage, &QAction::triggered, this,
            [this] { TPictureCopy(context_, dialogs_).SaveWithCaption(); });
    connect(popup_.ColorSettings, &QAction::triggered, this, [this] { ShowColorControl(); });
    connect(popup_.Menu, &QMenu::aboutToShow, this,
            [this] { popup_.ColorSettings->setEnabled(CanChangePictureProps()); });
}

void TKanvioSingleForm::ConnectHandlers() {
    commands_ = std::make_unique<TMainMenuCommands>(context_, dialogs_, *menus_, *infoPanel_,
                                                    *scrollBox_, *this, *this);
    commands_->OnColoursChanged = [this] {
        RecolourStructureTree();
    };
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
    menus_->miDefectClass->setText(AnsiToQString(lang.Text("_DefectClass")));
    popup_.SaveImage->setText(AnsiToQString(lang.Text("_SaveImage")));
    popup_.PrintImage->setText(AnsiToQString(lang.Text("_PrintImage")));
    popup_.CopyImage->setText(AnsiToQString(lang.Text("_CopyPicture")));
    popup_.SaveCaptionedImage->setText(AnsiToQString(lang.Text("_SaveCaptionedPicture")) + "...");
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
        menus_->SetOpenEndedLabelRows(true);
        haltungRBtn_->setEnabled(false);
        anschlussRBtn_->setEnabled(false);
        scrollBox_->move(8, scrollBox_->y());
        lstStructures_->hide();
        structureColumnGrowth_ = WidenStructureColumn();
    }
    if (const QScreen* screen = ScreenOf(*this)) {
        ApplyScreenSize(screen->geometry().size());
    }
    savedVideoBounds_ = videoWindow_->geometry();
    videoWindow_->raise();
    SetClientSize(kDesignClientSize.width() + structureColumnGrowth_, kDesignClientSize.height());
}

int TKanvioSingleForm::WidenStructureColumn() {
    std::vector<const TReachData*> structures;
    for (const TAReachData* list : {&context_.Reaches, &context_.Connections}) {
        for (const TReachDataRef& structure : *list) {
            structures.push_back(structure.get());
        }
    }
    const auto [w1, w2, w3] = infoPanel_->ColumnLabelWidths();
    const int needed = 3 * infoPanel_->LeastEditWidth(structures) + w1 + w2 + w3 + 56;
    int growth = std::max(0, needed - kInfoPanelWidth);
    // Never beyond the screen: there the fields scroll.
    if (const QScreen* screen = ScreenOf(*this)) {
        growth = std::min(growth, std::max(0, screen->availableGeometry().width() -
                                                  kDesignClientSize.width() - 16));
    }
    if (growth == 0) {
        return 0;
    }
    // The video side keeps its design; it moves right by as much as the column grows.
    const int edge = 8 + kInfoPanelWidth;
    for (QObject* child : client_->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->x() >= edge) {
            widget->move(widget->x() + growth, widget->y());
        }
    }
    scrollBox_->resize(scrollBox_->width() + growth, scrollBox_->height());
    trackBarPanel_->resize(trackBarPanel_->width() + growth, trackBarPanel_->height());
    controls_->ArrangeSliderGroup(trackBarPanel_->width());
    return growth;
}

void TKanvioSingleForm::PlaceFromRegistry() {
    TFormGeometry place{ReadRegInteger("", "SingleLeft", 0), ReadRegInteger("", "SingleTop", 0),
                        kDesignClientSize.width(), kDesignClientSize.height()};
    if (const QScreen* screen = ScreenOf(*this)) {
        const QRect whole = screen->geometry();
        place = PlaceMainFormOnScreen(place, whole.width(), whole.height());
    }
    // The frame's corner; the window's size follows from its controls.
    placement_ = new TFramePlacement(*this, TFramePlacement::TSize::Own);
    storedCorner_ = QPoint(place.Left, place.Top);
    placement_->Place(QRect(storedCorner_, size()));
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
        // Placed again with the window's final size, wholly on the screen.
        placement_->Place(QRect(storedCorner_, size()));
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
    const int panelWidth = kInfoPanelWidth + structureColumnGrowth_;
    infoPanel_->ArrangeColumns(ComputeMainFormLayout(
        panelWidth + 16, 500, TStructureInfoPanel::kHeight, infoPanel_->ColumnLabelWidths()));
    infoPanel_->setGeometry(8, 8, panelWidth, 105);
    // The tool bar sits midway between the film name's bottom and the bevel.
    QWidget* toolBar = controls_->ToolBar();
    const QWidget* cassSlot = controls_->CassSlot();
    const int bevelTop = controls_->mapFrom(bedienPanel_, bevel3_->pos()).y();
    toolBar->move(toolBar->x(),
                  (bevelTop + cassSlot->y() + cassSlot->height() - toolBar->height()) / 2);
    if (!context_.TrailerPlaying) {
        SelectInitialStructure();
    }
    controls_->SpEdtJump()->setValue(ReadRegInteger("", "Seconds", 10));
}

QWidget* TKanvioSingleForm::StructureView() const {
    return context_.LayoutMode == 2 ? static_cast<QWidget*>(lstStructures_) : scrollBox_;
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
    // The normal place: a window closed in full screen opens as it was before.
    const QPoint corner = placement_->NormalFrame().topLeft();
    const std::pair<const char*, int> values[] = {{"SingleLeft", corner.x()},
                                                  {"SingleTop", corner.y()},
                                                  {"Seconds", controls_->SpEdtJump()->value()}};
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
    if (!PassKeyToPlayer(context_, *event)) {
        QWidget::keyPressEvent(event);
    }
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
    DismissSplash(splash_);
}

void TKanvioSingleForm::DestroyPlayerWindows() {
    controls_->StopTimers();
    // The picture panel's sliders are bound to the engine: they must not outlive it.
    delete colorControl_.data();
    if (video_) {
        video_->Release();
    }
}

} // namespace kanvio
