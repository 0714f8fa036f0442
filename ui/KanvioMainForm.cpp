#include "ui/KanvioMainForm.h"

#include "core/KanvioContext.h"
#include "core/KanvioDataModel.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/FramePlacement.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"
#include "foundation/WindowPlace.h"
#include "ui/MainFormLayout.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/PlayerKeys.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "video/StartupMarks.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

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
      infoPanel_(new TStructureInfoPanel(client_)), scrollBox_(new TStructureGraphicView(client_)),
      placement_(new TFramePlacement(*this, TFramePlacement::TSize::Frame)) {
    setObjectName("KanvioMainForm");
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

    commands_ = std::make_unique<TMainMenuCommands>(context_, dialogs_, *menus_, *infoPanel_,
                                                    *scrollBox_, *this, *this);

    connect(placement_, &TFramePlacement::Placed, this, [this] {
        if (FollowedByNeighbours()) {
            LeadNeighbours();
            settled_ = settled_ || (shown_ && !placement_->KnownMargins().isNull());
        }
    });
    FormCreate();
}

TKanvioMainForm::~TKanvioMainForm() = default;

void TKanvioMainForm::FormCreate() {
    ApplyTexts();
    menus_->miToggleManholes->setEnabled(false);
    // With a font wider than the design's, the menus would hide behind the bar's chevron;
    // the window is placed at the width its texts need.
    FitWidthToTexts();

    // Frame bounds, kept wholly on the screen.
    firstStart_ = ReadRegInteger("", "MainWidth", -1) < 0;
    NoteFirstStartMainFrame(QRect());
    TFormGeometry stored = ReadMainFormGeometry(DesignFontScale());
    if (const QScreen* screen = ScreenOf(*this)) {
        const TScreenArea area = ScreenAreaOf(*screen);
        stored = PlaceMainFormOnScreen(stored, area.Width, area.Height);
    }
    placement_->Place(QRect(stored.Left, stored.Top,
                            stored.Width > 0 ? stored.Width : kDesignClientSize.width(),
                            stored.Height > 0 ? stored.Height : kDesignClientSize.height()));

    menus_->CheckLayoutItem(context_.LayoutMode);
}

void TKanvioMainForm::ApplyTexts() {
    LangScope lang;
    setWindowTitle(AnsiToQString(lang.Text("_MainFormCaption")));
    menus_->ApplyTexts(lang);
    infoPanel_->ApplyTexts(lang);
    scrollBox_->ApplyTexts();
}

void TKanvioMainForm::showEvent(QShowEvent* event) {
    TBaseRescalableForm::showEvent(event);
    KeepOnScreen();
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

bool TKanvioMainForm::FollowedByNeighbours() const {
    return firstStart_ && !settled_;
}

void TKanvioMainForm::LeadNeighbours() {
    // Texts or the window manager's frame may have made this window larger than the design:
    // the neighbours' first places keep clear of the frame it really has.
    NoteFirstStartMainFrame(frameGeometry());
    if (IPlayerWindows* windows = context_.PlayerWindows()) {
        windows->FollowMainWindow();
    }
}

void TKanvioMainForm::FormShow() {
    if (context_.RunsFromCD) {
        setWindowTitle(windowTitle() + QStringLiteral("."));
    }
    context_.StartPlayer();
    // Framed already: the first-start places are final. Otherwise the neighbours follow
    // once the window manager's frame is known.
    settled_ = settled_ || !placement_->KnownMargins().isNull();
    if (!context_.TrailerPlaying) {
        SelectInitialStructure();
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
    commands_->DrawStructureGraphic(context_.CurrentStructure);
}

void TKanvioMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
    Q_EMIT Closed();
}

void TKanvioMainForm::FormCloseQuery() {
    try {
        const QRect frame = placement_->NormalFrame();
        WriteMainFormGeometry({frame.x(), frame.y(), frame.width(), frame.height()});
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
    if (!PassKeyToPlayer(context_, *event)) {
        TBaseRescalableForm::keyPressEvent(event);
    }
}

void TKanvioMainForm::ShowStructureList() {
    commands_->BuildStructureMenus();
    FitWidthToTexts();
    MarkStartup("structure menus built");
}

void TKanvioMainForm::FitWidthToTexts() {
    std::vector<const TReachData*> structures;
    for (const TAReachData* list : {&context_.Reaches, &context_.Connections}) {
        for (const TReachDataRef& structure : *list) {
            structures.push_back(structure.get());
        }
    }
    // The client width at which the fields of the panel's layout get that width.
    const auto [w1, w2, w3] = infoPanel_->ColumnLabelWidths();
    const int panel = 3 * infoPanel_->LeastEditWidth(structures) + w1 + w2 + w3 + 72;
    int least = std::max(menus_->NeededWidth(), panel);
    // Never wider than the screen: there the user sees more by scrolling the fields.
    if (const QScreen* screen = ScreenOf(*this)) {
        const int frame = frameGeometry().width() - width();
        least = std::min(least, screen->availableGeometry().width() - frame);
    }
    setMinimumWidth(least);
    if (FollowedByNeighbours()) {
        LeadNeighbours();
    }
}

void TKanvioMainForm::ShowCurrentStructure() {
    commands_->SyncMenus();
}

void TKanvioMainForm::EnableControls(bool enabled) {
    scrollBox_->setEnabled(enabled);
    menus_->EnableControls(enabled);
}

void TKanvioMainForm::SelectInitialStructure() {
    commands_->ChooseInitialStructure(arguments_);
}

void TKanvioMainForm::ObservationLabelClick(int detailIndex) {
    if (context_.TrailerPlaying) {
        return;
    }
    context_.SeekDetail(detailIndex);
    context_.Play(1.0);
}

} // namespace kanvio
