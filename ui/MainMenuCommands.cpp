#include "ui/MainMenuCommands.h"

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/QelListViewModel.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"
#include "ui/DeliveryCommands.h"
#include "ui/InspChoiceForm.h"
#include "ui/MainFormMenus.h"
#include "ui/ObservationStrip.h"
#include "ui/ReportCommands.h"
#include "ui/SettingsCommands.h"
#include "ui/StartChoice.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureViewImages.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <utility>

namespace kanvio {

TMainMenuCommands::TMainMenuCommands(TKanvioContext& context, IUserDialogs& dialogs,
                                     TMainFormMenus& menus, TStructureInfoPanel& infoPanel,
                                     TStructureGraphicView& graphic, IMainWindow& mainWindow,
                                     QWidget& window)
    : context_(context), dialogs_(dialogs), menus_(menus), infoPanel_(infoPanel), graphic_(graphic),
      mainWindow_(mainWindow), window_(window) {
    TSettingsCommands::TWindowHooks hooks;
    hooks.RedrawGraphic = [this] {
        DrawStructureGraphic(context_.CurrentStructure);
        if (OnColoursChanged) {
            OnColoursChanged();
        }
    };
    hooks.RebuildMenus = [this] {
        BuildStructureMenus();
    };
    settings_ = std::make_unique<TSettingsCommands>(context_, dialogs_, window_, std::move(hooks));
    deliveries_ = std::make_unique<TDeliveryCommands>(context_, dialogs_, menus_, window_);
    reports_ = std::make_unique<TReportCommands>(context_, dialogs_, MakeReportProgressDialog);
    strip_ = new TObservationStrip;
    graphic_.SetFooter(strip_);
    strip_->SetClickHandler([this](int detailIndex) { graphic_.ClickObservation(detailIndex); });

    QObject::connect(&menus_, &TMainFormMenus::ReachItemClick, &window_,
                     [this](int index) { ReachItemClick(index); });
    QObject::connect(&menus_, &TMainFormMenus::ConnectionItemClick, &window_,
                     [this](int index) { ConnectionItemClick(index); });
    QObject::connect(&menus_, &TMainFormMenus::LayoutChange, &window_,
                     [this](int tag) { LayoutChange(tag); });
    const auto onTrigger = [this](QAction* item, auto handler) {
        QObject::connect(item, &QAction::triggered, &window_, handler);
    };
    onTrigger(menus_.miToggleManholes, [this] { miToggleManholesClick(); });
    onTrigger(menus_.miKanvioHelp, [this] { context_.OpenHelp(); });
    onTrigger(menus_.miPrintStructure, [this] {
        context_.PrintStructure(PanelImage(infoPanel_), WholeGraphicImage(graphic_));
    });
    onTrigger(menus_.miAdvanced, [this] { miAdvancedClick(); });
    onTrigger(menus_.miReportStructure, [this] { reports_->ReportCurrentStructure(); });
    onTrigger(menus_.miReportChoice, [this] { reports_->ReportChoice(choiceForm_); });
    onTrigger(menus_.miReportDelivery, [this] { reports_->ReportDelivery(); });
    onTrigger(menus_.miCodecSettings, [this] { settings_->miCodecSettingsClick(); });
    onTrigger(menus_.miDefectClass, [this] { settings_->miDefectClassClick(); });
    onTrigger(menus_.miMenuLayout, [this] { settings_->miMenuLayoutClick(); });
}

TMainMenuCommands::~TMainMenuCommands() {
    // The choice window reads the list model up to its end; it goes first.
    delete choiceForm_;
}

void TMainMenuCommands::BuildStructureMenus() {
    menus_.BuildStructureMenus(context_.Reaches, context_.Connections, context_.InspectionInfo,
                               context_.DisplayConnectionMode);
}

void TMainMenuCommands::ChooseInitialStructure(const std::vector<std::string>& arguments) {
    if (!ApplyStartChoice(context_, arguments)) {
        if (!context_.Reaches.empty()) {
            context_.CurrentStructure = context_.Reaches.front().get();
        } else if (!context_.Connections.empty()) {
            context_.CurrentStructure = context_.Connections.front().get();
        }
        menus_.CheckStructureItem(menus_.ItemOf(context_.CurrentStructure));
        if (context_.CurrentStructure != nullptr) {
            context_.SeekDetail(-1);
        }
    }
    ShowStructureInfo();
    DrawStructureGraphic(context_.CurrentStructure);
    context_.Pause();
}

void TMainMenuCommands::ChooseStructure(TReachData& structure) {
    context_.CurrentStructure = &structure;
    mainWindow_.ShowCurrentStructure();
    context_.SeekDetail(-1);
    context_.Pause();
}

void TMainMenuCommands::ReachItemClick(int index) {
    if (index >= 0 && static_cast<size_t>(index) < context_.Reaches.size()) {
        ChooseStructure(*context_.Reaches[static_cast<size_t>(index)]);
    }
}

void TMainMenuCommands::ConnectionItemClick(int index) {
    if (index >= 0 && static_cast<size_t>(index) < context_.Connections.size()) {
        ChooseStructure(*context_.Connections[static_cast<size_t>(index)]);
    }
}

void TMainMenuCommands::SyncMenus() {
    menus_.CheckStructureItem(menus_.ItemOf(context_.CurrentStructure));
    DrawStructureGraphic(context_.CurrentStructure);
    ShowStructureInfo();
}

void TMainMenuCommands::ShowStructureInfo() {
    const TReachData* current = context_.CurrentStructure;
    infoPanel_.ShowStructure(current);
    menus_.miToggleManholes->setEnabled(current != nullptr && CanToggleManholes(*current));
}

void TMainMenuCommands::DrawStructureGraphic(const TReachData* structure) {
    if (!graphic_.isHidden()) {
        // The pictures first: the drawing leaves room for the strip they make.
        if (structure != stripStructure_) {
            stripStructure_ = structure;
            strip_->ShowStructure(context_, structure);
        }
        graphic_.DrawStructureGraphic(structure);
    }
}

void TMainMenuCommands::LayoutChange(int tag) {
    menus_.CheckLayoutItem(tag);
    try {
        WriteRegInteger("", "LayoutMode", tag);
    } catch (const EKanvioError& error) {
        // Not stored, the next start would come back in the old layout: stay in it.
        menus_.CheckLayoutItem(context_.LayoutMode);
        dialogs_.ShowMessage(TMessageKind::Error, error.what());
        return;
    }
    context_.SwitchLayout(tag);
}

void TMainMenuCommands::miToggleManholesClick() {
    TReachData* current = context_.CurrentStructure;
    if (current == nullptr) {
        return;
    }
    std::swap(current->StartManholeNumber, current->EndManholeNumber);
    DrawStructureGraphic(current);
}

void TMainMenuCommands::miAdvancedClick() {
    if (choiceForm_ == nullptr) {
        // The player builds the table at start; a context made without it gets one here.
        if (!context_.ListModel) {
            listModel_ = BuildListModel(context_);
        }
        const TQelListViewModel& model = context_.ListModel ? *context_.ListModel : *listModel_;
        choiceForm_ = new TInspChoiceForm(
            context_, model, [this](TReachData& structure) { ChooseStructure(structure); },
            &window_);
    }
    choiceForm_->show();
    choiceForm_->raise();
    choiceForm_->activateWindow();
}

} // namespace kanvio
