#pragma once

// The context menu of a video display, the same in the video window and the single
// window: save the picture, print it, full screen, picture adjustments. The owner
// connects the items to its own handlers.

class QAction;
class QMenu;
class QWidget;

namespace kanvio {

struct TVideoPopupMenu {
    // Makes the menu and its items (texts come with the owner's language texts).
    void Create(QWidget* owner);

    QMenu* Menu = nullptr;
    QAction* SaveImage = nullptr;
    QAction* PrintImage = nullptr;
    QAction* CopyImage = nullptr;
    QAction* SaveCaptionedImage = nullptr;
    QAction* FullScreen = nullptr;
    QAction* ColorSettings = nullptr;
};

} // namespace kanvio
