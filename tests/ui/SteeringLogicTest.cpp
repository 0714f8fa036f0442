#include "ui/SteeringLogic.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

TEST(SteeringLogicTest, RangeTimesPadHoursAndScaleByTheLinearFactor) {
    struct Case {
        int64_t seconds;
        double factor;
        const char* text;
    };
    const Case cases[] = {
        {0, 1.0, "00:00:00"},
        {600, 1.0, "00:10:00"},
        {3599, 1.0, "00:59:59"},
        {36000, 1.0, "10:00:00"},
        {360000, 1.0, "100:00:00"},
        {3600, 2.0, "00:30:00"},
        {3601, 2.0, "00:30:00"},
        {100, 0.0, "00:01:40"},
        {100, -1.0, "00:01:40"},
        {1'000'000'000'000, 1.0, "596523:14:07"}, // beyond 32 bits: held at the largest value
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatRangeTime(c.seconds, c.factor), c.text) << c.seconds << " / " << c.factor;
    }
}

TEST(SteeringLogicTest, ToleranceIsTwoSecondsTimesTheSpeedRoundedUp) {
    const std::pair<float, int64_t> cases[] = {{0.5f, 1}, {1.0f, 2},  {2.0f, 4},
                                               {3.0f, 6}, {5.0f, 10}, {1.3f, 3}};
    for (const auto& [speed, tolerance] : cases) {
        EXPECT_EQ(SeekTolerance(speed), tolerance) << speed;
    }
}

TEST(SteeringLogicTest, FilmPartsParseOnlyPairsOfNumbers) {
    const auto parts = ParseFilmParts(
        {"00000600=00001200", "bad", "=5", "7=", "00001500=00001800", "1=2=3", "-5=10"});
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].Start, 600);
    EXPECT_EQ(parts[1].Stop, 1800);
    EXPECT_EQ(parts[2].Start, -5);
}

TEST(SteeringLogicTest, SpansScaleToTheStripAndSurviveEmptyRanges) {
    using Spans = std::vector<TStripSpan>;
    struct Case {
        std::vector<TFilmPart> parts;
        int64_t min, max;
        int width;
        Spans expected;
    };
    const Case cases[] = {
        {{{600, 1800}}, 600, 1800, 100, Spans{{0, 100}}},
        {{{0, 10}, {20, 30}}, 0, 40, 400, Spans{{0, 100}, {200, 300}}},
        {{{0, 1}}, 0, 3, 10, Spans{{0, 3}}},           // 3.33 rounds to 3
        {{{5, 5}}, 5, 5, 50, Spans{{0, 50}}},          // no length: filled wholly
        {{{9, 4}}, 9, 4, 50, Spans{{0, 50}}},          // inverted range as well
        {{{-100, 2000}}, 0, 1000, 10, Spans{{0, 10}}}, // clamped to the strip
        {{{0, 10}}, 0, 10, 0, Spans{}},                // no strip
        {{}, 0, 10, 10, Spans{}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilmPartSpans(c.parts, c.min, c.max, c.width), c.expected)
            << c.min << ".." << c.max << " on " << c.width;
    }
}

TEST(SteeringLogicTest, SliderValuesAreHeldToItsIntegerRange) {
    EXPECT_EQ(ClampToSlider(5), 5);
    EXPECT_EQ(ClampToSlider(-5), -5);
    EXPECT_EQ(ClampToSlider(int64_t{1} << 40), std::numeric_limits<int>::max());
    EXPECT_EQ(ClampToSlider(-(int64_t{1} << 40)), std::numeric_limits<int>::min());
}

} // namespace
} // namespace kanvio
