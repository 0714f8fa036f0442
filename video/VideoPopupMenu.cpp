#include "video/VideoPopupMenu.h"

#include <QAction>
#include <QMenu>

namespace kanvio {

void TVideoPopupMenu::Create(QWidget* owner) {
    Menu = new QMenu(owner);
    Menu->setObjectName("PopupMenu");
    SaveImage = Menu->addAction(QString());
    PrintImage = Menu->addAction(QString());
    CopyImage = Menu->addAction(QString());
    SaveCaptionedImage = Menu->addAction(QString());
    FullScreen = Menu->addAction(QString());
    ColorSettings = Menu->addAction(QString());
    SaveImage->setObjectName("miSaveImage");
    PrintImage->setObjectName("miPrintImage");
    CopyImage->setObjectName("miCopyImage");
    SaveCaptionedImage->setObjectName("miSaveCaptionedImage");
    FullScreen->setObjectName("miFullScreen");
    ColorSettings->setObjectName("miColorSettings");
    FullScreen->setCheckable(true);
    // The picture item follows the film: only an engine that can change the picture
    // enables it.
    ColorSettings->setEnabled(false);
}

} // namespace kanvio
