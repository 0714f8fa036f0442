#pragma once

// The main window of the single-window layouts: the video with its own engine, the player
// controls, the position slider and the project's structures in one fixed-size window.
// Layout 1 shows the information panel, the structure graphic and the structure menus;
// layout 2 a list of all reaches or all connections with their observations. The player
// context reaches it as main window, as player windows and as video. Closing it ends
// the program.

#include "core/ContextInterfaces.h"
#include "video/CodecSettings.h"
#include "video/VideoDisplay.h"
#include "video/VideoPopupMenu.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kanvio {

class IUserDialogs;
class TEmbeddedVideo;
class TFramePlacement;
class TKanvioContext;
class TMainFormMenus;
class TMainMenuCommands;
class TPlayerControlsWidget;
class TStructureGraphicView;
class TStructureInfoPanel;
class TStructureTreePictures;
class TReachData;
class TColorControlForm;
class TVideoDisplayWidget;

class TKanvioSingleForm final : public QWidget,
                                public IMainWindow,
                                public IPlayerWindows,
                                public IVideoWindow,
                                public IDecoderListTarget,
                                private IEngineSettings {
    Q_OBJECT
public:
    // arguments are the player's command-line arguments (without the program name).
    TKanvioSingleForm(TKanvioContext& context, IUserDialogs& dialogs,
                      std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TKanvioSingleForm() override;

    // The start-up window that CloseSplash hides and frees.
    void SetSplash(QWidget* splash) { splash_ = splash; }

    // IMainWindow
    void CloseMainWindow() override;
    void ShowStructureList() override;
    void ShowCurrentStructure() override;
    void SelectInitialStructure() override;
    void EnableControls(bool enabled) override;

    // IPlayerWindows: the window is its own video and holds the controls.
    void CreatePlayerWindows() override {}
    IVideoWindow* Video() override { return this; }
    IPlayerControls* Controls() override;
    void ShowPlayerWindows() override {}
    void CloseSplash() override;
    void DestroyPlayerWindows() override;

    // IVideoWindow, each forwarded to the engine.
    TVideoResult LoadMovieAuto(const std::string& fileName) override;
    TVideoResult PlayMovie() override;
    TVideoResult PauseMovie() override;
    TVideoResult StopMovie() override;
    TVideoResult SeekTo(int64_t milliseconds) override;
    void SetSpeed(double rate) override;
    int64_t GetCurrentPosition() override;
    void SetZoom(float factor) override;
    void ToggleFullScreen() override;
    bool IsFullScreen() const override { return fullScreen_; }
    int MovieFormat() const override;
    bool CanChangePictureProps() override;
    void BringToFront() override;
    void ApplyDecoderPriorities() override;
    // IDecoderListTarget: the codec settings' edited lists, used from the next film load on.
    void SetPriorityLists(const TFilterLists& lists) override;
    void ShowColorControl() override;
    TVideoResult GrabPicture(QImage& bitmap) override;

    void FillStructureTree();
    // The observation rows take the defect class colours in use; selection and expanded
    // rows stay.
    void RecolourStructureTree();
    void SelectTreeNode();

    // Event handlers, also callable directly.
    void ObservationLabelClick(int detailIndex);
    void lstStructuresDblClick(QTreeWidgetItem* item);
    void ZoomBtnClick();
    void EndeButtonClick();

    // The screen the window sizes itself for (creation step of the enlargement factor).
    void ApplyScreenSize(const QSize& screen);
    double EnlargeFactor() const { return enlargeFactor_; }
    const QRect& SavedVideoBounds() const { return savedVideoBounds_; }

    TMainMenuCommands& Commands() const { return *commands_; }
    TMainFormMenus* Menus() const { return menus_; }
    QWidget* ClientArea() const { return client_; }
    TStructureInfoPanel* InfoPanel() const { return infoPanel_; }
    TStructureGraphicView* ScrollBox() const { return scrollBox_; }
    QTreeWidget* lstStructures() const { return lstStructures_; }
    TStructureTreePictures* TreePictures() const { return treePictures_; }
    // The structure of a row of the structure list (null: none).
    static const TReachData* StructureOfRow(const QTreeWidgetItem* item);
    TVideoDisplayWidget* VideoWindow() const { return videoWindow_; }
    TEmbeddedVideo* EmbeddedVideo() const { return video_.get(); }
    TPlayerControlsWidget* PlayerControls() const { return controls_; }
    QFrame* BedienPanel() const { return bedienPanel_; }
    QFrame* Bevel3() const { return bevel3_; }
    QWidget* TrackBarPanel() const { return trackBarPanel_; }
    QWidget* UmschaltPanel() const { return umschaltPanel_; }
    QRadioButton* HaltungRBtn() const { return haltungRBtn_; }
    QRadioButton* AnschlussRBtn() const { return anschlussRBtn_; }
    QPushButton* ZoomBtn() const { return zoomBtn_; }
    QPushButton* EndeButton() const { return endeButton_; }
    QLabel* recordname() const { return recordname_; }
    QMenu* PopupMenu() const { return popup_.Menu; }
    QAction* miFullScreen() const { return popup_.FullScreen; }
    QAction* miColorSettings() const { return popup_.ColorSettings; }
    TFramePlacement& Placement() const { return *placement_; }

Q_SIGNALS:
    // The window closed; the program ends.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // IEngineSettings
    int32_t FilterStrategy() const override;

    void CreateControls();
    void CreatePanel();
    void CreatePopupMenu();
    void ConnectHandlers();
    void ApplyTexts();
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void PlaceFromRegistry();
    QWidget* StructureView() const;
    // After the video or panel moved: slider group, client size, the strip.
    void ArrangeAfterZoom();
    void SetClientSize(int width, int height);
    // Layout 1: the column of panel and graphic grows until every structure's fields show
    // whole, the video side moving right. Returns the growth.
    int WidenStructureColumn();

    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    std::vector<std::string> arguments_;
    TMainFormMenus* menus_;
    QWidget* client_;
    TStructureInfoPanel* infoPanel_ = nullptr;
    TStructureGraphicView* scrollBox_ = nullptr;
    QTreeWidget* lstStructures_ = nullptr;
    TStructureTreePictures* treePictures_ = nullptr; // a child of the list
    TVideoDisplayWidget* videoWindow_ = nullptr;
    std::unique_ptr<TEmbeddedVideo> video_;
    QPointer<TColorControlForm> colorControl_;
    QFrame* bedienPanel_ = nullptr;
    QFrame* bevel3_ = nullptr;
    TPlayerControlsWidget* controls_ = nullptr;
    QWidget* umschaltPanel_ = nullptr;
    QRadioButton* haltungRBtn_ = nullptr;
    QRadioButton* anschlussRBtn_ = nullptr;
    QPushButton* zoomBtn_ = nullptr;
    QPushButton* endeButton_ = nullptr;
    QLabel* recordname_ = nullptr;
    QWidget* trackBarPanel_ = nullptr;
    TVideoPopupMenu popup_;
    QPointer<QWidget> splash_;
    std::unique_ptr<TMainMenuCommands> commands_;

    bool fullScreen_ = false;
    int structureColumnGrowth_ = 0;
    QRect savedVideoBounds_;
    QSize normalClientSize_; // the client's and the window's sizes before full screen
    QSize normalSize_;
    double enlargeFactor_ = 0.0;
    bool enlarged_ = false;
    QSize screenSize_;
    std::string zoomInText_;
    std::string zoomOutText_;
    bool shown_ = false;
    bool closed_ = false;
    TFramePlacement* placement_ = nullptr;
    QPoint storedCorner_; // the frame's corner as read at creation
};

} // namespace kanvio
