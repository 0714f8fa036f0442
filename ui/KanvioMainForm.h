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

namespace kanvio {

class IUserDialogs;
class TKanvioContext;
class TMainFormMenus;
class TMainMenuCommands;
class TFramePlacement;
class TReachData;
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
    void ShowStructureList() override;
    void ShowCurrentStructure() override;
    void SelectInitialStructure() override;
    void EnableControls(bool enabled) override;

    void ObservationLabelClick(int detailIndex);
    void FormResize();

    TMainMenuCommands& Commands() const { return *commands_; }
    TStructureInfoPanel* InfoPanel() const { return infoPanel_; }
    TStructureGraphicView* ScrollBox() const { return scrollBox_; }
    TMainFormMenus* Menus() const { return menus_; }
    QWidget* ClientArea() const { return client_; }
    TFramePlacement& Placement() const { return *placement_; }

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
    // The least width at which the menus and every structure's fields show whole.
    void FitWidthToTexts();
    // Pulls the window back when it lies beyond the screen's available area.
    void KeepOnScreen();
    // On a first start the neighbours' places follow this window's frame until the window
    // manager has framed it.
    bool FollowedByNeighbours() const;
    void LeadNeighbours();

    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    std::vector<std::string> arguments_;
    TMainFormMenus* menus_;
    QWidget* client_;
    TStructureInfoPanel* infoPanel_;
    TStructureGraphicView* scrollBox_;
    std::unique_ptr<TMainMenuCommands> commands_;
    TFramePlacement* placement_;
    bool shown_ = false;
    bool firstStart_ = false;
    bool settled_ = false;
};

} // namespace kanvio
