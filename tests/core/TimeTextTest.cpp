#include "core/TimeText.h"

#include "foundation/Errors.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

struct TextToSecondsCase {
    const char* text;
    int64_t seconds;
    friend void PrintTo(const TextToSecondsCase& c, std::ostream* os) { *os << c.text; }
};

class TimeTextToSecondsTest : public ::testing::TestWithParam<TextToSecondsCase> {};

TEST_P(TimeTextToSecondsTest, ReadsFixedPositionsAndLongHours) {
    EXPECT_EQ(TimeTextToSeconds(GetParam().text), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Texts, TimeTextToSecondsTest,
                         ::testing::Values(TextToSecondsCase{"00:00:00", 0},
                                           TextToSecondsCase{"01:01:00", 3660},
                                           TextToSecondsCase{"10:00:00", 36000},
                                           TextToSecondsCase{"99:59:59", 359999},
                                           // Characters after the seconds do not count.
                                           TextToSecondsCase{"00:10:05xyz", 605},
                                           // Films can run longer than 99 hours.
                                           TextToSecondsCase{"100:00:00", 360000},
                                           TextToSecondsCase{"1234:05:06", 4442706}));

class TimeTextRejectedTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TimeTextRejectedTest, RaisesConversionErrorNamingTheText) {
    try {
        TimeTextToSeconds(GetParam());
        FAIL() << "accepted " << GetParam();
    } catch (const EConvertError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam()), std::string::npos);
    }
    int64_t ignored = 0;
    EXPECT_FALSE(TryTimeTextToSeconds(GetParam(), ignored));
}

// The default length offset keeps its sign until seeking drops it; letters anywhere and
// texts too short for a field are no times.
INSTANTIATE_TEST_SUITE_P(Texts, TimeTextRejectedTest,
                         ::testing::Values("+00:00:00", "00:00:0a", "", "12:34", "ab:cd:ef",
                                           "100:0:00", "1000:00:0x"));

TEST(SecondsToTimeTextTest, FormatsTwoDigitFieldsAndLongHours) {
    EXPECT_EQ(SecondsToTimeText(0), "00:00:00");
    EXPECT_EQ(SecondsToTimeText(3660), "01:01:00");
    EXPECT_EQ(SecondsToTimeText(36000), "10:00:00");
    EXPECT_EQ(SecondsToTimeText(360000), "100:00:00");
    EXPECT_EQ(SecondsToTimeText(59), "00:00:59");
}

TEST(SecondsToTimeTextTest, RoundTripsThroughTheText) {
    for (int64_t seconds : {0, 1, 59, 60, 3599, 3600, 86399, 359999, 360000, 3600000}) {
        EXPECT_EQ(TimeTextToSeconds(SecondsToTimeText(seconds)), seconds) << seconds;
    }
}

} // namespace
} // namespace kanvio
