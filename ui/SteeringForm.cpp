#include "ui/SteeringForm.h"

#include "core/KanvioContext.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "ui/PlayerKeys.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSpinBox>

namespace kanvio {

namespace {

constexpr int kClientHeight = 120;

QScreen* ScreenOf(const QWidget* widget) {
    QScreen* shown = widget->screen();
    return shown != nullptr ? shown : QGuiApplication::primaryScreen();
}

} // namespace

TSteeringForm::TSteeringForm(TKanvioContext& context, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      QuitApplication([] { QCoreApplication::quit(); }), context_(context),
      controls_(new TPlayerControlsWidget(context, this)) {
    setObjectName("SteeringForm");
    controls_->OffButtonAction = [this] {
        SwitchOff();
    };
    controls_->setGeometry(0, 0, 819, kClientHeight);
    setFixedSize(819, kClientHeight);
    PlaceFromRegistry();
}

TSteeringForm::~TSteeringForm() {
    Destroy();
}

void TSteeringForm::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    controls_->StopTimers();
    const std::pair<const char*, int> values[] = {
        {"CtrlLeft", x()}, {"CtrlTop", y()}, {"Seconds", controls_->SpEdtJump()->value()}};
    for (const auto& [name, value] : values) {
        try {
            WriteRegInteger("", name, value);
        } catch (const std::exception& error) {
            LogLine(std::string("Player control settings not stored: ") + error.what(), LOG_ERROR);
            return;
        }
    }
}

void TSteeringForm::SwitchOff() {
    context_.ShutDown(false);
    if (QuitApplication) {
        QuitApplication();
    }
}

void TSteeringForm::PlaceFromRegistry() {
    int left = ReadRegInteger("", "CtrlLeft", 0);
    int top = ReadRegInteger("", "CtrlTop", 500);
    if (const QScreen* shown = ScreenOf(this)) {
        const QSize screen = shown->geometry().size();
        if (screen.width() < left) {
            left = screen.width() - 30;
        }
        if (screen.height() < top) {
            top = screen.height() - 30;
        }
    }
    move(left, top);
}

void TSteeringForm::FormShow() {
    const int clientWidth = controls_->ArrangeAsControlWindow();
    setFixedSize(clientWidth, kClientHeight);
    controls_->setGeometry(0, 0, clientWidth, kClientHeight);
    controls_->SpEdtJump()->setValue(ReadRegInteger("", "Seconds", 10));
}

void TSteeringForm::KeepOnScreen() {
    const QScreen* shown = ScreenOf(this);
    if (shown == nullptr || keepingOnScreen_) {
        return;
    }
    const QRect screen = shown->geometry();
    const QRect available = shown->availableGeometry();
    const TScreenArea area{screen.width(), screen.height(),
                           std::max(0, screen.bottom() - available.bottom())};
    const QRect frame = frameGeometry();
    const TFormGeometry placed = KeepFormOnScreen({x(), y(), frame.width(), frame.height()}, area);
    if (placed.Left != x() || placed.Top != y()) {
        keepingOnScreen_ = true;
        move(placed.Left, placed.Top);
        keepingOnScreen_ = false;
    }
}

void TSteeringForm::closeEvent(QCloseEvent* event) {
    event->ignore(); // the Off button ends the program; the window itself never closes
}

void TSteeringForm::keyPressEvent(QKeyEvent* event) {
    if (!PassKeyToPlayer(context_, *event)) {
        QWidget::keyPressEvent(event);
    }
}

void TSteeringForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
    KeepOnScreen();
}

void TSteeringForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) {
        KeepOnScreen();
    }
}

} // namespace kanvio
