// TKanvioSingleForm: the window enlargement and full screen of the embedded video.

#include "foundation/AnsiText.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/PlayerControlsWidget.h"
#include "video/EmbeddedVideo.h"
#include "video/VideoDisplayWidget.h"
#include "video/VideoPopupMenu.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <cmath>

namespace kanvio {

void TKanvioSingleForm::ApplyScreenSize(const QSize& screen) {
    screenSize_ = screen;
    enlargeFactor_ = 0.0;
    zoomBtn_->setEnabled(true);
    zoomBtn_->setVisible(true);
    if (screen.width() == 640 || screen.width() == 800) {
        zoomBtn_->setEnabled(false);
    } else if (screen.width() == 1024) {
        enlargeFactor_ = 1.6;
    } else {
        enlargeFactor_ = 2.0;
        if (screen.width() < 1024) {
            zoomBtn_->setVisible(false);
        }
    }
}

void TKanvioSingleForm::ZoomBtnClick() {
    if (fullScreen_ || enlargeFactor_ == 0.0) {
        return;
    }
    QWidget* view = StructureView();
    QRect video = videoWindow_->geometry();
    QRect panel = bedienPanel_->geometry();
    QRect sliders = trackBarPanel_->geometry();
    if (!enlarged_) {
        enlarged_ = true;
        zoomBtn_->setText(AnsiToQString(zoomOutText_));
        double factor = enlargeFactor_;
        if (video.left() + std::trunc(video.width() * factor) + 8 > screenSize_.width()) {
            factor = double(screenSize_.width() - 8 - video.left()) / video.width();
            move(0, y());
        }
        if (video.top() + std::trunc(video.height() * factor) + panel.height() + sliders.height() +
                24 >
            screenSize_.height()) {
            factor = double(screenSize_.height() - 24 - sliders.height() - panel.height() -
                            video.top()) /
                     video.height();
            move(x(), 0);
        }
        enlargeFactor_ = factor; // the shrink undoes the factor in effect
        video.setSize(QSize(int(std::trunc(video.width() * factor)),
                            int(std::trunc(video.height() * factor))));
        panel.moveTo(video.left() + video.width() - panel.width(), video.bottom() + 1 + 8);
        view->resize(view->width(),
                     panel.top() + panel.height() - (view->y() + sliders.height() + 8));
        sliders.setWidth(panel.left() - 12);
    } else {
        enlarged_ = false;
        zoomBtn_->setText(AnsiToQString(zoomInText_));
        video.setSize(QSize(int(std::trunc(video.width() / enlargeFactor_)),
                            int(std::trunc(video.height() / enlargeFactor_))));
        panel.moveTo(video.left(), video.bottom() + 1 + 8);
        view->resize(view->width(), panel.top() + panel.height() - view->y() - 8);
        sliders.setWidth(panel.left() + panel.width() - 8);
    }
    videoWindow_->setGeometry(video);
    savedVideoBounds_.setSize(video.size());
    bedienPanel_->setGeometry(panel);
    sliders.moveTop(view->y() + view->height() + 8);
    trackBarPanel_->setGeometry(sliders);
    ArrangeAfterZoom();
}

void TKanvioSingleForm::ArrangeAfterZoom() {
    controls_->ArrangeSliderGroup(trackBarPanel_->width());
    SetClientSize(videoWindow_->x() + videoWindow_->width() + 8,
                  trackBarPanel_->y() + trackBarPanel_->height() + 8);
    if (screenSize_.isValid() && y() + frameGeometry().height() > screenSize_.height()) {
        move(x(), std::max(0, screenSize_.height() - frameGeometry().height()));
    }
    video_->Resize(videoWindow_->width(), videoWindow_->height());
}

void TKanvioSingleForm::ToggleFullScreen() {
    const bool was = fullScreen_;
    if (!was) {
        normalClientSize_ = client_->size();
        normalSize_ = size();
        // The window stays of fixed size, the screen's: a window manager frames a window it
        // may resize with a grip, which it may keep once the window is fixed again.
        if (const QScreen* screen = this->screen()) {
            const QSize whole = screen->geometry().size();
            client_->setFixedSize(whole);
            setFixedSize(whole);
        } else {
            setMinimumSize(0, 0);
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            client_->setMinimumSize(0, 0);
            client_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
    }
    fullScreen_ = video_->ToggleFullScreen();
    menus_->MainMenu->setVisible(!fullScreen_);
    if (fullScreen_) {
        videoWindow_->raise();
        videoWindow_->setGeometry(0, 0, client_->width(), client_->height());
        const QScreen* screen = this->screen();
        if (screen != nullptr) {
            videoWindow_->setGeometry(QRect(QPoint(0, 0), screen->geometry().size()));
        }
    } else {
        videoWindow_->setGeometry(savedVideoBounds_);
        // Exactly the size it had: a window that shrank or grew by leaving full screen would
        // creep a little at every use.
        client_->setFixedSize(normalClientSize_);
        setFixedSize(normalSize_);
    }
    video_->Resize(videoWindow_->width(), videoWindow_->height());
    popup_.FullScreen->setChecked(fullScreen_);
}

} // namespace kanvio
