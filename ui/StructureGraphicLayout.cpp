#include "ui/StructureGraphicLayout.h"

#include "ui/StructureGraphicText.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace kanvio {
namespace {

// Rounds to the nearest integer, halves to even, as the whole graphic does.
int RoundToInt(double value) {
    return static_cast<int>(std::nearbyint(value));
}

bool IsAbortCode(const std::string& code) {
    return code == "IAB" || code == "IA";
}

// Maps the distances of one structure onto the pipe. Distances before the start or past
// the end stay on the pipe, and a structure without length puts everything at its start,
// so no tick or label row ends up far outside the graphic.
class TDistanceScale {
public:
    TDistanceScale(double start, double end, int y0, int y1)
        : start_(start), length_(end - start), y0_(y0), y1_(y1) {}

    double Length() const { return length_; }

    int HeightOf(double distance) const {
        const double pixels = (distance - start_) * (y1_ - y0_) / length_ + y0_;
        if (!std::isfinite(pixels)) {
            return y0_;
        }
        return RoundToInt(std::clamp(pixels, double(y0_), double(y1_)));
    }

private:
    double start_;
    double length_;
    int y0_;
    int y1_;
};

// The tick height of an observation: special codes at the pipe's ends, the others by
// their distance but never above an end reached before.
int TickHeight(const TReachDetail& detail, const TDistanceScale& scale, int y0, int y1,
               int& lastEnd) {
    const double distance = detail.Distance;
    const std::string& code = detail.Code;
    const double endZone = 0.85 * scale.Length();
    int y = 0;
    if (distance <= 0 && (code == "HA" || code == "BCDA")) {
        y = y0 - 7;
    } else if (distance <= 0 && code == "PA") {
        y = y0;
    } else if (distance >= endZone && code == "PE") {
        y = y1;
        lastEnd = y1;
    } else if (distance >= endZone && (code == "EH" || code == "BCEA")) {
        y = y1 + 7;
    } else {
        y = std::max(lastEnd, scale.HeightOf(distance));
    }
    return std::max(15, y);
}

} // namespace

QRect TStructureGraphicLayout::ContentRect() const {
    QRect area(0, 0, Width, Height);
    for (const TObservationRow& row : Rows) {
        area |= row.Distance.Rect;
        area |= row.Description.Rect;
        area |= row.Time.Rect;
    }
    return area;
}

uint32_t ObservationColor(int32_t defectClass, const std::array<uint32_t, 6>& classColors) {
    if (defectClass <= 0) {
        return DefaultObservationColor;
    }
    const size_t index = std::min<size_t>(size_t(defectClass), classColors.size() - 1);
    return classColors[index];
}

