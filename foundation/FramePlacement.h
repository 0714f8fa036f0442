#pragma once

// Puts a top-level window's frame (its outer bounds, title bar included) where a stored
// place says and tells the frame bounds of its normal state to store.
//
// A window manager frames a window only after it is shown, and under some managers the
// frame arrives a little later still: until then the frame's margins are unknown. The
// place is applied as well as it can be before, and once more as soon as the frame is
// known. Without a window manager the window has no frame and its bounds are its own.
// Leaving full screen or the maximised state brings the frame back to its normal place,
// so the window never comes back with its title bar beyond the screen.

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <optional>

class QWidget;

namespace kanvio {

class TFramePlacement final : public QObject {
    Q_OBJECT
public:
    enum class TSize {
        Frame, // the place's size is the frame's: the window's own size follows from it
        Own    // the window keeps its size; only the frame's position is placed
    };
    TFramePlacement(QWidget& window, TSize size);

    // Places the frame at frame, pulled into the available area of the screen it lies on.
    // With TSize::Own only the position of frame counts.
    void Place(const QRect& frame);

    // The frame bounds of the window's normal state, also while it is full screen or
    // maximised, and after it was hidden.
    QRect NormalFrame() const;
    // The window's own bounds in its normal state.
    QRect NormalGeometry() const;

    // The available area of the screen a frame at this place lies on.
    static QRect AvailableAreaFor(const QRect& frame);

    // The frame margins as last seen on the framed window; null while never framed.
    QMargins KnownMargins() const { return margins_; }

Q_SIGNALS:
    // A place was put into effect, at once or once the window manager's frame was known.
    void Placed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool InNormalState() const;
    QMargins CurrentMargins() const;
    void Observe();
    void AskForFrame();
    // The frame to place for a stored one: its size for the window's kind, on the screen.
    QRect Wanted(const QRect& frame) const;
    void Apply(const QRect& wanted, const QMargins& margins);

    QPointer<QWidget> window_;
    TSize size_;
    QMargins margins_;
    std::optional<QRect> pending_;    // waits for the window manager's frame
    std::optional<QRect> lastNormal_; // own bounds before full screen or maximised
    QTimer frameWatch_;
    int watchTicks_ = 0;
    bool applying_ = false;
    bool restoreNow_ = false; // back from full screen: the pending place needs no frame
};

} // namespace kanvio
