#include "ui/StructureGraphicView.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "ui/StructureGraphicRender.h"
#include "ui/StructureGraphicText.h"

#include <QFontDatabase>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

namespace kanvio {

// Shows the bitmap at its top-left at scale 1.
class TStructureBitmap final : public QWidget {
public:
    explicit TStructureBitmap(QWidget* parent) : QWidget(parent) {}

    void SetImage(QImage image) {
        image_ = std::move(image);
        resize(image_.deviceIndependentSize().toSize());
        update();
    }
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.drawImage(event->rect(), image_,
                          QRectF(QPointF(event->rect().topLeft()) * image_.devicePixelRatio(),
                                 QSizeF(event->rect().size()) * image_.devicePixelRatio()));
    }

private:
    QImage image_;
};

namespace {

// Clears the drawing flag however a drawing ends.
class TPaintingGuard {
public:
    explicit TPaintingGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TPaintingGuard() { flag_ = false; }
    TPaintingGuard(const TPaintingGuard&) = delete;
    TPaintingGuard& operator=(const TPaintingGuard&) = delete;

private:
    bool& flag_;
};

QLabel* MakeTitle(QWidget* parent) {
    auto* title = new QLabel(parent);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setTextFormat(Qt::PlainText);
    title->move(0, 8);
    return title;
}

// A text that tooltips show as it is, even when it looks like markup.
QString PlainToolTip(const QString& text) {
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

char SingleAnsiCharacter(const QString& text, char fallback) {
    const std::string ansi = QStringToAnsi(text);
    return (ansi.size() == 1 && ansi[0] != '?') ? ansi[0] : fallback;
}

} // namespace

TObservationLabel::TObservationLabel(int detailIndex, QWidget* parent)
    : QLabel(parent), tag_(detailIndex) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
}

void TObservationLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TObservationLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) {
        Q_EMIT Clicked(tag_);
    }
}

TStructureGraphicView::TStructureGraphicView(QWidget* parent)
    : QScrollArea(parent), canvas_(new QWidget), bitmap_(new TStructureBitmap(canvas_)),
      distanceTitle_(MakeTitle(canvas_)), descriptionTitle_(MakeTitle(canvas_)),
      timeTitle_(MakeTitle(canvas_)) {
    QPalette white = canvas_->palette();
    white.setColor(QPalette::Window, Qt::white);
    canvas_->setPalette(white);
    canvas_->setAutoFillBackground(true);
    setPalette(white);
    setWidgetResizable(false);
    setWidget(canvas_);
    bitmap_->move(0, 0);
}

TStructureGraphicView::~TStructureGraphicView() = default;

void TStructureGraphicView::ApplyTexts() {
    LangScope lang;
    distanceTitle_->setText(AnsiToQString(lang.Text("_DistanceShort")));
    descriptionTitle_->setText(AnsiToQString(lang.Text("_DescriptionShort")));
    timeTitle_->setText(AnsiToQString(lang.Text("_Video")));
    for (QLabel* title : {distanceTitle_, descriptionTitle_, timeTitle_}) {
        title->adjustSize();
    }
}

const QImage& TStructureGraphicView::Bitmap() const {
    return bitmap_->Image();
}

TGraphicStyle TStructureGraphicView::CurrentStyle(int clientWidth, int clientHeight) const {
    TGraphicStyle style;
    style.LabelFont = canvas_->font();
    style.BitmapFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    style.BitmapFont.setPixelSize(11);
    style.TitleFont = distanceTitle_->font();
    style.DistanceTitle = QStringToAnsi(distanceTitle_->text());
    style.TitleTop = distanceTitle_->y();
    style.TitleHeight = distanceTitle_->sizeHint().height();
    style.ClientWidth = clientWidth;
    style.ClientHeight = clientHeight;
    return style;
}

