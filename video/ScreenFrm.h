#pragma once

// TScreenForm: the free-floating video window of the three-window layout. Its whole client
// area is the video display; it owns the playback engine and offers the engine's
// operations to the player one to one. The user moves it by dragging the picture, sizes it
// to the film by a double click, switches to full screen and reaches the picture commands
// through its context menu. The user cannot close it; the player frees it at shutdown,
// and it stores its place then.

#include "core/ContextInterfaces.h"
#include "video/CodecSettings.h"
#include "video/MultimediaEngine.h"
#include "video/VideoPopupMenu.h"

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QMenu;

namespace kanvio {

class IUserDialogs;
class TColorControlForm;
class TEmbeddedVideo;
class TFramePlacement;
class TVideoDisplayWidget;

// What the video window passes on to the player.
class IScreenCommands {
public:
    virtual ~IScreenCommands() = default;
    // A key pressed in the window, as a Windows virtual-key code.
    virtual void HandleKey(uint16_t key, bool ctrl) = 0;
    // The loaded film played to its end.
    virtual void MovieComplete() = 0;
    // The picture commands of the context menu.
    virtual void SaveImage() = 0;
    virtual void PrintImage() = 0;
    // The picture to the clipboard, and saved with its observation's caption.
    virtual void CopyImage() {}
    virtual void SaveCaptionedImage() {}
};

class TScreenForm final : public QWidget, public IVideoWindow, public IDecoderListTarget {
    Q_OBJECT
public:
    TScreenForm(int32_t rendererMode, const IEngineSettings& settings, IScreenCommands& commands,
                IUserDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TScreenForm() override;

    // Frees the engine and stores the window's place; the object itself may live on
    // until Qt deletes it. Runs once.
    void Destroy();
    // The stored place, or right of the main window's first-start frame.
    void PlaceFromRegistry();

    // IVideoWindow: each forwards to the engine operation of the same name.
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
    void ShowColorControl() override;
    void BringToFront() override;
    void ApplyDecoderPriorities() override;
    // The edited decoder lists, used from the next film load on.
    void SetPriorityLists(const TFilterLists& lists) override;

    TVideoResult GrabPicture(QImage& bitmap) override;
    const TPictureControls* GetPictureControls() const;

    // Event handlers, also callable directly; positions are in the video's coordinates.
    void VideoWindowMouseDown(const QPoint& position);
    void FormMouseMove(const QPoint& position);
    void VideoWindowMouseUp();
    void VideoWindowDblClick();
    void PopupMenuPopup();

    TMMEngine* Engine();
    TVideoDisplayWidget* VideoWindow() const { return videoWindow_; }
    QMenu* PopupMenu() const { return popup_.Menu; }
    QAction* miSaveImage() const { return popup_.SaveImage; }
    QAction* miPrintImage() const { return popup_.PrintImage; }
    QAction* miFullScreen() const { return popup_.FullScreen; }
    QAction* miColorSettings() const { return popup_.ColorSettings; }
    // The picture panel opened last, while it exists.
    TColorControlForm* ColorControl() const;
    bool Dragging() const { return dragging_; }
    TFramePlacement& Placement() const { return *placement_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyTexts();
    void CreateMenu();
    void StorePlace() const;
    void KeepOnScreen();

    IScreenCommands& commands_;
    TVideoDisplayWidget* videoWindow_;
    TVideoPopupMenu popup_;

    bool fullScreen_ = false;
    int32_t dragStartX_ = 0;
    int32_t dragStartY_ = 0;
    bool dragging_ = false;
    // Any button drags the window; the right one opens the menu on its release, and only
    // when the mouse stayed where it was pressed.
    QPoint pressGlobal_;
    bool rightPressed_ = false;
    bool menuOnRelease_ = false;
    // The engine on the display, gone once the player freed the window.
    std::unique_ptr<TEmbeddedVideo> video_;
    bool keepingOnScreen_ = false;
    QPointer<TColorControlForm> colorControl_;
    TFramePlacement* placement_;
};

} // namespace kanvio
