#pragma once

// Where the main window and its controls go: the stored window bounds brought onto the
// screen, the information panel's three columns and the scroll box below it.

#include "foundation/KanvioToolkit.h"

#include <array>
#include <string>
#include <vector>

namespace kanvio {

// Stored frame bounds ("MainLeft", "MainTop", "MainWidth", "MainHeight"; 0, 0, 400, 500
// grown by fontScale when never stored).
TFormGeometry ReadMainFormGeometry(double fontScale = 1.0);
// A left or top beyond the screen's width or height becomes 30 pixels short of that edge.
TFormGeometry PlaceMainFormOnScreen(TFormGeometry stored, int screenWidth, int screenHeight);
// Throws ERegistryError when the store cannot be written.
void WriteMainFormGeometry(const TFormGeometry& geometry);

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TRect&) const = default;
};

struct TInfoColumn {
    int LabelLeft = 0;
    int EditLeft = 0;
    bool operator==(const TInfoColumn&) const = default;
};

struct TMainFormLayout {
    TRect InfoPanel;
    TRect ScrollBox;
    std::array<TInfoColumn, 3> Columns{};
    int EditWidth = 0; // all nine edits
};

// The layout for a client area of clientWidth x clientHeight. infoPanelHeight is the
// panel's fixed height and columnLabelWidths the widest caption of each column. Sizes that
// would come out negative on a very small window are 0.
TMainFormLayout ComputeMainFormLayout(int clientWidth, int clientHeight, int infoPanelHeight,
                                      const std::array<int, 3>& columnLabelWidths);

// The start-up choice of the command line: "/H" and a reach number, "/A" and a connection
// number (keys compared exactly), or a film file name and a start time text.
struct TStartChoice {
    enum class TKind { FirstStructure, Reach, Connection, Film };
    TKind Kind = TKind::FirstStructure;
    std::string Name; // reach or connection number, or film file name
    std::string Time; // start time text of a film
};
TStartChoice ParseStartChoice(const std::vector<std::string>& arguments);

} // namespace kanvio
