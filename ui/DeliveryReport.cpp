#include "ui/DeliveryReport.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/LangManager.h"
#include "ui/ObservationPictures.h"
#include "ui/ReportPages.h"
#include "ui/StructureGraphicLayout.h"
#include "ui/StructureGraphicRender.h"
#include "ui/StructureGraphicText.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureLabels.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <filesystem>
#include <set>

namespace kanvio {

namespace {

QString Ansi(std::string_view text) {
    return AnsiToQString(text);
}

QFont ReportFont(double points, bool bold = false) {
    QFont font("DejaVu Sans");
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The differing values of a field over the structures, in their first order; more than
// three become "first ... last".
QString DistinctValues(const std::vector<const TReachData*>& structures,
                       std::string TReachData::*field) {
    std::vector<std::string> values;
    std::set<std::string> seen;
    for (const TReachData* structure : structures) {
        const std::string& value = structure->*field;
        if (!value.empty() && seen.insert(value).second)
            values.push_back(value);
    }
    if (values.size() > 3)
        return Ansi(values.front()) + QStringLiteral(" \u2026 ") + Ansi(values.back());
    QStringList texts;
    for (const std::string& value : values)
        texts << Ansi(value);
    return texts.join(QStringLiteral(", "));
}

QString DeliveryName() {
    std::error_code error;
    const auto folder = std::filesystem::weakly_canonical(GetProjectFolder(), error);
    const std::string name = error ? GetProjectFolder() : folder.filename().string();
    return QFile::decodeName(name.c_str());
}

// The structure graphic as the scroll box shows it: bitmap, column titles and labels.
QImage GraphicImage(const TKanvioContext& context, const TReachData& structure,
                    const LangScope& lang) {
    TGraphicStyle style;
    style.LabelFont = ReportFont(9);
    style.LabelFont.setPixelSize(12);
    style.BitmapFont = ReportFont(8);
    style.BitmapFont.setPixelSize(11);
    style.TitleFont = style.LabelFont;
    style.TitleFont.setBold(true);
    style.DistanceTitle = lang.Text("_DistanceShort");
    style.ClientWidth = 640;
    style.ClientHeight = 360;
    const TGraphicOptions options = GraphicOptionsOf(context);
    const TStructureGraphicLayout layout = LayoutStructureGraphic(structure, style, options);
    const QRect content = layout.ContentRect().united(QRect(0, 0, layout.Width, layout.Height));
    const qreal ratio = 2.0;
    QImage image((content.size() + QSize(8, 8)) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), RenderStructureBitmap(layout, style.BitmapFont, ratio));
    painter.setFont(style.TitleFont);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(layout.DistanceColumn, style.TitleTop + 12), Ansi(style.DistanceTitle));
    painter.drawText(QPoint(layout.DescriptionColumn, style.TitleTop + 12),
                     Ansi(lang.Text("_DescriptionShort")));
    painter.drawText(QPoint(layout.TimeColumn, style.TitleTop + 12), Ansi(lang.Text("_Video")));
    painter.setFont(style.LabelFont);
    for (const TObservationRow& row : layout.Rows) {
        painter.setPen(WindowsColorToQColor(row.Color));
        for (const TGraphicLabel* label : {&row.Distance, &row.Description, &row.Time})
            painter.drawText(label->Rect, Qt::AlignLeft | Qt::AlignVCenter, Ansi(label->Text));
    }
    return image;
}

struct TTexts {
    QString Title, Delivery, Town, Date, Company, Structures, Reaches, Connections, Observations,
        Class, NoClass, Total, Distance, Code, Text, Time, Pictures, NoPicture, Page;
    std::array<std::array<QString, 3>, 3> PanelCaptions;
};

TTexts ReportTexts(const LangScope& lang) {
    auto t = [&](const char* key) {
        return Ansi(lang.Text(key));
    };
    TTexts texts{
        t("_ReportTitle"),        t("_Delivery"),         t("_City"),          t("_Date"),
        t("_ReportCompany"),      t("_ReportStructures"), t("_Reaches"),       t("_Connections"),
        t("_ReportObservations"), t("_ReportClass"),      t("_ReportNoClass"), t("_ReportTotal"),
        t("_ReportDistance"),     t("_ReportCode"),       t("_ReportText"),    t("_ReportTime"),
        t("_ReportPictures"),     t("_ReportNoPicture"),  t("_ReportPage"),    {}};
    texts.PanelCaptions = {{{t("_NumberShort"), t("_Reach"), t("_ConnectionShort")},
                            {t("_City"), t("_Street"), t("_Length")},
                            {t("_Date"), t("_Flow"), t("_Video")}}};
    return texts;
}

// One run over the whole document, counting (no painter) or painting.
class TReportRun {
public:
    TReportRun(const TKanvioContext& context, const TTexts& texts, const LangScope& lang,
               TReportPages& pages)
        : context_(context), texts_(texts), lang_(lang), pages_(pages),
          options_(GraphicOptionsOf(context)) {}