void TStructureGraphicView::DrawStructureGraphic(const TReachData* structure) {
    if (structure == nullptr || painting_) {
        return;
    }
    TPaintingGuard guard(painting_);
    RemoveObservationLabels();

    const TGraphicOptions options = optionsSource_ ? optionsSource_() : TGraphicOptions{};
    // The client area the graphic will have: without scroll bars when it fits, narrower
    // by the vertical scroll bar when its rows reach below the scroll box.
    QSize client = maximumViewportSize();
    if (footer_ != nullptr)
        client.setHeight(std::max(0, client.height() - footer_->sizeHint().height()));
    TStructureGraphicLayout layout =
        LayoutStructureGraphic(*structure, CurrentStyle(client.width(), client.height()), options);
    if (layout.ContentRect().bottom() >= client.height()) {
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        layout = LayoutStructureGraphic(
            *structure, CurrentStyle(client.width() - scrollBar, client.height()), options);
    }
    layout_ = std::move(layout);

    PlaceTitles(layout_);
    bitmap_->SetImage(
        RenderStructureBitmap(layout_, CurrentStyle(0, 0).BitmapFont, devicePixelRatioF()));
    CreateObservationLabels(layout_);

    QRect content = layout_.ContentRect();
    for (const QLabel* title : {distanceTitle_, descriptionTitle_, timeTitle_}) {
        content |= title->geometry();
    }
    drawing_ = content;
    canvas_->resize(content.right() + 1, content.bottom() + 1);
    PlaceFooter();
    canvas_->update();
}

void TStructureGraphicView::SetFooter(QWidget* footer) {
    footer_ = footer;
    footer_->setParent(canvas_);
    footer_->show();
    PlaceFooter();
}

void TStructureGraphicView::PlaceFooter() {
    if (footer_ == nullptr)
        return;
    const QSize size = footer_->sizeHint();
    const int top = drawing_.isValid() ? drawing_.bottom() + 1 : 0;
    footer_->setGeometry(0, top, size.width(), size.height());
    canvas_->resize(std::max(drawing_.right() + 1, size.width()), top + size.height());
}

void TStructureGraphicView::ObservationLabelClick(int detailIndex) {
    if (clickHandler_) {
        clickHandler_(detailIndex);
    }
}

void TStructureGraphicView::RemoveObservationLabels() {
    // A click handler may redraw while its label is still handling the click, so the
    // labels go away now and are freed once control is back in the event loop.
    for (TObservationLabel* label : labels_) {
        label->hide();
        label->deleteLater();
    }
    labels_.clear();
}

void TStructureGraphicView::PlaceTitles(const TStructureGraphicLayout& layout) {
    distanceTitle_->move(layout.DistanceColumn, distanceTitle_->y());
    descriptionTitle_->move(layout.DescriptionColumn, descriptionTitle_->y());
    timeTitle_->move(layout.TimeColumn, timeTitle_->y());
}

void TStructureGraphicView::CreateObservationLabels(const TStructureGraphicLayout& layout) {
    labels_.reserve(layout.Rows.size() * 3);
    for (const TObservationRow& row : layout.Rows) {
        QPalette colored = canvas_->palette();
        colored.setColor(QPalette::WindowText, WindowsColorToQColor(row.Color));
        for (const TGraphicLabel* part : {&row.Distance, &row.Description, &row.Time}) {
            auto* label = new TObservationLabel(row.DetailIndex, canvas_);
            label->setPalette(colored);
            label->setText(AnsiToQString(part->Text));
            if (!part->Hint.empty()) {
                label->setToolTip(PlainToolTip(AnsiToQString(part->Hint)));
            }
            label->setGeometry(part->Rect);
            connect(label, &TObservationLabel::Clicked, this,
                    &TStructureGraphicView::ObservationLabelClick);
            label->show();
            labels_.push_back(label);
        }
    }
}

TGraphicOptions GraphicOptionsOf(const TKanvioContext& context) {
    TGraphicOptions options;
    options.LengthFormat = context.LengthFormat;
    options.LengthUnit = context.LengthUnit;
    for (size_t i = 0; i < options.DefectClassColors.size(); ++i) {
        options.DefectClassColors[i] = context.GetDefectClassColor(int(i));
    }
    const QLocale locale = QLocale::system();
    options.DecimalSeparator = SingleAnsiCharacter(locale.decimalPoint(), '.');
    options.ThousandSeparator = SingleAnsiCharacter(locale.groupSeparator(), ',');
    return options;
}

} // namespace kanvio