TStructureGraphicLayout LayoutStructureGraphic(const TReachData& structure,
                                               const TGraphicStyle& style,
                                               const TGraphicOptions& options) {
    const TTextMeasure labels(style.LabelFont);
    const TTextMeasure bitmapText(style.BitmapFont);
    const TTextMeasure titles(style.TitleFont);
    const TAReachDetail& details = structure.Details;
    const int lineHeight = labels.Height();

    TStructureGraphicLayout layout;
    layout.LineHeight = lineHeight;
    layout.Direction = structure.direction;
    layout.StartManhole = structure.StartManholeNumber;
    layout.EndManhole = structure.EndManholeNumber;

    // Measurement pass.
    int maxTime = 0;
    long long sumHeight = 0;
    bool aborted = false;
    for (const TReachDetail& detail : details) {
        maxTime = std::max(maxTime, labels.Width(detail.VideoTime));
        sumHeight += lineHeight + 1;
        aborted = aborted || IsAbortCode(detail.Code);
    }

    // Vertical frame: the pipe fills the scroll box, or is as long as the rows need.
    const int titleHeight = style.TitleHeight > 0 ? style.TitleHeight : titles.Height();
    const int y0 = style.TitleTop + titleHeight + 1;
    const long long wanted =
        std::max<long long>({style.ClientHeight - 30LL, sumHeight, y0 + MinimumPipeLength});
    const int y1 = static_cast<int>(std::min<long long>(wanted, 1 << 30));
    const int pipeLength = y1 - y0;
    layout.Y0 = y0;
    layout.Y1 = y1;
    const TDistanceScale scale(structure.StartDist, structure.EndDist, y0, y1);

    // Label stacking pre-pass: how far rows one line apart reach below the pipe.
    long long stacked = 0;
    for (const TReachDetail& detail : details) {
        stacked = std::max<long long>(scale.HeightOf(detail.Distance), stacked + lineHeight + 1);
    }
    const double rowScale = double(std::max<long long>(stacked, y1));
    layout.RowScale = static_cast<int>(std::min<double>(rowScale, 1 << 30));

    // Bitmap width: the pipe moves right for wide manhole numbers.
    layout.StartManholeAt = QPoint(5, y0 - 14);
    layout.EndManholeAt = QPoint(5, y1);
    const int pipeX = std::max(55, std::max(bitmapText.Width(structure.StartManholeNumber),
                                            bitmapText.Width(structure.EndManholeNumber)) +
                                       20);
    layout.PipeX = pipeX;
    layout.Width = pipeX > 55 ? pipeX + 45 : 100;
    layout.InitialHeight = y1 + 15;
    layout.Height = layout.InitialHeight;

    layout.Top = (structure.ObjectType == 'H' || structure.direction) ? TTopSymbol::ManholeCircle
                                                                      : TTopSymbol::PipeStub;
    if (aborted) {
        layout.Bottom = TBottomSymbol::AbortBar;
    } else if (structure.ObjectType == 'H') {
        layout.Bottom = TBottomSymbol::ManholeCircle;
    }

    // Texts of the rows, before the columns are placed (the widest distance decides
    // where the description can start without running into it).
    std::vector<std::string> distanceTexts;
    distanceTexts.reserve(details.size());
    int widestDistance = 0;
    for (const TReachDetail& detail : details) {
        distanceTexts.push_back(FormatFloat(options.LengthFormat, detail.Distance,
                                            options.DecimalSeparator, options.ThousandSeparator) +
                                " " + options.LengthUnit);
        widestDistance = std::max(widestDistance, labels.Width(distanceTexts.back()));
    }

    // Columns. Narrow windows and long distance texts would put columns over each
    // other; they move right instead and the scroll box scrolls.
    const int width = layout.Width;
    const int distanceColumn = width + 11;
    const int descriptionColumn =
        std::max({std::max(60, titles.Width(style.DistanceTitle) + 20) + width,
                  details.empty() ? 0 : distanceColumn + widestDistance + 8});
    const int timeColumn =
        std::max(style.ClientWidth - maxTime - 10, descriptionColumn + labels.Width("...") + 4);
    layout.DistanceColumn = distanceColumn;
    layout.DescriptionColumn = descriptionColumn;
    layout.TimeColumn = timeColumn;
    const int descriptionWidth = timeColumn - descriptionColumn;

    // Rows.
    int rowTop = y0;
    int lastEnd = -999;
    layout.Rows.reserve(details.size());
    for (size_t i = 0; i < details.size(); ++i) {
        const TReachDetail& detail = details[i];
        TObservationRow row;
        row.DetailIndex = static_cast<int>(i);
        row.TickY = TickHeight(detail, scale, y0, y1, lastEnd);
        rowTop =
            std::max(rowTop, y0 + RoundToInt((row.TickY - y0) * double(pipeLength) / rowScale));
        row.RowTop = rowTop;
        const int leaderEndY = rowTop + lineHeight / 2;
        layout.Height = std::max(layout.Height, leaderEndY);
        row.LeaderStart = QPoint(pipeX + 25, row.TickY);
        row.LeaderEnd = QPoint(width - 1, leaderEndY);
        row.Color = ObservationColor(detail.DefectClass, options.DefectClassColors);

        row.Distance.Text = distanceTexts[i];
        row.Distance.Rect =
            QRect(distanceColumn, rowTop, labels.Width(row.Distance.Text), lineHeight);
        row.Description.Text = ShortenToWidth(detail.Text, descriptionWidth, labels);
        row.Description.Hint = detail.Text;
        row.Description.Rect =
            QRect(descriptionColumn, rowTop, labels.Width(row.Description.Text), lineHeight);
        row.Time.Text = detail.VideoTime;
        row.Time.Rect = QRect(timeColumn, rowTop, labels.Width(row.Time.Text), lineHeight);
        layout.Rows.push_back(std::move(row));

        rowTop += lineHeight + 1;
    }
    return layout;
}

} // namespace kanvio
