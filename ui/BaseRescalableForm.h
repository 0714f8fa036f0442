#pragma once

// A window laid out in pixels for a 96 dpi screen that adapts itself to the screen the
// first time it shows.
//
// Qt 6 already scales every window for high-resolution screens: sizes and positions are
// device-independent pixels, which the platform maps to device pixels by the screen's
// device pixel ratio. Scaling the design sizes once more by the screen's dots per inch
// would make windows twice too large on such screens. So only the part of the screen's
// resolution that Qt leaves unscaled is applied: logical dots per inch divided by the
// device pixel ratio, against 96. On an ordinary screen and on any screen Qt scales
// fully that part is 96 and nothing changes.

#include <QSize>
#include <QWidget>

namespace kanvio {

// The size a 96 dpi design takes on a screen of the given logical resolution and device
// pixel ratio; truncating like integer arithmetic.
QSize RescaledDesignSize(QSize designSize, double logicalDotsPerInch, double devicePixelRatio);

// Grows controls laid out in design pixels as a whole by scale (above 1; anything else
// changes nothing): the place and size of every control below root that no layout
// places, edges rounded so that controls side by side stay side by side. root itself
// keeps its size; sub-windows are left alone.
void GrowDesignLayout(QWidget& root, double scale);

class TBaseRescalableForm : public QWidget {
    Q_OBJECT
public:
    explicit TBaseRescalableForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    bool Rescaled() const { return rescaled_; }

protected:
    // The first-show step: the window size for the screen, then the child controls
    // re-laid out. Windows that handle their own first show do not call it.
    void RescaleOnFirstShow();
    // Called after a rescale that changed the size; the default does nothing.
    virtual void RealignControls() {}

    void showEvent(QShowEvent* event) override;

    // Set by a derived window that handles its own first show.
    void SetOwnShowHandling(bool own) { ownShowHandling_ = own; }

private:
    bool rescaled_ = false;
    bool ownShowHandling_ = false;
};

} // namespace kanvio
