#include "ui/StructureGraphicLayout.h"

#include "tests/ui/StructureGraphicTestSupport.h"
#include "ui/StructureGraphicText.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kanvio {
namespace {

using test::MakeOptions;
using test::MakeStructure;
using test::MakeStyle;
using test::ObservationInput;

TStructureGraphicLayout Layout(const TReachData& structure,
                               const TGraphicStyle& style = MakeStyle()) {
    return LayoutStructureGraphic(structure, style, MakeOptions());
}

TEST(StructureGraphicLayout, WorkedExampleOfTheVerticalMapping) {
    const TReachData reach = MakeStructure(0, 55, {{11, "BAB"}, {30, "BCA"}, {50, "PE"}});
    const TStructureGraphicLayout layout = Layout(reach);
    const int h = layout.LineHeight;
    ASSERT_LT(h, 40) << "the mapping below assumes ordinary text heights";

    EXPECT_EQ(layout.Y0, 25);
    EXPECT_EQ(layout.Y1, 300);
    EXPECT_EQ(layout.RowScale, 300);
    EXPECT_EQ(layout.Height, 315);
    ASSERT_EQ(layout.Rows.size(), 3u);
    const int ticks[] = {80, 175, 300};
    const int rows[] = {75, 163, 277};
    for (size_t i = 0; i < 3; ++i) {
        const TObservationRow& row = layout.Rows[i];
        EXPECT_EQ(row.TickY, ticks[i]) << i;
        EXPECT_EQ(row.RowTop, rows[i]) << i;
        EXPECT_EQ(row.LeaderStart, QPoint(layout.PipeX + 25, ticks[i])) << i;
        EXPECT_EQ(row.LeaderEnd, QPoint(layout.Width - 1, rows[i] + h / 2)) << i;
        EXPECT_EQ(row.DetailIndex, int(i));
    }
}

struct TickCase {
    const char* Name;
    double Distance;
    const char* Code;
    int ExpectedTick; // with y0 = 25, y1 = 300, Start 0, End 55
};

class TickHeightTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickHeightTest, PlacesTheTickByCodeAndDistance) {
    const TickCase& c = GetParam();
    const TStructureGraphicLayout layout = Layout(MakeStructure(0, 55, {{c.Distance, c.Code}}));
    ASSERT_EQ(layout.Rows.size(), 1u);
    EXPECT_EQ(layout.Rows[0].TickY, c.ExpectedTick);
}

INSTANTIATE_TEST_SUITE_P(Codes, TickHeightTest,
                         ::testing::Values(TickCase{"StartCodeAtZeroAbovePipe", 0, "BCDA", 18},
                                           TickCase{"HAAtZeroAbovePipe", 0, "HA", 18},
                                           TickCase{"StartCodeBeforeZeroAbovePipe", -3, "BCDA", 18},
                                           TickCase{"PAAtZeroOnPipeStart", 0, "PA", 25},
                                           TickCase{"HAAtFiveByDistance", 5, "HA", 50},
                                           TickCase{"PEInEndZoneOnPipeEnd", 47, "PE", 300},
                                           TickCase{"PEBeforeEndZoneByDistance", 44, "PE", 245},
                                           TickCase{"EHInEndZoneBelowPipe", 50, "EH", 307},
                                           TickCase{"BCEAInEndZoneBelowPipe", 55, "BCEA", 307},
                                           TickCase{"BCEABeforeEndZoneByDistance", 11, "BCEA", 80},
                                           TickCase{"CodesCompareExactly", 0, "bcda", 25},
                                           TickCase{"NegativeDistanceStaysOnPipe", -20, "BAB", 25},
                                           TickCase{"DistancePastTheEndStaysOnPipe", 5000, "BAB",
                                                    300}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(StructureGraphicLayout, NoTickAbovePipeEndAfterEndCode) {
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 55, {{50, "PE"}, {10, "BAB"}, {20, "PA"}, {0, "BCDA"}}));
    ASSERT_EQ(layout.Rows.size(), 4u);
    EXPECT_EQ(layout.Rows[0].TickY, 300);
    EXPECT_EQ(layout.Rows[1].TickY, 300);
    EXPECT_EQ(layout.Rows[2].TickY, 300);
    EXPECT_EQ(layout.Rows[3].TickY, 18) << "a start code keeps its own place";
}

