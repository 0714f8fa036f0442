#include "ui/BaseRescalableForm.h"

#include <QLayout>
#include <QScreen>
#include <QShowEvent>
#include <cmath>

namespace kanvio {

namespace {

constexpr double kDesignDotsPerInch = 96.0;

int ScaledEdge(int edge, double scale) {
    return static_cast<int>(std::lround(edge * scale));
}

bool PlacedByLayout(const QWidget& widget) {
    const QWidget* parent = widget.parentWidget();
    return parent != nullptr && parent->layout() != nullptr &&
           parent->layout()->indexOf(&widget) >= 0;
}

} // namespace

void GrowDesignLayout(QWidget& root, double scale) {
    if (!(scale > 1.0)) {
        return;
    }
    for (QWidget* child : root.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) {
            continue;
        }
        if (!PlacedByLayout(*child)) {
            const QRect design = child->geometry();
            const int left = ScaledEdge(design.left(), scale);
            const int top = ScaledEdge(design.top(), scale);
            const QSize size(ScaledEdge(design.left() + design.width(), scale) - left,
                             ScaledEdge(design.top() + design.height(), scale) - top);
            if (child->minimumSize() == child->maximumSize()) {
                child->setFixedSize(size); // a fixed control stays fixed at its new size
            }
            child->setGeometry(QRect(QPoint(left, top), size));
        }
        // Composite controls place their own parts.
        if (!child->inherits("QAbstractSpinBox") && !child->inherits("QComboBox") &&
            !child->inherits("QAbstractScrollArea")) {
            GrowDesignLayout(*child, scale);
        }
    }
}

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
