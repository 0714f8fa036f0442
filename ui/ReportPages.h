#pragma once

// Pages of a PDF document laid out top to bottom: a cursor that starts a new page when a
// block does not fit, and a footer on every page. The same layout runs twice, first
// without a painter to count the pages ("page 3 of 12"), then painting.

#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <initializer_list>

class QPdfWriter;

namespace kanvio {

// format with %1, %2 ... replaced by values in order; a format without them (a missing
// language text) gets the values appended.
QString FillIn(const QString& format, std::initializer_list<QVariant> values);

class TReportPages {
public:
    // painter null: the counting run.
    TReportPages(QPdfWriter& writer, QPainter* painter, QString footer, QString pageFormat,
                 int totalPages);

    bool Painting() const { return painter_ != nullptr; }
    QPainter& Painter() { return *painter_; }
    QPdfWriter& Writer() { return writer_; }

    // Device pixels of one millimetre, and of one point of a font.
    double Mm(double millimetres) const;
    double Width() const { return width_; }
    double Bottom() const { return bottom_; }
    double Y() const { return y_; }
    void Advance(double height) { y_ += height; }
    int Page() const { return page_; }

    // Starts a new page unless the cursor stands at the top of an empty one.
    void NewPage();
    // Makes room for height on this page or the next; a block taller than a page starts
    // at the top of one.
    void Ensure(double height);
    double Remaining() const { return bottom_ - y_; }

    // Line height of font on the device.
    double LineHeight(const QFont& font) const;
    // Height of text wrapped into width.
    double TextHeight(const QFont& font, double width, const QString& text) const;
    // Draws text at the cursor in rect's columns (the cursor does not move).
    void Text(const QFont& font, const QRectF& rect, const QString& text, int flags,
              const QColor& color = Qt::black);

private:
    void BeginPage();

    QPdfWriter& writer_;
    QPainter* painter_;
    QString footer_;
    QString pageFormat_;
    int totalPages_;
    double width_ = 0;
    double bottom_ = 0;
    double y_ = 0;
    int page_ = 0;
    bool pageEmpty_ = true;
};

} // namespace kanvio