TEST(StructureGraphicLayout, TickNeverAbove15) {
    TGraphicStyle style = MakeStyle();
    style.TitleTop = 0;
    style.TitleHeight = 4; // y0 = 5
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 55, {{0, "BCDA"}, {-10, "BAB"}, {0, "PA"}}), style);
    ASSERT_EQ(layout.Y0, 5);
    for (const TObservationRow& row : layout.Rows) {
        EXPECT_EQ(row.TickY, 15);
    }
}

TEST(StructureGraphicLayout, CloseObservationsKeepTheirTicksAndPushRowsDown) {
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 55, {{20, "BAB"}, {20.1, "BAB"}, {20.2, "BAB"}}));
    const int h = layout.LineHeight;
    ASSERT_EQ(layout.Rows.size(), 3u);
    EXPECT_EQ(layout.Rows[0].TickY, 125);
    EXPECT_EQ(layout.Rows[1].TickY, 126);
    EXPECT_EQ(layout.Rows[2].TickY, 126);
    EXPECT_EQ(layout.Rows[1].RowTop, layout.Rows[0].RowTop + h + 1);
    EXPECT_EQ(layout.Rows[2].RowTop, layout.Rows[1].RowTop + h + 1);
    // The leaders slope down to their rows.
    EXPECT_GT(layout.Rows[2].LeaderEnd.y(), layout.Rows[2].LeaderStart.y());
}

struct SymbolCase {
    const char* Name;
    char ObjectType;
    bool Direction;
    const char* Code;
    TTopSymbol Top;
    TBottomSymbol Bottom;
};

