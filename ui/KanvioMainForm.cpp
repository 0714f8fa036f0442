#include "ui/KanvioMainForm.h"

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/QelListViewModel.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"
#include "ui/InspChoiceForm.h"
#include "ui/MainFormLayout.h"
#include "ui/MainFormMenus.h"
#include "ui/SettingsCommands.h"
#include "ui/StartChoice.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureViewImages.h"
#include "video/VirtualKeyMap.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

namespace kanvio {

namespace {

constexpr QSize kDesignClientSize(484, 431);

QScreen* ScreenOf(const QWidget& widget) {
    QScreen* screen = widget.screen();
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

TScreenArea ScreenAreaOf(const QScreen& screen) {
    const QRect whole = screen.geometry();
    const QRect available = screen.availableGeometry();
    TScreenArea area;
    area.Width = available.x() + available.width();
    area.Height = whole.y() + whole.height();
    area.BottomReserved = whole.bottom() - available.bottom();
    return area;
}

} // namespace

TKanvioMainForm::TKanvioMainForm(TKanvioContext& context, IUserDialogs& dialogs,
                                 std::vector<std::string> arguments, QWidget* parent)
    // A sizeable window whose only border icon is the close button of the system menu.
    : TBaseRescalableForm(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context), dialogs_(dialogs), arguments_(std::move(arguments)),
      menus_(new TMainFormMenus(this)), client_(new QWidget(this)),
      infoPanel_(new TStructureInfoPanel(client_)), scrollBox_(new TStructureGraphicView(client_)) {
    // This window lays itself out for the screen on its own (FormCreate, FormResize).
    SetOwnShowHandling(true);
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);
    setFocusPolicy(Qt::StrongFocus);

    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    frame->setMenuBar(menus_->MainMenu);
    frame->addWidget(client_);
    client_->installEventFilter(this);

    QPalette white = scrollBox_->palette();
    white.setColor(QPalette::Window, Qt::white);
    scrollBox_->setPalette(white);
    scrollBox_->setFocusPolicy(Qt::NoFocus);
    scrollBox_->SetOptionsSource([this] { return GraphicOptionsOf(context_); });
    scrollBox_->SetObservationClickHandler(
        [this](int detailIndex) { ObservationLabelClick(detailIndex); });

    connect(menus_, &TMainFormMenus::ReachItemClick, this, &TKanvioMainForm::ReachItemClick);
    connect(menus_, &TMainFormMenus::ConnectionItemClick, this,
            &TKanvioMainForm::ConnectionItemClick);
    connect(menus_, &TMainFormMenus::LayoutChange, this, &TKanvioMainForm::LayoutChange);
    connect(menus_->miToggleManholes, &QAction::triggered, this,
            &TKanvioMainForm::miToggleManholesClick);
    connect(menus_->miKanvioHelp, &QAction::triggered, this, &TKanvioMainForm::miKanvioHelpClick);
    connect(menus_->miPrintStructure, &QAction::triggered, this, [this] {
        context_.PrintStructure(PanelImage(*infoPanel_), WholeGraphicImage(*scrollBox_));
    });
    connect(menus_->miAdvanced, &QAction::triggered, this, &TKanvioMainForm::miAdvancedClick);
    TSettingsCommands::TWindowHooks hooks;
    hooks.RedrawGraphic = [this] { DrawStructureGraphic(context_.CurrentStructure); };
    hooks.RebuildMenus = [this] { BuildStructureMenus(); };
    settings_ = std::make_unique<TSettingsCommands>(context_, dialogs_, *this, std::move(hooks));
    connect(menus_->miCodecSettings, &QAction::triggered, this,
            [this] { settings_->miCodecSettingsClick(); });
    connect(menus_->miDefectClass, &QAction::triggered, this,
            [this] { settings_->miDefectClassClick(); });
    connect(menus_->miMenuLayout, &QAction::triggered, this,
            [this] { settings_->miMenuLayoutClick(); });

