#include "foundation/FramePlacement.h"

#include "foundation/WindowPlace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

namespace kanvio {

namespace {

// How long the frame may take after the window shows: 60 looks 50 ms apart.
constexpr int kWatchInterval = 50;
constexpr int kWatchTicks = 60;

} // namespace

TFramePlacement::TFramePlacement(QWidget& window, TSize size)
    : QObject(&window), window_(&window), size_(size) {
    window.installEventFilter(this);
    frameWatch_.setInterval(kWatchInterval);
    connect(&frameWatch_, &QTimer::timeout, this, [this] {
        Observe();
        ++watchTicks_;
        if (pending_ && margins_.isNull() && (watchTicks_ == 4 || watchTicks_ == 16)) {
            AskForFrame();
        }
        if (!pending_ || watchTicks_ >= kWatchTicks) {
            frameWatch_.stop();
        }
    });
}

void TFramePlacement::AskForFrame() {
    // Qt reads the frame's margins again only when the window system reports a move; a
    // window manager that tells them after its last report leaves them unread. A move
    // there and back makes it report again.
    if (!window_ || !window_->isVisible()) {
        return;
    }
    applying_ = true;
    const QPoint at = window_->pos();
    window_->move(at + QPoint(1, 0));
    window_->move(at);
    applying_ = false;
}

QRect TFramePlacement::AvailableAreaFor(const QRect& frame) {
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) {
        screen = QGuiApplication::screenAt(frame.topLeft());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

bool TFramePlacement::InNormalState() const {
    return window_ && !(window_->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized));
}

QMargins TFramePlacement::CurrentMargins() const {
    if (!window_ || !window_->isVisible()) {
        return margins_;
    }
    // Asked of the native window: the widget's own copy is renewed only when the window
    // moves or resizes, and the window manager may tell the frame after its last move.
    if (const QWindow* native = window_->windowHandle()) {
        return native->frameMargins();
    }
    const QRect inner = window_->geometry();
    const QRect outer = window_->frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void TFramePlacement::Place(const QRect& frame) {
    if (!window_) {
        return;
    }
    if (window_->isVisible() && InNormalState() && !CurrentMargins().isNull()) {
        margins_ = CurrentMargins();
    }
    Apply(Wanted(frame), margins_);
    if (margins_.isNull()) {
        // Framed later, or never (no window manager): look again once it shows.
        pending_ = frame;
        watchTicks_ = 0;
        if (window_->isVisible()) {
            frameWatch_.start();
        }
    } else {
        pending_.reset();
    }
}

QRect TFramePlacement::Wanted(const QRect& frame) const {
    QRect wanted = frame;
    const QRect area = AvailableAreaFor(frame.normalized());
    if (size_ == TSize::Own) {
        wanted.setSize(window_->size().grownBy(margins_));
    } else {
        // A stored size no screen holds (or none at all) is cut to the screen.
        QSize size = wanted.size().expandedTo(QSize(1, 1));
        if (!area.isEmpty()) {
            size = size.boundedTo(area.size());
        }
        // The window never gets smaller than its texts need: the frame is pulled onto the
        // screen at the size the window will really have.
        wanted.setSize(size.expandedTo(window_->minimumSize().grownBy(margins_)));
    }
    return ClampFrameToArea(wanted, area);
}

void TFramePlacement::Apply(const QRect& wanted, const QMargins& margins) {
    applying_ = true;
    const QSize inner = size_ == TSize::Frame
                            ? wanted.size().shrunkBy(margins).expandedTo(QSize(1, 1))
                            : window_->size();
    if (window_->isVisible() && !margins.isNull()) {
        // The frame is known: the window itself goes inside it.
        window_->setGeometry(
            QRect(wanted.topLeft() + QPoint(margins.left(), margins.top()), inner));
    } else {
        // Before the window is framed Qt asks the window manager to put the frame's corner
        // at the position given.
        window_->resize(inner);
        window_->move(wanted.topLeft());
    }
    applying_ = false;
    Q_EMIT Placed();
}

void TFramePlacement::Observe() {
    if (!window_ || !window_->isVisible() || !InNormalState()) {
        return;
    }
    const QMargins now = CurrentMargins();
    if (!now.isNull()) {
        margins_ = now;
    }
    if (pending_ && (!margins_.isNull() || restoreNow_)) {
        const QRect frame = *pending_;
        pending_.reset();
        if (restoreNow_ && size_ == TSize::Own) {
            // Back from full screen the window takes its normal size again, whatever size
            // the window manager hands back first.
            applying_ = true;
            window_->resize(frame.size().shrunkBy(margins_));
            applying_ = false;
        }
        restoreNow_ = false;
        const QRect wanted = Wanted(frame);
        if (window_->geometry().marginsAdded(margins_) != wanted) {
            Apply(wanted, margins_);
        }
    }
    if (!applying_) {
        lastNormal_ = window_->geometry();
    }
}

QRect TFramePlacement::NormalGeometry() const {
    if (!window_) {
        return QRect();
    }
    if (InNormalState()) {
        return window_->geometry();
    }
    return lastNormal_ ? *lastNormal_ : window_->normalGeometry();
}

QRect TFramePlacement::NormalFrame() const {
    if (!window_) {
        return QRect();
    }
    const QMargins now = InNormalState() ? CurrentMargins() : QMargins();
    return NormalGeometry().marginsAdded(now.isNull() ? margins_ : now);
}

bool TFramePlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || applying_) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Show:
        if (pending_) {
            watchTicks_ = 0;
            frameWatch_.start();
        }
        Observe();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        Observe();
        break;
    case QEvent::WindowStateChange: {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const Qt::WindowStates special = Qt::WindowFullScreen | Qt::WindowMaximized;
        if ((change->oldState() & special) && InNormalState() && lastNormal_) {
            // Back from full screen: the frame goes where it was, whatever the window
            // manager restores.
            pending_ = lastNormal_->marginsAdded(margins_);
            restoreNow_ = true;
            watchTicks_ = 0;
            frameWatch_.start();
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kanvio
