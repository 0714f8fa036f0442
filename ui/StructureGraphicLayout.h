#pragma once

// Where everything of the structure graphic goes: the pipe schematic in its bitmap and
// the three label columns beside it. Computing the layout needs fonts but no window, so
// the drawing is tested without a display; StructureGraphicRender paints the bitmap and
// TStructureGraphicView turns the rows into clickable labels.

#include "core/KanvioDataModel.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kanvio {

// The blue of observation labels without a defect class (a Windows colour value).
inline constexpr uint32_t DefaultObservationColor = 16711680;

// What a drawing reads from the player settings.
struct TGraphicOptions {
    std::string LengthFormat = "0.##";
    std::string LengthUnit = "m";
    // Colours of the defect classes 0..5 (Windows colour values); class 0 is never used
    // for a label, which stays blue without a class.
    std::array<uint32_t, 6> DefectClassColors{};
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
};

// What a drawing reads from the hosting scroll box.
struct TGraphicStyle {
    QFont LabelFont;           // the scroll box's font: observation labels and text measuring
    QFont BitmapFont;          // manhole numbers inside the bitmap
    QFont TitleFont;           // column titles
    std::string DistanceTitle; // caption of the distance column's title
    int TitleTop = 8;
    int TitleHeight = 0; // 0: the line height of TitleFont
    int ClientWidth = 0;
    int ClientHeight = 0;
};

enum class TTopSymbol { ManholeCircle, PipeStub };
enum class TBottomSymbol { None, ManholeCircle, AbortBar };

struct TGraphicLabel {
    QRect Rect;
    std::string Text; // Windows-1252, as shown
    std::string Hint; // Windows-1252; empty for no hint
};

// One observation: its tick on the pipe, its leader and its label row.
struct TObservationRow {
    int DetailIndex = 0; // index into Details, reported when a label is clicked
    int TickY = 0;
    int RowTop = 0;
    QPoint LeaderStart;
    QPoint LeaderEnd;
    uint32_t Color = DefaultObservationColor; // Windows colour value of the three labels
    TGraphicLabel Distance;
    TGraphicLabel Description;
    TGraphicLabel Time;
};

struct TStructureGraphicLayout {
    // The bitmap: its final size, and its height before label rows made it grow (the
    // flow arrow is placed within that height).
    int Width = 0;
    int Height = 0;
    int InitialHeight = 0;
    int Y0 = 0;       // start of the pipe, just under the column titles
    int Y1 = 0;       // end of the pipe
    int PipeX = 0;    // the pipe's centre line
    int RowScale = 0; // the stacked height the label rows are mapped onto
    int LineHeight = 0;
    std::string StartManhole;
    std::string EndManhole;
    QPoint StartManholeAt; // top-left of the texts
    QPoint EndManholeAt;
    bool Direction = false;
    TTopSymbol Top = TTopSymbol::ManholeCircle;
    TBottomSymbol Bottom = TBottomSymbol::None;
    // Left edges of the three label columns and of their titles.
    int DistanceColumn = 0;
    int DescriptionColumn = 0;
    int TimeColumn = 0;
    std::vector<TObservationRow> Rows;

    // The area the bitmap and every label cover.
    QRect ContentRect() const;
};

// Shortest pipe drawn in a scroll box too low for the titles and a pipe.
inline constexpr int MinimumPipeLength = 30;

// Colour of an observation's labels by its defect class: blue without a class, classes
// above the table take its highest class.
uint32_t ObservationColor(int32_t defectClass, const std::array<uint32_t, 6>& classColors);

TStructureGraphicLayout LayoutStructureGraphic(const TReachData& structure,
                                               const TGraphicStyle& style,
                                               const TGraphicOptions& options);

} // namespace kanvio
