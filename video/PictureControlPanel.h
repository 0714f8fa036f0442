#pragma once

// What the picture panel makes of the engine's picture controls: the track bar of each
// property, the panel's place over the video and the reset to the defaults.

#include "video/VideoTypes.h"

#include <cstdint>

namespace kanvio {

struct TTrackSetup {
    bool Enabled = false;
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t PageSize = 0;
    int32_t LineSize = 0;
    int32_t TickFrequency = 0;
};

// A tenth of the range for a page, a twentieth for a line, ticks a page apart. A control
// whose setter or getter is not bound (the engine has not loaded a film yet) is disabled.
TTrackSetup TrackSetupOf(const TPictureControl& control);

// A control the panel may read and write.
bool IsUsable(const TPictureControl& control);

// The screen area the panel centres on.
struct TPanelAnchor {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct TPanelPlace {
    int Left = 0;
    int Top = 0;
};

TPanelPlace CentredPanelPlace(const TPanelAnchor& anchor, int panelWidth, int panelHeight);

// Every usable property back to its default.
void ResetPictureControls(const TPictureControls& controls);

} // namespace kanvio