class EndSymbolTest : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(EndSymbolTest, ChoosesSymbolsByTypeDirectionAndCodes) {
    const SymbolCase& c = GetParam();
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 20, {{3, "BAB"}, {8, c.Code}}, c.ObjectType, c.Direction));
    EXPECT_EQ(layout.Top, c.Top);
    EXPECT_EQ(layout.Bottom, c.Bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Structures, EndSymbolTest,
    ::testing::Values(SymbolCase{"ReachAgainstFlow", 'H', false, "BAB", TTopSymbol::ManholeCircle,
                                 TBottomSymbol::ManholeCircle},
                      SymbolCase{"ReachWithFlow", 'H', true, "BAB", TTopSymbol::ManholeCircle,
                                 TBottomSymbol::ManholeCircle},
                      SymbolCase{"ConnectionWithFlow", 'A', true, "BAB", TTopSymbol::ManholeCircle,
                                 TBottomSymbol::None},
                      SymbolCase{"ConnectionAgainstFlow", 'A', false, "BAB", TTopSymbol::PipeStub,
                                 TBottomSymbol::None},
                      SymbolCase{"AbortedReach", 'H', false, "IA", TTopSymbol::ManholeCircle,
                                 TBottomSymbol::AbortBar},
                      SymbolCase{"AbortedConnection", 'A', false, "IAB", TTopSymbol::PipeStub,
                                 TBottomSymbol::AbortBar},
                      SymbolCase{"AbortCodesCompareExactly", 'H', false, "IAX",
                                 TTopSymbol::ManholeCircle, TBottomSymbol::ManholeCircle}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(StructureGraphicLayout, WideManholeNumbersMoveThePipeAndWidenTheBitmap) {
    const TGraphicStyle style = MakeStyle();
    const TTextMeasure bitmapText(style.BitmapFont);
    TReachData reach = MakeStructure(0, 20, {});
    reach.StartManholeNumber = "S";
    reach.EndManholeNumber = "E";
    TStructureGraphicLayout layout = Layout(reach, style);
    EXPECT_EQ(layout.PipeX, 55);
    EXPECT_EQ(layout.Width, 100);

    reach.EndManholeNumber = "SCH-4711-0815/A";
    const int wide = bitmapText.Width(reach.EndManholeNumber);
    ASSERT_GT(wide, 35);
    layout = Layout(reach, style);
    EXPECT_EQ(layout.PipeX, wide + 20);
    EXPECT_EQ(layout.Width, wide + 65);
    EXPECT_EQ(layout.DistanceColumn, layout.Width + 11);
}

TEST(StructureGraphicLayout, ColumnsFollowTitleAndClientWidth) {
    const TGraphicStyle style = MakeStyle(640, 330);
    const TTextMeasure labels(style.LabelFont);
    const TStructureGraphicLayout layout = Layout(
        MakeStructure(0, 20, {{3, "BAB", 0, "x", "00:01:02"}, {5, "BAB", 0, "y", "01:11:12"}}),
        style);
    EXPECT_EQ(layout.DistanceColumn, 111);
    EXPECT_EQ(layout.DescriptionColumn, 160);
    const int maxTime = std::max(labels.Width("00:01:02"), labels.Width("01:11:12"));
    EXPECT_EQ(layout.TimeColumn, 640 - maxTime - 10);
}

TEST(StructureGraphicLayout, LabelsCarryFormattedTextsAndClassColours) {
    TGraphicOptions options = MakeOptions();
    options.LengthFormat = "0.00";
    options.LengthUnit = "ft";
    const std::string longText(300, 'W');
    const TStructureGraphicLayout layout =
        LayoutStructureGraphic(MakeStructure(0, 20,
                                             {{3.456, "BAB", 0, "(BAB) kurz", "00:00:05"},
                                              {7, "BAB", 2, longText, "00:00:09"},
                                              {9, "BAB", 9, "(X) y", "00:00:10"},
                                              {11, "BAB", -4, "(X) z", "00:00:11"},
                                              {12, "BAB", INT_MAX, "(X) z", "00:00:12"},
                                              {13, "BAB", INT_MIN, "(X) z", "00:00:13"}}),
                               MakeStyle(), options);
    ASSERT_EQ(layout.Rows.size(), 6u);
    EXPECT_EQ(layout.Rows[0].Distance.Text, "3.46 ft");
    EXPECT_EQ(layout.Rows[0].Description.Text, "(BAB) kurz");
    EXPECT_EQ(layout.Rows[0].Time.Text, "00:00:05");
    EXPECT_EQ(layout.Rows[1].Description.Hint, longText);
    EXPECT_EQ(layout.Rows[1].Description.Text.substr(layout.Rows[1].Description.Text.size() - 3),
              "...");
    EXPECT_LE(layout.Rows[1].Description.Rect.right(), layout.TimeColumn);

    // Class 0 stays blue even when colour 0 of the table is set; classes above the table
    // take its highest colour, below zero count as none.
    const uint32_t expected[] = {DefaultObservationColor,      options.DefectClassColors[2],
                                 options.DefectClassColors[5], DefaultObservationColor,
                                 options.DefectClassColors[5], DefaultObservationColor};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(layout.Rows[i].Color, expected[i]) << i;
    }
}

// Structures the data sources should never deliver, and windows of any size: the layout
// stays finite, ordered and free of overlaps.
struct OddCase {
    const char* Name;
    TReachData Structure;
    int ClientWidth;
    int ClientHeight;
};

std::vector<ObservationInput> ManyObservations(size_t count, double length) {
    std::vector<ObservationInput> inputs;
    for (size_t i = 0; i < count; ++i) {
        inputs.push_back({length * double(i % 97) / 97.0, i % 13 == 0 ? "BCDA" : "BAB",
                          int32_t(i % 9) - 2, "(BAB) Beobachtung " + std::to_string(i),
                          "00:00:01"});
    }
    return inputs;
}

std::vector<OddCase> OddCases() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    return {
        {"NoObservations", MakeStructure(0, 40, {}), 600, 330},
        {"NoLength", MakeStructure(12, 12, {{12, "BAB"}, {0, "BCDA"}, {30, "PE"}}), 600, 330},
        {"ReversedRange", MakeStructure(40, 0, {{10, "BAB"}, {30, "BAB"}, {45, "EH"}}), 600, 330},
        {"DistancesOutOfRange",
         MakeStructure(0, 40, {{-1e9, "BAB"}, {1e12, "BAB"}, {1e300, "BCEA"}, {-1e300, "PA"}}), 600,
         330},
        {"NotANumber", MakeStructure(0, 40, {{nan, "BAB"}, {inf, "BAB"}, {-inf, "BCDA"}}), 600,
         330},
        {"EndlessLength", MakeStructure(0, inf, {{1, "BAB"}, {2, "PE"}}), 600, 330},
        {"UndefinedRange", MakeStructure(nan, nan, {{1, "BAB"}}), 600, 330},
        {"TinyWindow", MakeStructure(0, 40, {{5, "BAB"}, {35, "BAB"}}), 0, 0},
        {"NegativeWindow", MakeStructure(0, 40, {{5, "BAB"}}), -200, -200},
        {"NarrowWindow", MakeStructure(0, 40, {{5, "BAB"}, {6, "BAB"}}), 120, 330},
        {"HugeDistanceTexts", MakeStructure(0, 1e7, {{9876543.21, "BAB"}, {1e7, "BAB"}}), 600, 330},
        {"ThousandsOfObservations", MakeStructure(0, 120, ManyObservations(3000, 120)), 600, 330},
    };
}

