#include "tests/ui/StructureGraphicTestSupport.h"

#include "core/KanvioContext.h"

#include <QFontDatabase>

namespace kanvio::test {

TReachData MakeStructure(double start, double end, const std::vector<ObservationInput>& details,
                         char objectType, bool direction) {
    TReachData structure;
    structure.StartDist = start;
    structure.EndDist = end;
    structure.ObjectType = objectType;
    structure.direction = direction;
    for (const ObservationInput& input : details) {
        TReachDetail detail;
        detail.Distance = input.Distance;
        detail.Code = input.Code;
        detail.DefectClass = input.DefectClass;
        detail.Text = input.Text;
        detail.VideoTime = input.VideoTime;
        structure.Details.push_back(detail);
    }
    return structure;
}

TGraphicStyle MakeStyle(int clientWidth, int clientHeight) {
    TGraphicStyle style;
    style.LabelFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    style.LabelFont.setPixelSize(13);
    style.BitmapFont = style.LabelFont;
    style.BitmapFont.setPixelSize(11);
    style.TitleFont = style.LabelFont;
    style.TitleFont.setBold(true);
    style.DistanceTitle = "Dist.";
    style.TitleTop = 8;
    style.TitleHeight = 16;
    style.ClientWidth = clientWidth;
    style.ClientHeight = clientHeight;
    return style;
}

TGraphicOptions MakeOptions() {
    TGraphicOptions options;
    options.DefectClassColors = {WindowsColor(1, 2, 3),     WindowsColor(0, 160, 0),
                                 WindowsColor(200, 200, 0), WindowsColor(255, 128, 0),
                                 WindowsColor(255, 0, 0),   WindowsColor(128, 0, 128)};
    return options;
}

int DarkPixels(const QImage& image, const QRect& area) {
    const QRect clipped = area & image.rect();
    int count = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (QColor(image.pixel(x, y)).lightness() < 160) {
                ++count;
            }
        }
    }
    return count;
}

QColor StrongestColor(const QImage& image, const QRect& area) {
    const QRect clipped = area & image.rect();
    QColor strongest(Qt::white);
    int bestDistance = -1;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor c(image.pixel(x, y));
            const int distance = (255 - c.red()) + (255 - c.green()) + (255 - c.blue());
            if (distance > bestDistance) {
                bestDistance = distance;
                strongest = c;
            }
        }
    }
    return strongest;
}

} // namespace kanvio::test
