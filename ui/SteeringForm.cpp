#include "ui/SteeringForm.h"

#include "core/KanvioContext.h"
#include "foundation/FramePlacement.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "ui/BaseRescalableForm.h"
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
      controls_(new TPlayerControlsWidget(context, this)),
      placement_(new TFramePlacement(*this, TFramePlacement::TSize::Own)) {
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
    const QPoint corner = placement_->NormalFrame().topLeft();
    const std::pair<const char*, int> values[] = {{"CtrlLeft", corner.x()},
                                                  {"CtrlTop", corner.y()},
                                                  {"Seconds", controls_->SpEdtJump()->value()}};
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
    // Below the main window's first-start frame unless the user put it elsewhere.
    const QPoint below = ThreeWindowDefaults(DesignFontScale()).Controls;
    storedCorner_ =
        QPoint(ReadRegInteger("", "CtrlLeft", below.x()), ReadRegInteger("", "CtrlTop", below.y()));
    placement_->Place(QRect(storedCorner_, size()));
}

void TSteeringForm::FormShow() {
    if (clientHeight_ == 0) {
        // The controls were laid out for a narrower font: the window grows as a whole.
        const double scale = FontScale(controls_->font());
        GrowDesignLayout(*controls_, scale);
        clientHeight_ = ScaledDesignLength(kClientHeight, scale);
    }
    const int clientWidth = controls_->ArrangeAsControlWindow();
    setFixedSize(clientWidth, clientHeight_);
    controls_->setGeometry(0, 0, clientWidth, clientHeight_);
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
    const QSize created = size();
    FormShow();
    if (!placedAtShow_) {
        placedAtShow_ = true;
        // The controls took their width: the window must still fit the screen.
        if (size() != created) {
            placement_->Place(QRect(storedCorner_, size()));
        }
    }
    KeepOnScreen();
}

void TSteeringForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) {
        KeepOnScreen();
    }
}

} // namespace kanvio
