// Column extraction and field conversion of the fixed-width records.

#include "core/TimeText.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauReachParser.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

TEST(IsybauConversion, IntegersDecimalAndHexadecimal) {
    struct Case {
        const char* text;
        std::optional<int32_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"-7", -7},
        {"+7", 7},
        {"$FF", 255},
        {"$ff", 255},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$123456789", std::nullopt},
        {"", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"1.5", std::nullopt},
        {" 1", std::nullopt},
        {"0x10", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isybau::TryParseInteger(c.text), c.expected) << c.text;
}

TEST(IsybauConversion, DecimalsAcceptPointAndComma) {
    struct Case {
        const char* text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"12.50", 12.5},
        {"12,50", 12.5},
        {"-0.25", -0.25},
        {"+3", 3.0},
        {".5", 0.5},
        {"1e2", 100.0},
        {"655.35", 655.35},
        {"", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1,2.3", std::nullopt},
        {"abc", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1e999", std::nullopt},
        {"++1", std::nullopt},
        {"-", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isybau::TryParseDecimal(c.text), c.expected) << c.text;
}

TEST(IsybauConversion, RoundingTakesHalvesToEven) {
    EXPECT_EQ(isybau::RoundHalfEven(0.5), 0);
    EXPECT_EQ(isybau::RoundHalfEven(1.5), 2);
    EXPECT_EQ(isybau::RoundHalfEven(2.5), 2);
    EXPECT_EQ(isybau::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(isybau::RoundHalfEven(2.6), 3);
    EXPECT_EQ(isybau::RoundHalfEven(1e300), std::nullopt);
}

class IsybauFields : public ::testing::Test {
protected:
    TISYBAUHParser parser;
};

TEST_F(IsybauFields, TextIsCutAtTheLineAndTrimmed) {
    struct Case {
        const char* line;
        int column, width;
        const char* expected;
    };
    const Case cases[] = {
        {"abcdef", 1, 3, "abc"},        {"abcdef", 4, 10, "def"}, {"abcdef", 6, 1, "f"},
        {"abcdef", 7, 5, ""},           {"abcdef", 100, 5, ""},   {"  ab  ", 1, 6, "ab"},
        {"\tab\t", 1, 4, "ab"},         {"a  b", 1, 4, "a  b"},   {"", 1, 5, ""},
        {"x\x01y\x1f", 1, 4, "x\x01y"}, {"abc", 0, 2, ""},        {"abc", 2, 0, ""},
    };
    for (const auto& c : cases) {
        parser.SetCurrentLine(c.line);
        EXPECT_EQ(parser.ReadText(c.column, c.width), c.expected)
            << c.line << " @" << c.column << "/" << c.width;
    }
}

TEST_F(IsybauFields, BytesAboveAsciiAreKeptNotTrimmed) {
    // "Straße" and "Köln" as Windows-1252 bytes; a signed char would count them as blanks.
    parser.SetCurrentLine("\xE4Stra\xDF"
                          "e \xF6");
    EXPECT_EQ(parser.ReadText(1, 9), "\xE4Stra\xDF"
                                     "e \xF6");
    parser.SetCurrentLine("\xA0x\xA0");
    EXPECT_EQ(parser.ReadText(1, 3), "\xA0x\xA0");
}

TEST_F(IsybauFields, IntegersKeepTheirLowBits) {
    struct Case {
        const char* line;
        int16_t small;
        int8_t byte;
    };
    const Case cases[] = {
        {"   12", 12, 12}, {"$7FFF", 32767, -1}, {"65535", -1, -1},
        {"65536", 0, 0},   {"  -1 ", -1, -1},    {"  300", 300, 44},
        {"  x12", 0, 0},   {"     ", 0, 0},      {"$FFFF", -1, -1},
    };
    for (const auto& c : cases) {
        parser.SetCurrentLine(c.line);
        EXPECT_EQ(parser.ReadSmallInt(1, 5), c.small) << c.line;
        EXPECT_EQ(parser.ReadByte(1, 5), c.byte) << c.line;
    }
}

TEST_F(IsybauFields, DecimalsThatDoNotConvertGiveZero) {
    parser.SetCurrentLine(" 12.50 1,25  abc");
    EXPECT_DOUBLE_EQ(parser.ReadFloat(1, 6), 12.5);
    EXPECT_DOUBLE_EQ(parser.ReadFloat(8, 4), 1.25);
    EXPECT_DOUBLE_EQ(parser.ReadFloat(13, 4), 0.0);
    EXPECT_DOUBLE_EQ(parser.ReadFloat(40, 4), 0.0);
}

TEST_F(IsybauFields, DatesWithTwoDigitYearsAndTheFallBack) {
    const QDate today = QDate::currentDate();
    struct Case {
        const char* text;
        QDate expected;
    };
    const Case cases[] = {
        {"05.11.98", QDate(1998, 11, 5)},
        {"05.11.04", QDate(2004, 11, 5)},
        {"05.11.70", QDate(1970, 11, 5)},
        {"05.11.69", QDate(2069, 11, 5)},
        {"05.11.2004", QDate(2004, 11, 5)},
        {"29.02.2004", QDate(2004, 2, 29)},
        {"31.02.2004", today},
        {"29.02.2003", today},
        {"00.01.2004", today},
        {"01.13.2004", today},
        {"aa.01.2004", today},
        {"01.01.", today},
        {"", today},
        {"1.1.2000", today},
        {"01/01/2000", QDate(2000, 1, 1)},
        {"01.01.10000", QDate(1000, 1, 1)},
    };
    for (const auto& c : cases) {
        parser.SetCurrentLine(std::string("    ") + c.text);
        EXPECT_EQ(parser.ReadDate(5), c.expected) << c.text;
    }
}

TEST(IsybauVideoTime, CountersPrintAsTheyStandAndSeekToTheirTime) {
    struct Case {
        uint16_t hours;
        uint8_t minutes, seconds;
        const char* expected;
        bool asItStands;
    };
    const Case cases[] = {
        {1, 2, 3, "01:02:03", true},
        {0, 45, 7, "00:45:07", true},
        {10, 0, 0, "10:00:00", true},
        {99, 59, 59, "99:59:59", true},
        {0, 75, 99, "00:75:99", true},
        {100, 0, 0, "100:00:00", true},
        {100, 5, 7, "100:05:07", true},
        {999, 59, 59, "999:59:59", true},
        {1000, 0, 1, "1000:00:01", true},
        {65535, 0, 0, "65535:00:00", true},
        {0, 255, 0, "04:15:00", false},
        {1, 0, 200, "01:03:20", false},
        {65535, 255, 255, "65539:19:15", false},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.hours) + ":" + std::to_string(c.minutes) + ":" +
                                 std::to_string(c.seconds);
        bool asItStands = !c.asItStands;
        const std::string text =
            isybau::CounterToVideoTime(c.hours, c.minutes, c.seconds, &asItStands);
        EXPECT_EQ(text, c.expected) << name;
        EXPECT_EQ(asItStands, c.asItStands) << name;
        // Seeking reads the text back: it must give the counter's own time.
        EXPECT_EQ(TimeTextToSeconds(text), int64_t{c.hours} * 3600 + c.minutes * 60 + c.seconds)
            << name;
    }
}

} // namespace
} // namespace kanvio
