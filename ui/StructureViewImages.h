#pragma once

// The structure view as pictures for printing: the information panel as it stands, and
// the whole structure graphic, also the part scrolled out of sight.

#include <QImage>

class QWidget;

namespace kanvio {

class TStructureGraphicView;

QImage PanelImage(QWidget& panel);
// The scroll box's picture as if it were tall and wide enough for all of its content,
// with its two-pixel frame at the top and left (the printout leaves that frame out).
QImage WholeGraphicImage(TStructureGraphicView& scrollBox);

} // namespace kanvio
