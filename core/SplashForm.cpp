#include "core/SplashForm.h"

#include "core/StartupPictures.h"
#include "foundation/AnsiText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <algorithm>

namespace kanvio {
namespace {

constexpr int DesignClientWidth = 253;
constexpr int DesignClientHeight = 294;

QFont SansSerif(int pixelSize, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      imgSplash_(new QLabel(this)), lbTitle_(new QLabel(this)), lbWait_(new QLabel(this)) {
    setObjectName("SplashForm");
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);
    resize(DesignClientWidth, DesignClientHeight);

    imgSplash_->setObjectName("imgSplash");
    imgSplash_->setPixmap(QPixmap::fromImage(SplashPicture()));
    imgSplash_->move(8, 8);
    imgSplash_->adjustSize();

    lbTitle_->setObjectName("lbTitle");
    lbTitle_->setFont(SansSerif(16, true));
    lbTitle_->setTextFormat(Qt::PlainText);
    lbTitle_->move(56, 216);

    lbWait_->setObjectName("lbWait");
    lbWait_->setFont(SansSerif(11, false));
    lbWait_->setTextFormat(Qt::PlainText);
    lbWait_->move(32, 248);

    ApplyTexts();
}

void TSplashForm::ApplyTexts() {
    LangScope lang;
    lbTitle_->setText(
        AnsiToQString(lang.Text("_ApplicationTitleShort") + " " + GetVersionText({}, true)));
    lbWait_->setText(AnsiToQString(lang.Text("_WaitForInitialization")));
    lbTitle_->adjustSize();
    lbWait_->adjustSize();
}

void TSplashForm::ArrangeControls() {
    const int clientWidth =
        std::max({imgSplash_->width() + 16, lbTitle_->width(), lbWait_->width()});
    resize(clientWidth, height());
    for (QLabel* label : {lbTitle_, lbWait_}) {
        label->move((clientWidth - label->width()) / 2, label->y());
    }
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TSplashForm::ShowPainted() {
    show();
    // The window manager maps the window in its own time; painting before the window is
    // exposed paints nothing. A desktop that never exposes it (minimised session, say)
    // must not hold the start up for long.
    constexpr int ExposeWaitMs = 2000;
    QElapsedTimer waited;
    waited.start();
    QCoreApplication::processEvents();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() &&
           waited.elapsed() < ExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    repaint();
    QGuiApplication::sync();
}

void TSplashForm::showEvent(QShowEvent* event) {
    ArrangeControls();
    setWindowTitle(QGuiApplication::applicationDisplayName());
    QWidget::showEvent(event);
}

void TSplashForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Another of the program's windows (the layout choice, a message) became active: stay
    // visible above it without moving or taking the focus back.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        raise();
    }
}

void DismissSplash(QPointer<QWidget>& splash) {
    if (splash) {
        splash->hide();
        splash->deleteLater();
        splash = nullptr;
    }
}

} // namespace kanvio
