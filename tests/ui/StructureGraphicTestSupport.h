#pragma once

#include "core/KanvioDataModel.h"
#include "ui/StructureGraphicLayout.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <string>
#include <vector>

namespace kanvio::test {

struct ObservationInput {
    double Distance = 0.0;
    std::string Code;
    int32_t DefectClass = 0;
    std::string Text = "(BAB) Riss";
    std::string VideoTime = "00:01:00";
};

TReachData MakeStructure(double start, double end, const std::vector<ObservationInput>& details,
                         char objectType = 'H', bool direction = false);

// The fonts of a scroll box as the windows set them up, the titles 16 pixels high at 8
// and a client area of the given size.
TGraphicStyle MakeStyle(int clientWidth = 600, int clientHeight = 330);
TGraphicOptions MakeOptions();

// Pixels darker than light grey inside the area (clipped to the image).
int DarkPixels(const QImage& image, const QRect& area);
// The pixel of the area that lies farthest from white.
QColor StrongestColor(const QImage& image, const QRect& area);

} // namespace kanvio::test