    std::function<QImage(const TFramePlace&)> FetchPicture;

    void TitlePage(const std::vector<const TReachData*>& structures);
    void Structure(const TReachData& structure);

private:
    QColor ClassColor(int reportClass) const;
    void Heading(const QString& text, double points);
    void Panel(const TReachData& structure);
    void Graphic(const TReachData& structure);
    void Table(const TReachData& structure);
    void TableHeader(const std::array<double, 5>& columns);
    void Pictures(const TReachData& structure);

    const TKanvioContext& context_;
    const TTexts& texts_;
    const LangScope& lang_;
    TReportPages& pages_;
    const TGraphicOptions options_;
};

QColor TReportRun::ClassColor(int reportClass) const {
    return WindowsColorToQColor(ObservationColor(reportClass, options_.DefectClassColors));
}

void TReportRun::Heading(const QString& text, double points) {
    const QFont font = ReportFont(points, true);
    const double height = pages_.TextHeight(font, pages_.Width(), text);
    pages_.Ensure(height + pages_.Mm(2));
    pages_.Text(font, QRectF(0, pages_.Y(), pages_.Width(), height), text,
                Qt::AlignLeft | Qt::TextWordWrap);
    pages_.Advance(height + pages_.Mm(2));
}

void TReportRun::TitlePage(const std::vector<const TReachData*>& structures) {
    pages_.Advance(pages_.Mm(30));
    Heading(texts_.Title, 24);
    pages_.Advance(pages_.Mm(8));
    const QFont font = ReportFont(11);
    const QFont bold = ReportFont(11, true);
    const double line = pages_.LineHeight(font) * 1.3;
    const double captionWidth = pages_.Mm(50);
    auto row = [&](const QString& caption, const QString& value, const QColor& color = Qt::black) {
        pages_.Ensure(line);
        pages_.Text(bold, QRectF(0, pages_.Y(), captionWidth, line), caption, Qt::AlignLeft);
        pages_.Text(font, QRectF(captionWidth, pages_.Y(), pages_.Width() - captionWidth, line),
                    value, Qt::AlignLeft, color);
        pages_.Advance(line);
    };
    row(texts_.Delivery, DeliveryName());
    row(texts_.Town, DistinctValues(structures, &TReachData::city));
    row(texts_.Date, DistinctValues(structures, &TReachData::date));
    row(texts_.Company, DistinctValues(structures, &TReachData::InspectingCompany));
    pages_.Advance(line);

    const TReportCounts counts = CountReport(structures);
    Heading(texts_.Structures, 13);
    row(texts_.Reaches, QString::number(counts.Reaches));
    row(texts_.Connections, QString::number(counts.Connections));
    row(texts_.Total, QString::number(counts.Reaches + counts.Connections));
    pages_.Advance(line);
    Heading(texts_.Observations, 13);
    for (int c = 1; c <= 5; ++c)
        row(texts_.Class + ' ' + QString::number(c), QString::number(counts.ByClass[size_t(c)]),
            ClassColor(c));
    row(texts_.NoClass, QString::number(counts.ByClass[0]));
    row(texts_.Total, QString::number(counts.Observations));
}

void TReportRun::Structure(const TReachData& structure) {
    pages_.NewPage();
    Heading(
        Ansi(context_.ObjectTypeText(structure.ObjectType) + " " + StructureNumberText(structure)),
        16);
    Panel(structure);
    Graphic(structure);
    Table(structure);
    Pictures(structure);
}

void TReportRun::Panel(const TReachData& structure) {
    const std::array<std::array<QString, 3>, 3> values = {
        {{Ansi(structure.ID), Ansi(structure.ReachNumber), Ansi(structure.ConnectionNumber)},
         {Ansi(structure.city), Ansi(structure.street),
          Ansi(LengthText(structure.StartDist, structure.EndDist, options_.DecimalSeparator))},
         {Ansi(structure.date), Ansi(structure.DirectionTxt()), Ansi(structure.video)}}};
    const QFont font = ReportFont(9);
    const QFont bold = ReportFont(9, true);
    const double line = pages_.LineHeight(font) * 1.25;
    const double column = pages_.Width() / 3;
    pages_.Ensure(line * 3);
    for (size_t c = 0; c < 3; ++c) {
        for (size_t r = 0; r < 3; ++r) {
            const QRectF cell(column * double(c), pages_.Y() + line * double(r), column, line);
            const QString caption = texts_.PanelCaptions[c][r] + ": ";
            const double captionWidth =
                QFontMetricsF(bold, &pages_.Writer()).horizontalAdvance(caption);
            pages_.Text(bold, cell, caption, Qt::AlignLeft | Qt::AlignVCenter);
            pages_.Text(font, cell.adjusted(captionWidth, 0, -pages_.Mm(2), 0),
                        QFontMetricsF(font, &pages_.Writer())
                            .elidedText(values[c][r], Qt::ElideRight,
                                        cell.width() - captionWidth - pages_.Mm(2)),
                        Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    pages_.Advance(line * 3 + pages_.Mm(3));
}

void TReportRun::Graphic(const TReachData& structure) {
    const QImage image = GraphicImage(context_, structure, lang_);
    const QSizeF size = image.deviceIndependentSize();
    if (size.isEmpty())
        return;
    // At most the width and half a page; a taller graphic is drawn smaller.
    const double maxHeight = pages_.Bottom() / 2;
    const double scale =
        std::min({pages_.Width() / size.width(), maxHeight / size.height(), pages_.Mm(0.35)});
    const QSizeF drawn = size * scale;
    pages_.Ensure(drawn.height());
    if (pages_.Painting())
        pages_.Painter().drawImage(QRectF(QPointF(0, pages_.Y()), drawn), image);
    pages_.Advance(drawn.height() + pages_.Mm(4));
}

void TReportRun::TableHeader(const std::array<double, 5>& columns) {
    const QFont bold = ReportFont(8.5, true);
    const double line = pages_.LineHeight(bold) * 1.3;
    const std::array<QString, 5> titles = {texts_.Distance, texts_.Code, texts_.Text, texts_.Time,
                                           texts_.Class};
    double x = 0;
    for (size_t i = 0; i < 5; ++i) {
        pages_.Text(bold, QRectF(x, pages_.Y(), columns[i], line), titles[i],
                    Qt::AlignLeft | Qt::AlignVCenter);
        x += columns[i];
    }
    if (pages_.Painting())
        pages_.Painter().drawLine(QPointF(0, pages_.Y() + line),
                                  QPointF(pages_.Width(), pages_.Y() + line));
    pages_.Advance(line + pages_.Mm(0.5));
}

void TReportRun::Table(const TReachData& structure) {
    if (structure.Details.empty())
        return;
    const double w = pages_.Width();
    const std::array<double, 5> columns = {w * 0.13, w * 0.10, w * 0.53, w * 0.12, w * 0.12};
    const QFont font = ReportFont(8.5);
    const double pad = pages_.Mm(0.6);
    const TGraphicOptions& options = options_;
    pages_.Ensure(pages_.LineHeight(font) * 4);
    TableHeader(columns);
    for (const TReachDetail& detail : structure.Details) {
        const int reportClass = ReportClassOf(detail.DefectClass);
        const std::array<QString, 5> cells = {
            Ansi(FormatFloat(options.LengthFormat, detail.Distance, options.DecimalSeparator,
                             options.ThousandSeparator) +
                 " " + options.LengthUnit),
            Ansi(ObservationCodeText(detail)), Ansi(detail.Text), Ansi(detail.VideoTime),
            reportClass == 0 ? QStringLiteral("-") : QString::number(reportClass)};
        const double height = pages_.TextHeight(font, columns[2] - pad, cells[2]) + 2 * pad;
        if (pages_.Y() + height > pages_.Bottom()) {
            pages_.NewPage();
            TableHeader(columns);
        }
        pages_.Ensure(height);
        double x = 0;
        for (size_t i = 0; i < 5; ++i) {
            const QRectF cell(x, pages_.Y() + pad, columns[i] - pad, height - 2 * pad);
            if (i == 4 && reportClass != 0 && pages_.Painting()) {
                const double side = pages_.LineHeight(font) * 0.7;
                pages_.Painter().fillRect(QRectF(x, cell.top() + side * 0.2, side, side),
                                          ClassColor(reportClass));
                pages_.Text(font, cell.adjusted(side * 1.4, 0, 0, 0), cells[i],
                            Qt::AlignLeft | Qt::AlignTop);
            } else {
                pages_.Text(font, cell, cells[i], Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                            i == 4 ? ClassColor(reportClass) : QColor(Qt::black));
            }
            x += columns[i];
        }
        pages_.Advance(height);
    }
    pages_.Advance(pages_.Mm(4));
}

void TReportRun::Pictures(const TReachData& structure) {
    if (structure.Details.empty())
        return;
    Heading(texts_.Pictures, 11);
    const double gap = pages_.Mm(6);
    const double cellWidth = (pages_.Width() - gap) / 2;
    const double pictureHeight = cellWidth * 3 / 4;
    const QFont font = ReportFont(8);
    const double captionHeight = pages_.LineHeight(font) * 2.2;
    const double rowHeight = pictureHeight + captionHeight + pages_.Mm(4);
    const TGraphicOptions& options = options_;
    for (size_t i = 0; i < structure.Details.size(); ++i) {
        const TReachDetail& detail = structure.Details[i];
        const size_t column = i % 2;
        if (column == 0)
            pages_.Ensure(rowHeight);
        const double x = double(column) * (cellWidth + gap);
        const QRectF frame(x, pages_.Y(), cellWidth, pictureHeight);
        if (pages_.Painting()) {
            const QImage picture = FetchPicture(ObservationFramePlace(context_, structure, detail));
            QPainter& painter = pages_.Painter();
            if (picture.isNull()) {
                painter.setPen(QPen(Qt::gray, pages_.Mm(0.2)));
                painter.drawRect(frame);
                pages_.Text(font, frame, texts_.NoPicture, Qt::AlignCenter, Qt::gray);
            } else {
                QSizeF drawn = QSizeF(picture.size()).scaled(frame.size(), Qt::KeepAspectRatio);
                painter.drawImage(
                    QRectF(QPointF(x + (cellWidth - drawn.width()) / 2, frame.top()), drawn),
                    picture);
            }
        }
        const QString caption =
            Ansi(FormatFloat(options.LengthFormat, detail.Distance, options.DecimalSeparator,
                             options.ThousandSeparator) +
                 " " + options.LengthUnit + "  " + ObservationCodeText(detail) + "  " +
                 detail.VideoTime) +
            "\n" + Ansi(detail.Text);
        pages_.Text(font, QRectF(x, frame.bottom() + pages_.Mm(1), cellWidth, captionHeight),
                    QFontMetricsF(font, &pages_.Writer())
                        .elidedText(caption, Qt::ElideRight, cellWidth * 2),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        if (column == 1 || i + 1 == structure.Details.size())
            pages_.Advance(rowHeight);
    }
}

void SetUpWriter(QPdfWriter& writer, const QString& title) {
    writer.setResolution(300);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Kanvio"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 10), QPageLayout::Millimeter));
}

} // namespace

int ReportClassOf(int32_t defectClass) {
    return defectClass <= 0 ? 0 : std::min(defectClass, 5);
}

TReportCounts CountReport(const std::vector<const TReachData*>& structures) {
    TReportCounts counts;
    for (const TReachData* structure : structures) {
        ++(structure->ObjectType == 'A' ? counts.Connections : counts.Reaches);
        for (const TReachDetail& detail : structure->Details) {
            ++counts.Observations;
            ++counts.ByClass[size_t(ReportClassOf(detail.DefectClass))];
        }
    }
    return counts;
}

std::vector<const TReachData*> AllStructures(const TKanvioContext& context) {
    std::vector<const TReachData*> structures;
    for (const auto& reach : context.Reaches)
        structures.push_back(reach.get());
    for (const auto& connection : context.Connections)
        structures.push_back(connection.get());
    return structures;
}

TInspectionReport::TInspectionReport(const TKanvioContext& context,
                                     TObservationPictureSource& pictures)
    : context_(context), pictures_(pictures) {}

bool TInspectionReport::Write(const std::string& fileName,
                              const std::vector<const TReachData*>& structures,
                              const TProgress& progress) {
    LangScope lang;
    const TTexts texts = ReportTexts(lang);
    const QString footer = DeliveryName();
    missingPictures_ = 0;

    // Counting run: the number of pages for the footers.
    int totalPages = 0;
    {
        QBuffer scratch;
        scratch.open(QIODevice::WriteOnly);
        QPdfWriter writer(&scratch);
        SetUpWriter(writer, texts.Title);
        TReportPages pages(writer, nullptr, footer, texts.Page, 0);
        TReportRun run(context_, texts, lang, pages);
        run.TitlePage(structures);
        for (const TReachData* structure : structures)
            run.Structure(*structure);
        totalPages = pages.Page();
    }

    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        SetUpWriter(writer, texts.Title);
        QPainter painter;
        if (!painter.begin(&writer))
            throw EInOutError(fileName, "the PDF document cannot be started");
        TReportPages pages(writer, &painter, footer, texts.Page, totalPages);
        TReportRun run(context_, texts, lang, pages);
        run.FetchPicture = [this](const TFramePlace& place) {
            try {
                return pictures_.Picture(place, QSize());
            } catch (const EKanvioError&) {
                ++missingPictures_;
                return QImage();
            }
        };
        run.TitlePage(structures);
        for (size_t i = 0; i < structures.size(); ++i) {
            if (progress && !progress(i, structures.size(), *structures[i])) {
                painter.end();
                return false;
            }
            run.Structure(*structures[i]);
        }
        if (!painter.end())
            throw EInOutError(fileName, "the PDF document cannot be finished");
    }
    WriteFileAtomically(fileName, std::string_view(bytes.constData(), size_t(bytes.size())));
    return true;
}

} // namespace kanvio