class OddStructureTest : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddStructureTest, LayoutStaysOrderedAndFreeOfOverlaps) {
    const OddCase& c = GetParam();
    const TStructureGraphicLayout layout =
        Layout(c.Structure, MakeStyle(c.ClientWidth, c.ClientHeight));
    const int h = layout.LineHeight;
    const size_t n = c.Structure.Details.size();

    EXPECT_GE(layout.Y1 - layout.Y0, MinimumPipeLength);
    EXPECT_GE(layout.RowScale, layout.Y1);
    EXPECT_GE(layout.Width, 100);
    EXPECT_EQ(layout.InitialHeight, layout.Y1 + 15);
    EXPECT_GE(layout.Height, layout.InitialHeight);
    // Rows never need more room than the pipe's end plus one line per observation.
    EXPECT_LE(layout.Height, layout.Y1 + 15 + (h + 1) * int(n + 1));
    ASSERT_EQ(layout.Rows.size(), n);

    int previousBottom = layout.Y0 - 1;
    for (const TObservationRow& row : layout.Rows) {
        SCOPED_TRACE(row.DetailIndex);
        EXPECT_GE(row.TickY, 15);
        EXPECT_GE(row.TickY, layout.Y0 - 7);
        EXPECT_LE(row.TickY, layout.Y1 + 7);
        EXPECT_GT(row.RowTop, previousBottom) << "rows overlap";
        previousBottom = row.Distance.Rect.bottom();
        EXPECT_LE(row.LeaderEnd.y(), layout.Height);
        EXPECT_EQ(row.LeaderEnd.x(), layout.Width - 1);
        // Left to right: bitmap, distance, description, time, never over each other.
        EXPECT_GE(row.Distance.Rect.left(), layout.Width);
        EXPECT_LT(row.Distance.Rect.right(), row.Description.Rect.left());
        EXPECT_LE(row.Description.Rect.right(), row.Time.Rect.left());
        EXPECT_TRUE(row.Color == DefaultObservationColor ||
                    std::find(MakeOptions().DefectClassColors.begin(),
                              MakeOptions().DefectClassColors.end(),
                              row.Color) != MakeOptions().DefectClassColors.end());
    }
}

INSTANTIATE_TEST_SUITE_P(Structures, OddStructureTest, ::testing::ValuesIn(OddCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(StructureGraphicLayout, ManyObservationsMakeThePipeAsLongAsItsRows) {
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 120, ManyObservations(3000, 120)));
    EXPECT_EQ(layout.Y1, 3000 * (layout.LineHeight + 1));
}

TEST(StructureGraphicLayout, LowScrollBoxStillGetsAPipe) {
    const TStructureGraphicLayout layout =
        Layout(MakeStructure(0, 40, {{20, "BAB"}}), MakeStyle(600, 20));
    EXPECT_EQ(layout.Y1, layout.Y0 + MinimumPipeLength);
    EXPECT_EQ(layout.Rows[0].TickY, layout.Y0 + MinimumPipeLength / 2);
}

} // namespace
} // namespace kanvio
