#pragma once

// How wide a control must be to show its text whole in its own font: the text's advance
// plus what the style draws around it (frame, margins, check indicator, arrow). Windows
// drawn for a narrower font than the one in use size their controls with it, keeping
// their design widths as the least.

#include <QString>

class QWidget;

namespace kanvio {

// The text a label, button, check box, radio button, tool button, line edit, combo box or
// group box shows; empty for any other widget and where the text is not shown (a tool
// button showing only its picture, a password field).
QString ShownText(const QWidget& widget);

// The width widget needs to show text (one line; a word-wrapped label its widest word)
// in its own font; 0 for a widget ShownText knows nothing of.
int NeededTextWidth(const QWidget& widget, const QString& text);

// The same for the widget's own shown text.
inline int NeededTextWidth(const QWidget& widget) {
    return NeededTextWidth(widget, ShownText(widget));
}

// Widens each control of a window placed by hand, and of its group boxes, that is too
// narrow for the text it shows. What lies to the right of
// a widened control moves right by as much, so that nothing overlaps; the design widths
// stay the least. Returns how much further right the contents now reach.
int FitControlsToTexts(QWidget& container);

// FitControlsToTexts on a window; the window grows by as much, a window of fixed size too.
void FitWindowToTexts(QWidget& window);

} // namespace kanvio
