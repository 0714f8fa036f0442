#pragma once

// What both main windows do with their menu bar and their view of the current structure:
// choosing a structure from the reach and connection menus or the inspection choice
// window, the information panel and graphic, printing the structure and swapping its
// manholes, the settings dialogs, the layout choice and help.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kanvio {

class IMainWindow;
class IUserDialogs;
class TInspChoiceForm;
class TDeliveryCommands;
class TKanvioContext;
class TMainFormMenus;
class TObservationStrip;
class TQelListViewModel;
class TReachData;
class TReportCommands;
class TSettingsCommands;
class TStructureGraphicView;
class TStructureInfoPanel;

class TMainMenuCommands final {
public:
    // Connects the menus' items; window is the main window, owner of the dialogs.
    TMainMenuCommands(TKanvioContext& context, IUserDialogs& dialogs, TMainFormMenus& menus,
                      TStructureInfoPanel& infoPanel, TStructureGraphicView& graphic,
                      IMainWindow& mainWindow, QWidget& window);
    ~TMainMenuCommands();
    TMainMenuCommands(const TMainMenuCommands&) = delete;
    TMainMenuCommands& operator=(const TMainMenuCommands&) = delete;

    void BuildStructureMenus();
    // The start of a layout's windows: back where a layout switch left, else the structure
    // the command line names, else the first reach, else the first connection (marked in
    // its menu); shown in the panel and graphic, the film paused at it.
    void ChooseInitialStructure(const std::vector<std::string>& arguments);
    // Makes structure current, shows it through the main window, seeks to its start and
    // pauses.
    void ChooseStructure(TReachData& structure);
    void ReachItemClick(int index);
    void ConnectionItemClick(int index);
    // Marks the current structure in the menus and shows it; the film stays.
    void SyncMenus();
    void ShowStructureInfo();
    // A hidden graphic (the single window with list) is not drawn.
    void DrawStructureGraphic(const TReachData* structure);
    // Stores the layout and switches to it.
    void LayoutChange(int tag);
    void miToggleManholesClick();
    // Opens the inspection choice window, created on the first click.
    void miAdvancedClick();

    // Called after the defect class colours changed, for views beside the graphic that
    // show them.
    std::function<void()> OnColoursChanged;

    TInspChoiceForm* ChoiceForm() const { return choiceForm_; }
    TSettingsCommands& Settings() const { return *settings_; }
    TDeliveryCommands& Deliveries() const { return *deliveries_; }
    TReportCommands& Reports() const { return *reports_; }
    // The thumbnails of the observations under the graphic.
    TObservationStrip& Strip() const { return *strip_; }

private:
    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    TMainFormMenus& menus_;
    TStructureInfoPanel& infoPanel_;
    TStructureGraphicView& graphic_;
    IMainWindow& mainWindow_;
    QWidget& window_;
    std::unique_ptr<TSettingsCommands> settings_;
    std::unique_ptr<TDeliveryCommands> deliveries_;
    std::unique_ptr<TReportCommands> reports_;
    std::unique_ptr<TQelListViewModel> listModel_;
    TInspChoiceForm* choiceForm_ = nullptr; // a child of the window
    TObservationStrip* strip_ = nullptr;    // in the graphic's scroll box
    const TReachData* stripStructure_ = nullptr;
};

} // namespace kanvio
