#pragma once

// Paints the bitmap of a structure graphic layout: pipe, manhole numbers, flow arrow, end
// symbols, ticks and leader lines, black on opaque white.

#include "ui/StructureGraphicLayout.h"

#include <QFont>
#include <QImage>

namespace kanvio {

// The bitmap in layout pixels. devicePixelRatio above 1 renders a sharper image for
// high-density screens; the image keeps the layout's size in device-independent pixels.
QImage RenderStructureBitmap(const TStructureGraphicLayout& layout, const QFont& bitmapFont,
                             qreal devicePixelRatio = 1.0);

} // namespace kanvio
