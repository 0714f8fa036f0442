#include "tests/video/VideoTestSupport.h"
#include "video/PictureAdjustment.h"

#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

TEST(ScaleControlRangeTest, FindsTheSmallestWholeScale) {
    const struct {
        float min, max, step, def;
        int32_t scale, smin, smax, sstep, sdef;
    } cases[] = {
        {-100, 100, 0.1f, 0, 10, -1000, 1000, 1, 0},
        {0, 10, 0.01f, 1, 101, 0, 1010, 1, 101}, // 0.01 is stored just below 0.01
        {0, 10000, 50, 750, 1, 0, 10000, 50, 750},
        {-180, 180, 1, 0, 1, -180, 180, 1, 0},
        {0, 2, 0, 1, 1, 0, 2, 0, 1},     // no step: the search ends at once
        {0, 2, -0.5f, 1, 1, 0, 2, 0, 1}, // a negative step too
        {-1.5f, 1.5f, 0.5f, 0, 2, -3, 3, 1, 0},
    };
    for (const auto& c : cases) {
        const TScaledRange r = ScaleControlRange(c.min, c.max, c.step, c.def);
        EXPECT_EQ(r.Scale, c.scale) << c.step;
        EXPECT_EQ(r.Min, c.smin) << c.step;
        EXPECT_EQ(r.Max, c.smax) << c.step;
        EXPECT_EQ(r.Step, c.sstep) << c.step;
        EXPECT_EQ(r.Default, c.sdef) << c.step;
    }
}

TEST(ColorChannelMappingTest, DefaultIsTheChannelMiddleAndEndsMapToEnds) {
    const TPlatformRange brightness = FixedOverlayRange(0);
    EXPECT_EQ(ChannelValueOf(750, brightness, -1000, 1000), 0);
    EXPECT_EQ(ChannelValueOf(0, brightness, -1000, 1000), -1000);
    EXPECT_EQ(ChannelValueOf(10000, brightness, -1000, 1000), 1000);
    EXPECT_EQ(ChannelValueOf(99999, brightness, -1000, 1000), 1000);
    for (float v : {0.0f, 375.0f, 750.0f, 5000.0f, 10000.0f})
        EXPECT_NEAR(
            FixedValueOf(ChannelValueOf(v, brightness, -1000, 1000), brightness, -1000, 1000), v,
            10.0f);
    EXPECT_EQ(FixedValueOf(5, brightness, 5, 5), 750); // an empty channel range
}

TEST_F(EngineTest, PictureControlsWorkOnTheFrames) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    EXPECT_FALSE(engine.CanChangePictureProps()); // nothing loaded yet
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    EXPECT_TRUE(engine.CanChangePictureProps());
    const TPictureControls controls = engine.PictureControls();
    EXPECT_TRUE(controls[0].Available);
    EXPECT_EQ(controls[0].Min, -100);
    EXPECT_EQ(controls[0].Max, 100);
    EXPECT_EQ(controls[1].Max, 202); // contrast 0..2 step 0.01: scale 101
    EXPECT_EQ(controls[1].Default, 101);
    EXPECT_EQ(controls[2].Min, -180);
    EXPECT_EQ(engine.ControlScale(1), 101);
    EXPECT_EQ(controls[0].Getter(), 0);
    EXPECT_TRUE(LogHas("MMEngine->[VMR] CanChangePicProp(2, min=0.00, max=2.00, step=0.01, "
                       "def=1.00)"));

    QImage before;
    ASSERT_EQ(engine.GrabPicture(before), S_OK);
    controls[0].Setter(60); // copies stay bound to the engine
    EXPECT_EQ(engine.GetBrightness(), 60);
    // Standing still, the frame shown changes at once, and stays the same frame.
    QImage brighter;
    ASSERT_EQ(engine.GrabPicture(brighter), S_OK);
    EXPECT_GT(qGray(brighter.pixel(5, 150)), qGray(before.pixel(5, 150)));
    EXPECT_EQ(engine.GetCurrentPosition(), 0);
    EXPECT_TRUE(LogHas("MMEngine->SET BRIGHTNESS: 60"));
    // kept for the next film
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.ts"), 0), S_OK);
    EXPECT_EQ(engine.GetBrightness(), 60);
}

} // namespace
} // namespace kanvio::test
