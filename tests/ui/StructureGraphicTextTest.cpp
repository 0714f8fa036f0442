#include "ui/StructureGraphicText.h"

#include <QFontDatabase>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kanvio {
namespace {

struct FormatCase {
    const char* Format;
    double Value;
    const char* Expected;
};

class FormatFloatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatFloatTest, WritesTheValueByThePattern) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatFloat(c.Format, c.Value), c.Expected)
        << "pattern \"" << c.Format << "\" value " << c.Value;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatFloatTest,
    ::testing::Values(
        // Optional decimals vanish, with the point, when they are zero.
        FormatCase{"0.##", 12.5, "12.5"}, FormatCase{"0.##", 12.0, "12"},
        FormatCase{"0.##", 0.5, "0.5"}, FormatCase{"#.##", 0.5, ".5"},
        FormatCase{"0.##", 9.999, "10"}, FormatCase{"0.##", 0.004, "0"},
        // Halves round away from zero on the decimal digits, not on the binary value.
        FormatCase{"0.##", 12.345, "12.35"}, FormatCase{"0.00", 2.675, "2.68"},
        FormatCase{"0.##", 0.125, "0.13"}, FormatCase{"0", 2.5, "3"}, FormatCase{"0", -2.5, "-3"},
        FormatCase{"0", 0.5, "1"}, FormatCase{"0", 0.4, "0"}, FormatCase{"0.00", 0.005, "0.01"},
        FormatCase{"0.00", 0.0004, "0.00"}, FormatCase{"0.00", 1e-20, "0.00"},
        // Fixed digits on both sides.
        FormatCase{"0.000", 1.5, "1.500"}, FormatCase{"000", 7.0, "007"},
        FormatCase{"0.000", 1234.56789, "1234.568"},
        // Thousands grouping, also when rounding adds a digit.
        FormatCase{"#,##0.00", 1234567.891, "1,234,567.89"},
        FormatCase{"#,##0.00", 999.999, "1,000.00"}, FormatCase{"#,##0.00", 0.0, "0.00"},
        FormatCase{"#,##0", -1234.0, "-1,234"}, FormatCase{"#,##0", 123.0, "123"},
        // Signs: nothing that rounds to zero shows a minus.
        FormatCase{"0.##", -3.5, "-3.5"}, FormatCase{"0.##", -0.001, "0"},
        FormatCase{"0.00", -0.0, "0.00"},
        // Sections and literal texts.
        FormatCase{"0.00;(0.00)", -1.5, "(1.50)"}, FormatCase{"0.00;(0.00)", 1.5, "1.50"},
        FormatCase{"0.00;(0.00);'none'", 0.0, "none"}, FormatCase{"0.00;;'none'", -0.001, "none"},
        FormatCase{"0.0' m'", 1.25, "1.3 m"}, FormatCase{"\"km \"0.0", 3.0, "km 3.0"},
        // Values far out of the ordinary range.
        FormatCase{"0.##", 1e20, "100000000000000000000"},
        FormatCase{"0.##", std::numeric_limits<double>::quiet_NaN(), "NAN"},
        FormatCase{"0.##", std::numeric_limits<double>::infinity(), "INF"},
        FormatCase{"0.##", -std::numeric_limits<double>::infinity(), "-INF"},
        // No pattern: the general form.
        FormatCase{"", 12.5, "12.5"}, FormatCase{"", -0.0, "0"}));

TEST(FormatFloatSeparators, UsesTheGivenSeparators) {
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, ',', '.'), "1.234,50");
    EXPECT_EQ(FormatFloat("0.##", 0.25, ','), "0,25");
    EXPECT_EQ(FormatFloat("", 0.25, ','), "0,25");
}

TEST(FormatFloatExtremes, HugeAndTinyMagnitudesGiveDigitsOnly) {
    const std::string huge = FormatFloat("0.##", 1e300);
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(FormatFloat("0.##", 5e-324), "0");
    EXPECT_EQ(FormatFloat("0.##", -1e300).front(), '-');
}

class ShortenTest : public ::testing::Test {
protected:
    ShortenTest() {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPixelSize(13);
        measure = std::make_unique<TTextMeasure>(font);
    }
    std::unique_ptr<TTextMeasure> measure;
    const std::string text = "(BABBA) Laengsriss, Rissbreite 2 mm, ueber 3 Rohrumfangsteile";
};

TEST_F(ShortenTest, TextThatFitsStaysWhole) {
    const int full = measure->Width(text);
    EXPECT_EQ(ShortenToWidth(text, full, *measure), text);
    EXPECT_EQ(ShortenToWidth(text, full + 100, *measure), text);
    EXPECT_EQ(ShortenToWidth("", 0, *measure), "");
}

TEST_F(ShortenTest, WiderTextKeepsItsLongestFittingBeginningLessThreeAndDots) {
    for (int width : {40, 77, 150, measure->Width(text) - 1}) {
        const std::string shortened = ShortenToWidth(text, width, *measure);
        ASSERT_GE(shortened.size(), 3u);
        ASSERT_EQ(shortened.substr(shortened.size() - 3), "...") << width;
        const size_t kept = shortened.size() - 3;
        // k is the longest beginning that fits; the result keeps k - 3 of it.
        const size_t k = kept + 3;
        EXPECT_LE(measure->Width(text.substr(0, k)), width) << width;
        EXPECT_GT(measure->Width(text.substr(0, k + 1)), width) << width;
        EXPECT_EQ(shortened.substr(0, kept), text.substr(0, kept));
        EXPECT_LE(measure->Width(shortened), width) << width;
    }
}

TEST_F(ShortenTest, ColumnsNarrowerThanThreeCharactersLeaveOnlyTheDots) {
    EXPECT_EQ(ShortenToWidth(text, 0, *measure), "...");
    EXPECT_EQ(ShortenToWidth(text, -50, *measure), "...");
    // Three characters or fewer are never cut, however narrow the column.
    EXPECT_EQ(ShortenToWidth("WWW", 1, *measure), "WWW");
}

TEST(WindowsColorTest, RedIsInTheLowByte) {
    struct Case {
        uint32_t Windows;
        QColor Expected;
    };
    for (const Case& c : {Case{16711680, QColor(0, 0, 255)}, Case{255, QColor(255, 0, 0)},
                          Case{0x00FF00, QColor(0, 255, 0)}, Case{16777215, QColor(Qt::white)},
                          Case{0, QColor(Qt::black)}, Case{0x123456, QColor(0x56, 0x34, 0x12)}}) {
        EXPECT_EQ(WindowsColorToQColor(c.Windows), c.Expected) << c.Windows;
        EXPECT_EQ(QColorToWindowsColor(c.Expected), c.Windows);
    }
    // Bits above the blue byte carry nothing.
    EXPECT_EQ(WindowsColorToQColor(0xFF0000FF), QColor(255, 0, 0));
}

} // namespace
} // namespace kanvio
