#include "video/PictureControlPanel.h"

#include "video/PictureAdjustment.h"

#include <gtest/gtest.h>
#include <limits>

namespace kanvio::test {
namespace {

TPictureControl BoundControl(int32_t min, int32_t max, int32_t def, int32_t& value) {
    TPictureControl control;
    control.Available = true;
    control.Min = min;
    control.Max = max;
    control.Default = def;
    control.Setter = [&value](int32_t v) {
        value = v;
    };
    control.Getter = [&value] {
        return value;
    };
    return control;
}

TEST(PictureControlPanelTest, TrackBarsTakeTenthsAndTwentiethsOfTheRange) {
    const auto scaled = [](float min, float max, float step, float def) {
        const TScaledRange r = ScaleControlRange(min, max, step, def);
        return std::array<int32_t, 3>{r.Min, r.Max, r.Default};
    };
    const struct {
        const char* what;
        std::array<int32_t, 3> range; // min, max, default
        int32_t page, line;
    } cases[] = {
        {"fixed brightness", {0, 10000, 750}, 1000, 500},
        {"fixed hue", {-180, 180, 0}, 36, 18},
        {"brightness -100..100 step 0.1", scaled(-100, 100, 0.1f, 0), 200, 100},
        {"contrast 0..10 step 0.01", scaled(0, 10, 0.01f, 1), 101, 50},
        {"a range smaller than twenty", {0, 15, 0}, 1, 0},
        {"the widest range", {INT32_MIN, INT32_MAX, 0}, 429496729, 214748364},
        {"minimum above maximum", {10, 0, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        int32_t value = 0;
        const TPictureControl control = BoundControl(c.range[0], c.range[1], c.range[2], value);
        const TTrackSetup setup = TrackSetupOf(control);
        EXPECT_TRUE(setup.Enabled) << c.what;
        EXPECT_EQ(setup.Min, c.range[0]) << c.what;
        EXPECT_EQ(setup.Max, c.range[1]) << c.what;
        EXPECT_EQ(setup.PageSize, c.page) << c.what;
        EXPECT_EQ(setup.LineSize, c.line) << c.what;
        EXPECT_EQ(setup.TickFrequency, c.page) << c.what;
    }
}

TEST(PictureControlPanelTest, ControlsWithoutEngineOrAvailabilityAreDisabled) {
    int32_t value = 0;
    TPictureControl unavailable = BoundControl(0, 100, 50, value);
    unavailable.Available = false;
    TPictureControl unbound; // the engine has not loaded a film yet
    unbound.Available = true;
    unbound.Max = 100;
    EXPECT_FALSE(TrackSetupOf(unavailable).Enabled);
    EXPECT_FALSE(TrackSetupOf(unbound).Enabled);

    TPictureControls controls{unavailable, unbound, BoundControl(-180, 180, 0, value), {}};
    value = 90;
    ResetPictureControls(controls); // must neither call an empty setter nor a disabled one
    EXPECT_EQ(value, 0);
}

TEST(PictureControlPanelTest, PanelCentresOnItsAnchor) {
    const struct {
        TPanelAnchor anchor;
        int left, top;
    } cases[] = {
        {{400, 0, 352, 288}, 400 + 176 - 83, 144 - 109},
        {{0, 0, 1024, 768}, 512 - 83, 384 - 109},
        {{-50, -20, 100, 80}, -50 + 50 - 83, -20 + 40 - 109}, // may lie partly off screen
    };
    for (const auto& c : cases) {
        const TPanelPlace place = CentredPanelPlace(c.anchor, 166, 219);
        EXPECT_EQ(place.Left, c.left);
        EXPECT_EQ(place.Top, c.top);
    }
}

} // namespace
} // namespace kanvio::test