    FormCreate();
}

TKanvioMainForm::~TKanvioMainForm() {
    // The choice window reads the list model up to its end; it goes first.
    delete choiceForm_;
}

void TKanvioMainForm::FormCreate() {
    ApplyTexts();
    menus_->miToggleManholes->setEnabled(false);

    TFormGeometry geometry = ReadMainFormGeometry();
    if (const QScreen* screen = ScreenOf(*this)) {
        const TScreenArea area = ScreenAreaOf(*screen);
        geometry = PlaceMainFormOnScreen(geometry, area.Width, area.Height);
    }
    move(geometry.Left, geometry.Top);
    resize(geometry.Width > 0 ? geometry.Width : kDesignClientSize.width(),
           geometry.Height > 0 ? geometry.Height : kDesignClientSize.height());

    menus_->CheckLayoutItem(context_.LayoutMode);
}

void TKanvioMainForm::ApplyTexts() {
    LangScope lang;
    setWindowTitle(AnsiToQString(lang.Text("_MainFormCaption")));
    menus_->ApplyTexts(lang);
    infoPanel_->ApplyTexts(lang);
    scrollBox_->ApplyTexts();
    restartNotice_ = lang.Text("_ChangesWillBePerformedAfterRestart");
}

void TKanvioMainForm::showEvent(QShowEvent* event) {
    TBaseRescalableForm::showEvent(event);
    KeepOnScreen();
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TKanvioMainForm::FormShow() {
    if (context_.RunsFromCD) {
        setWindowTitle(windowTitle() + QStringLiteral("."));
    }
    context_.StartPlayer();
    if (!context_.TrailerPlaying) {
        ChooseInitialStructure();
    }
}

void TKanvioMainForm::moveEvent(QMoveEvent* event) {
    TBaseRescalableForm::moveEvent(event);
    if (isVisible()) {
        KeepOnScreen();
    }
}

void TKanvioMainForm::KeepOnScreen() {
    const QScreen* screen = ScreenOf(*this);
    if (screen == nullptr) {
        return;
    }
    const TFormGeometry now{x(), y(), frameGeometry().width(), frameGeometry().height()};
    const TFormGeometry kept = KeepFormOnScreen(now, ScreenAreaOf(*screen));
    if (kept.Left != now.Left || kept.Top != now.Top) {
        move(kept.Left, kept.Top);
    }
}

bool TKanvioMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) {
        FormResize();
    }
    return TBaseRescalableForm::eventFilter(watched, event);
}

void TKanvioMainForm::FormResize() {
    const TMainFormLayout layout =
        ComputeMainFormLayout(client_->width(), client_->height(), TStructureInfoPanel::kHeight,
                              infoPanel_->ColumnLabelWidths());
    const auto place = [](QWidget* widget, const TRect& rect) {
        widget->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
    };
    place(infoPanel_, layout.InfoPanel);
    place(scrollBox_, layout.ScrollBox);
    infoPanel_->ArrangeColumns(layout);
    DrawStructureGraphic(context_.CurrentStructure);
}

void TKanvioMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
    Q_EMIT Closed();
}

void TKanvioMainForm::FormCloseQuery() {
    try {
        WriteMainFormGeometry({x(), y(), width(), height()});
    } catch (const EKanvioError& error) {
        // The window closes all the same; it opens at its old place next time.
        LogLine(std::string("Main window position not stored: ") + error.what(), LOG_ERROR);
    }
    context_.ShutDown(true);
}

void TKanvioMainForm::CloseMainWindow() {
    close();
}

void TKanvioMainForm::keyPressEvent(QKeyEvent* event) {
    if (const auto key = PlayerKeyOf(event->key(), event->modifiers())) {
        context_.HandleKey(key->Key, key->Ctrl);
        event->accept();
        return;
    }
    TBaseRescalableForm::keyPressEvent(event);
}

void TKanvioMainForm::BuildStructureMenus() {
    menus_->BuildStructureMenus(context_.Reaches, context_.Connections, context_.InspectionInfo,
                                context_.DisplayConnectionMode);
}

void TKanvioMainForm::EnableControls(bool enabled) {
    scrollBox_->setEnabled(enabled);
    menus_->EnableControls(enabled);
}

bool TKanvioMainForm::ChooseInitialStructure() {
    const bool takeDefault = !ApplyCommandLineChoice(context_, arguments_);
    if (takeDefault) {
        SelectFirstStructure();
        if (context_.CurrentStructure != nullptr) {
            context_.SeekDetail(-1);
        }
    }
    ShowStructureInfo();
    DrawStructureGraphic(context_.CurrentStructure);
    context_.Pause();
    return takeDefault;
}

void TKanvioMainForm::SelectFirstStructure() {
    if (!context_.Reaches.empty()) {
        menus_->CheckStructureItem(menus_->ReachItems().empty() ? nullptr
                                                                : menus_->ReachItems().front());
        context_.CurrentStructure = context_.Reaches.front().get();
    } else if (!context_.Connections.empty()) {
        menus_->CheckStructureItem(
            menus_->ConnectionItems().empty() ? nullptr : menus_->ConnectionItems().front());
        context_.CurrentStructure = context_.Connections.front().get();
    }
}

