#include "ui/ReportPages.h"

#include <QFontMetricsF>
#include <QPdfWriter>
#include <QVariant>

namespace kanvio {

TReportPages::TReportPages(QPdfWriter& writer, QPainter* painter, QString footer,
                           QString pageFormat, int totalPages)
    : writer_(writer), painter_(painter), footer_(std::move(footer)),
      pageFormat_(std::move(pageFormat)), totalPages_(totalPages) {
    width_ = writer_.width();
    // The footer keeps its own strip at the bottom of the printable area.
    bottom_ = writer_.height() - Mm(10);
    BeginPage();
}

QString FillIn(const QString& format, std::initializer_list<QVariant> values) {
    QString text = format;
    int place = 1;
    bool found = false;
    for (const QVariant& value : values) {
        const QString mark = '%' + QString::number(place++);
        found = found || text.contains(mark);
        text.replace(mark, value.toString());
    }
    if (!found) {
        // A language file without the text: its key, then the values.
        for (const QVariant& value : values)
            text += ' ' + value.toString();
    }
    return text;
}

double TReportPages::Mm(double millimetres) const {
    return millimetres * writer_.resolution() / 25.4;
}

void TReportPages::NewPage() {
    if (pageEmpty_)
        return;
    if (painter_ != nullptr)
        writer_.newPage();
    BeginPage();
}

void TReportPages::Ensure(double height) {
    if (y_ + height > bottom_)
        NewPage();
    pageEmpty_ = false;
}

void TReportPages::BeginPage() {
    ++page_;
    y_ = 0;
    pageEmpty_ = true;
    if (painter_ == nullptr)
        return;
    QFont font("DejaVu Sans");
    font.setPointSizeF(8);
    const double top = writer_.height() - Mm(6);
    const QRectF line(0, top, width_, LineHeight(font));
    painter_->save();
    painter_->setPen(QPen(Qt::gray, Mm(0.2)));
    painter_->drawLine(QPointF(0, top - Mm(1)), QPointF(width_, top - Mm(1)));
    painter_->restore();
    Text(font, line, footer_, Qt::AlignLeft | Qt::AlignVCenter);
    Text(font, line, FillIn(pageFormat_, {page_, totalPages_}), Qt::AlignRight | Qt::AlignVCenter);
}

double TReportPages::LineHeight(const QFont& font) const {
    return QFontMetricsF(font, &writer_).lineSpacing();
}

double TReportPages::TextHeight(const QFont& font, double width, const QString& text) const {
    const QFontMetricsF metrics(font, &writer_);
    return metrics.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text).height();
}

void TReportPages::Text(const QFont& font, const QRectF& rect, const QString& text, int flags,
                        const QColor& color) {
    pageEmpty_ = false;
    if (painter_ == nullptr)
        return;
    painter_->setFont(font);
    painter_->setPen(color);
    painter_->drawText(rect, flags, text);
}

} // namespace kanvio
