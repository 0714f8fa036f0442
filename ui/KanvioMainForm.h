#pragma once

// The main window of the three-window layout: the information panel of the current
// structure, the structure graphic below it and the menus that choose a structure. It
// keeps no player state; it asks the player context and the context calls back into it.
// Closing it ends the program.

#include "core/ContextInterfaces.h"
#include "ui/BaseRescalableForm.h"

#include <memory>
#include <string>
#include <vector>

class QAction;

namespace kanvio {

class IUserDialogs;
class TInspChoiceForm;
class TKanvioContext;
class TMainFormMenus;
class TQelListViewModel;
class TReachData;
class TSettingsCommands;
class TStructureGraphicView;
class TStructureInfoPanel;

class TKanvioMainForm final : public TBaseRescalableForm, public IMainWindow {
    Q_OBJECT
public:
    // arguments are the player's command-line arguments (without the program name).
    TKanvioMainForm(TKanvioContext& context, IUserDialogs& dialogs,
                    std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TKanvioMainForm() override;

    // IMainWindow, as the player context calls it.
    void CloseMainWindow() override;
    void ShowStructureList() override { BuildStructureMenus(); }
    void ShowCurrentStructure() override { SyncMenus(); }
    void SelectInitialStructure() override { ChooseInitialStructure(); }
    void EnableControls(bool enabled) override;

    void BuildStructureMenus();
    // The start-up choice: the structure the command line names, else the first reach,
    // else the first connection. True when the command line chose nothing usable.
    bool ChooseInitialStructure();
    // Marks the context's current structure in the menus and shows it; the film stays.
    void SyncMenus();
    void ShowStructureInfo();
    void DrawStructureGraphic(const TReachData* structure);

    // Event handlers, also callable directly.
    void ReachItemClick(int index);
    void ConnectionItemClick(int index);
    void ObservationLabelClick(int detailIndex);
    void LayoutChange(int tag);
    void miToggleManholesClick();
    void miKanvioHelpClick();
    // Opens the inspection choice window, created on the first click.
    void miAdvancedClick();
    void FormResize();

    TStructureInfoPanel* InfoPanel() const { return infoPanel_; }
    TStructureGraphicView* ScrollBox() const { return scrollBox_; }
    TMainFormMenus* Menus() const { return menus_; }
    const std::string& RestartNotice() const { return restartNotice_; }
    QWidget* ClientArea() const { return client_; }
    TInspChoiceForm* ChoiceForm() const { return choiceForm_; }
    // The settings menu's dialogs.
    TSettingsCommands& Settings() const { return *settings_; }

Q_SIGNALS:
    // The window closed; the program ends.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void ApplyTexts();
    void SelectStructure(QAction* item, TReachData* structure);
    void SelectFirstStructure();
    // Pulls the window back when it lies beyond the screen's available area.
    void KeepOnScreen();
    // The choice window made structure the current one.
    void StructureChosen(TReachData& structure);

    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    std::vector<std::string> arguments_;
    TMainFormMenus* menus_;
    QWidget* client_;
    TStructureInfoPanel* infoPanel_;
    TStructureGraphicView* scrollBox_;
    std::string restartNotice_;
    std::unique_ptr<TQelListViewModel> listModel_;
    TInspChoiceForm* choiceForm_ = nullptr;
    std::unique_ptr<TSettingsCommands> settings_;
    bool shown_ = false;
};

} // namespace kanvio