void TKanvioMainForm::SyncMenus() {
    // Structures of ISYBAU deliveries carry no ID, so the structure itself is looked up.
    const TReachData* current = context_.CurrentStructure;
    QAction* item = nullptr;
    if (current != nullptr) {
        const auto find = [current](const TAReachData& structures,
                                    const std::vector<QAction*>& items) -> QAction* {
            for (size_t i = 0; i < structures.size() && i < items.size(); ++i) {
                if (structures[i].get() == current) {
                    return items[i];
                }
            }
            return nullptr;
        };
        if (current->ObjectType == 'H') {
            item = find(context_.Reaches, menus_->ReachItems());
        } else if (current->ObjectType == 'A') {
            item = find(context_.Connections, menus_->ConnectionItems());
        }
    }
    menus_->CheckStructureItem(item);
    DrawStructureGraphic(context_.CurrentStructure);
    ShowStructureInfo();
}

void TKanvioMainForm::ShowStructureInfo() {
    const TReachData* current = context_.CurrentStructure;
    infoPanel_->ShowStructure(current);
    menus_->miToggleManholes->setEnabled(current != nullptr && CanToggleManholes(*current));
}

void TKanvioMainForm::DrawStructureGraphic(const TReachData* structure) {
    scrollBox_->DrawStructureGraphic(structure);
}

void TKanvioMainForm::ReachItemClick(int index) {
    if (index < 0 || static_cast<size_t>(index) >= context_.Reaches.size()) {
        return;
    }
    const auto& items = menus_->ReachItems();
    SelectStructure(static_cast<size_t>(index) < items.size() ? items[size_t(index)] : nullptr,
                    context_.Reaches[size_t(index)].get());
}

void TKanvioMainForm::ConnectionItemClick(int index) {
    if (index < 0 || static_cast<size_t>(index) >= context_.Connections.size()) {
        return;
    }
    const auto& items = menus_->ConnectionItems();
    SelectStructure(static_cast<size_t>(index) < items.size() ? items[size_t(index)] : nullptr,
                    context_.Connections[size_t(index)].get());
}

void TKanvioMainForm::SelectStructure(QAction* item, TReachData* structure) {
    menus_->CheckStructureItem(item);
    context_.CurrentStructure = structure;
    ShowStructureInfo();
    DrawStructureGraphic(structure);
    context_.SeekDetail(-1);
    context_.Pause();
}

void TKanvioMainForm::ObservationLabelClick(int detailIndex) {
    if (context_.TrailerPlaying) {
        return;
    }
    context_.SeekDetail(detailIndex);
    context_.Play(1.0);
}

void TKanvioMainForm::LayoutChange(int tag) {
    menus_->CheckLayoutItem(tag);
    try {
        WriteRegInteger("", "LayoutMode", tag);
    } catch (const EKanvioError& error) {
        dialogs_.ShowMessage(TMessageKind::Error, error.what());
        return;
    }
    dialogs_.ShowMessage(TMessageKind::Information, restartNotice_);
}

void TKanvioMainForm::miToggleManholesClick() {
    TReachData* current = context_.CurrentStructure;
    if (current == nullptr) {
        return;
    }
    std::swap(current->StartManholeNumber, current->EndManholeNumber);
    DrawStructureGraphic(current);
}

void TKanvioMainForm::miKanvioHelpClick() {
    context_.OpenHelp();
}

void TKanvioMainForm::miAdvancedClick() {
    if (choiceForm_ == nullptr) {
        // The player builds the table at start; a context made without it gets one here.
        if (!context_.ListModel) {
            listModel_ = BuildListModel(context_);
        }
        const TQelListViewModel& model = context_.ListModel ? *context_.ListModel : *listModel_;
        choiceForm_ = new TInspChoiceForm(
            context_, model, [this](TReachData& structure) { StructureChosen(structure); }, this);
    }
    choiceForm_->show();
    choiceForm_->raise();
    choiceForm_->activateWindow();
}

void TKanvioMainForm::StructureChosen(TReachData& structure) {
    context_.CurrentStructure = &structure;
    SyncMenus();
    context_.SeekDetail(-1);
    context_.Pause();
}

} // namespace kanvio
