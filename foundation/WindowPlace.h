#pragma once

// Where a window's frame goes on the screen, and how large windows laid out for a 96 dpi
// Windows font must be for the font in use. Plain rectangle arithmetic: the widget side
// is TFramePlacement.

#include <QFont>
#include <QMargins>
#include <QRect>
#include <QSize>

namespace kanvio {

// The frame moved into the area: wholly inside where it fits, else with its top-left
// corner (title bar and system menu) at the area's top-left. The size never changes.
QRect ClampFrameToArea(QRect frame, const QRect& area);

// The average character width and line height of the font the windows were laid out for
// (an 8 point sans serif at 96 dpi).
constexpr double kDesignCharWidth = 5.0;
constexpr double kDesignLineHeight = 13.0;

// How much larger than the design font a font with these metrics is: the larger of the
// width and height ratios, never below 1, so the design sizes stay the least sizes.
// Metrics that are not positive give 1.
double FontScale(double averageCharWidth, double lineHeight);
// The same for a font as the screen shows it.
double FontScale(const QFont& font);

// The scale of the design font's size (8 points) in the application's font.
double DesignFontScale();

// The first-start frames of the three-window layout, grown by the font scale: the main
// window at the top left, the video window right of it and the control window below it,
// neither overlapping it.
struct TThreeWindowDefaults {
    QRect Main;      // frame bounds
    QPoint Video;    // frame corner; the client size is the video's own default
    QPoint Controls; // frame corner
};
TThreeWindowDefaults ThreeWindowDefaults(double scale);

// The main window's frame as it came out on a first start, where its texts or the window
// manager's frame made it larger than the design: the neighbours' first-start places then
// follow its real edges. A null rectangle forgets it.
void NoteFirstStartMainFrame(const QRect& frame);

// A design size grown by scale, rounded up so text that fits the scaled size is never
// cut by a rounding down.
QSize ScaledDesignSize(QSize design, double scale);
int ScaledDesignLength(int design, double scale);

} // namespace kanvio
