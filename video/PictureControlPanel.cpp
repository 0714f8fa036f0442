#include "video/PictureControlPanel.h"

#include <algorithm>
#include <limits>

namespace kanvio {

namespace {

// Range fractions are formed in 64 bits: a driver range from INT32_MIN to INT32_MAX must
// not overflow.
int32_t Fraction(const TPictureControl& control, int64_t divisor) {
    // A reversed range has no steps to take.
    const int64_t span = std::max<int64_t>(0, int64_t{control.Max} - int64_t{control.Min});
    const int64_t part = span / divisor;
    return static_cast<int32_t>(std::clamp<int64_t>(part, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

bool IsUsable(const TPictureControl& control) {
    return control.Available && control.Setter && control.Getter;
}

TTrackSetup TrackSetupOf(const TPictureControl& control) {
    TTrackSetup setup;
    setup.Enabled = IsUsable(control);
    setup.Min = control.Min;
    setup.Max = control.Max;
    setup.PageSize = Fraction(control, 10);
    setup.LineSize = Fraction(control, 20);
    setup.TickFrequency = setup.PageSize;
    return setup;
}

TPanelPlace CentredPanelPlace(const TPanelAnchor& anchor, int panelWidth, int panelHeight) {
    return {anchor.Width / 2 + anchor.Left - panelWidth / 2,
            anchor.Height / 2 + anchor.Top - panelHeight / 2};
}

void ResetPictureControls(const TPictureControls& controls) {
    for (const TPictureControl& control : controls) {
        if (IsUsable(control)) {
            control.Setter(control.Default);
        }
    }
}

} // namespace kanvio
