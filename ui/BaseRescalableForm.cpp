#include "ui/BaseRescalableForm.h"

#include <QScreen>
#include <QShowEvent>
#include <cmath>

namespace kanvio {

namespace {

constexpr double kDesignDotsPerInch = 96.0;

} // namespace

QSize RescaledDesignSize(QSize designSize, double logicalDotsPerInch, double devicePixelRatio) {
    if (!(logicalDotsPerInch > 0.0) || !(devicePixelRatio > 0.0)) {
        return designSize;
    }
    // Whole numbers, as the screen reports them: a ratio that is 96 within rounding is 96.
    const int unscaledDotsPerInch =
        static_cast<int>(std::lround(logicalDotsPerInch / devicePixelRatio));
    if (unscaledDotsPerInch == static_cast<int>(kDesignDotsPerInch)) {
        return designSize;
    }
    return QSize(designSize.width() * unscaledDotsPerInch / static_cast<int>(kDesignDotsPerInch),
                 designSize.height() * unscaledDotsPerInch / static_cast<int>(kDesignDotsPerInch));
}

TBaseRescalableForm::TBaseRescalableForm(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags) {}

void TBaseRescalableForm::RescaleOnFirstShow() {
    if (rescaled_) {
        return;
    }
    rescaled_ = true;
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    const QSize scaled =
        RescaledDesignSize(size(), screen->logicalDotsPerInch(), screen->devicePixelRatio());
    if (scaled != size()) {
        resize(scaled);
        RealignControls();
    }
}

void TBaseRescalableForm::showEvent(QShowEvent* event) {
    if (!ownShowHandling_ && !event->spontaneous()) {
        RescaleOnFirstShow();
    }
    QWidget::showEvent(event);
}

} // namespace kanvio
