// The main window's logic without a window: menu captions from the label rows, the
// information panel's values, window placement, control layout and the start-up choice.

#include "core/KanvioDataModel.h"
#include "foundation/RegistryManager.h"
#include "tests/support/IsolatedEnvironment.h"
#include "ui/BaseRescalableForm.h"
#include "ui/MainFormLayout.h"
#include "ui/StructureLabels.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

// Tests that only need the settings store of their own.
class MainFormStore : public test::IsolatedTest {};

// The label table as the player builds it: row 0 empty, rows 1..10 named fields.
TAInspectionInfo LabelTable() {
    const char* names[] = {"",
                           "city",
                           "date",
                           "street",
                           "ReachNumber",
                           "ConnectionNumber",
                           "StartManholeNumber",
                           "EndManholeNumber",
                           "video",
                           "DirectionTxt",
                           "ConnectionInfo"};
    TAInspectionInfo table;
    for (const char* name : names) {
        table.push_back({name, {}});
    }
    return table;
}

TReachData Structure(char type, bool direction) {
    TReachData s;
    s.ObjectType = type;
    s.direction = direction;
    s.city = "K\xF6ln"; // Windows-1252 bytes stay as they are
    s.date = "01.02.2003";
    s.street = "Ringstra\xDF"
               "e";
    s.ReachNumber = "R7";
    s.ConnectionNumber = "A12";
    s.StartManholeNumber = "S1";
    s.EndManholeNumber = "S2";
    s.video = "V9";
    return s;
}

struct CaptionCase {
    const char* Name;
    TStructureKind Kind;
    TLabelRows Rows;
    uint8_t Mode;
    bool Direction;
    std::string Expected;
};

void PrintTo(const CaptionCase& c, std::ostream* out) {
    *out << c.Name;
}

class MenuCaption : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(MenuCaption, ShowsTheChosenRows) {
    const CaptionCase& c = GetParam();
    const TReachData s = Structure(c.Kind == TStructureKind::Reach ? 'H' : 'A', c.Direction);
    EXPECT_EQ(StructureMenuCaption(s, c.Kind, LabelTable(), c.Rows, c.Mode), c.Expected);
}

using K = TStructureKind;
INSTANTIATE_TEST_SUITE_P(
    Rows, MenuCaption,
    ::testing::Values(
        CaptionCase{"Defaults",
                    K::Reach,
                    {1, 2, 3, 4, 5},
                    0,
                    false,
                    "K\xF6ln   01.02.2003   Ringstra\xDF"
                    "e   R7   A12   "},
        CaptionCase{"ReachNumberOnly", K::Reach, {4, 0, 3, 2, 1}, 0, false, "R7   "},
        CaptionCase{"FirstRowZero", K::Reach, {0, 1, 2, 3, 4}, 0, false, ""},
        CaptionCase{"NegativeEnds", K::Reach, {8, -1, 1, 1, 1}, 0, false, "V9   "},
        CaptionCase{"ReachRowTenIsNoField", K::Reach, {10, 0, 0, 0, 0}, 0, false, "<none>   "},
        CaptionCase{
            "AboveTableSkipped", K::Reach, {11, 4, 2147483647, 6, 0}, 0, false, "R7   S1   "},
        CaptionCase{"ManholesAndDirection", K::Reach, {6, 7, 0, 0, 0}, 0, true, "S1   S2   "},
        CaptionCase{"ConnectionNumberMode0", K::Connection, {10, 0, 0, 0, 0}, 0, false, "A12"},
        CaptionCase{"EndManholeMode1", K::Connection, {10, 0, 0, 0, 0}, 1, true, "S2"},
        CaptionCase{"AgainstFlowMode2", K::Connection, {10, 0, 0, 0, 0}, 2, false, "S2"},
        CaptionCase{"WithFlowMode2", K::Connection, {10, 0, 0, 0, 0}, 2, true, "S1"},
        CaptionCase{"ConnectionTextMidCaption",
                    K::Connection,
                    {4, 10, 1, 0, 0},
                    0,
                    false,
                    "R7   A12K\xF6ln   "},
        CaptionCase{"UnknownModeShowsNumber", K::Connection, {10, 0, 0, 0, 0}, 7, true, "A12"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MenuCaptionTable, ShortLabelTableNeverIndexedPast) {
    TAInspectionInfo table = LabelTable();
    table.resize(5); // rows 0..4 only
    const TReachData s = Structure('H', false);
    EXPECT_EQ(StructureMenuCaption(s, K::Reach, table, TLabelRows{4, 5, 10, 1, 0}, 0),
              "R7   K\xF6ln   ");
    EXPECT_EQ(StructureMenuCaption(s, K::Connection, {}, TLabelRows{1, 2, 3, 4, 5}, 0), "");
}

TEST_F(MainFormStore, LabelRowsDefaultToTheirPositionAndFollowTheStore) {
    EXPECT_EQ(ReadLabelRows(K::Reach), (TLabelRows{1, 2, 3, 4, 5}));
    EXPECT_EQ(ReadLabelRows(K::Connection), (TLabelRows{1, 2, 3, 4, 5}));
    WriteRegInteger("", "LabelH1", 4);
    WriteRegInteger("", "LabelH2", 0);
    WriteRegInteger("", "LabelA5", 10);
    EXPECT_EQ(ReadLabelRows(K::Reach), (TLabelRows{4, 0, 3, 4, 5}));
    EXPECT_EQ(ReadLabelRows(K::Connection), (TLabelRows{1, 2, 3, 4, 10}));
}

// The single window with graph reads on past the fifth row while rows are stored; with
// nothing stored its sixth default, 0, ends the list at five.
TEST_F(MainFormStore, OpenEndedLabelRowsReadOnWhileRowsAreStored) {
    EXPECT_EQ(ReadOpenEndedLabelRows(K::Reach), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    WriteRegInteger("", "LabelH6", 8);
    WriteRegInteger("", "LabelH7", 9);
    WriteRegInteger("", "LabelH8", 0);
    EXPECT_EQ(ReadOpenEndedLabelRows(K::Reach), (std::vector<int32_t>{1, 2, 3, 4, 5, 8, 9}));
    WriteRegInteger("", "LabelA2", -1);
    EXPECT_EQ(ReadOpenEndedLabelRows(K::Connection), (std::vector<int32_t>{1}));
    // A stored sixth row continues with the defaults 1..5 of the seventh to eleventh.
    WriteRegInteger("", "LabelA6", 10);
    WriteRegInteger("", "LabelA2", 2);
    EXPECT_EQ(ReadOpenEndedLabelRows(K::Connection),
              (std::vector<int32_t>{1, 2, 3, 4, 5, 10, 1, 2, 3, 4, 5}));
}

TEST(LengthText, GeneralFormatWithTheSeparator) {
    struct Case {
        double Start, End;
        char Separator;
        const char* Expected;
    };
    const Case cases[] = {
        {0, 2000, ',', "2000"}, {1.5, 55.25, ',', "53,75"}, {10, 10, '.', "0"},
        {0.1, 0.3, '.', "0.2"}, // 15 digits hide the binary rest
        {5, 2, '.', "-3"},      {0, 1e20, '.', "1E+20"},    {-0.0, 0.0, '.', "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LengthText(c.Start, c.End, c.Separator), c.Expected) << c.Start << ".." << c.End;
    }
}

TEST(ToggleManholes, ReachAgainstFlowAndConnectionWithFlow) {
    EXPECT_TRUE(CanToggleManholes(Structure('H', false)));
    EXPECT_FALSE(CanToggleManholes(Structure('H', true)));
    EXPECT_TRUE(CanToggleManholes(Structure('A', true)));
    EXPECT_FALSE(CanToggleManholes(Structure('A', false)));
    EXPECT_FALSE(CanToggleManholes(Structure('X', true)));
}

TEST(MainFormPlacement, BeyondTheScreenComesBack) {
    struct Case {
        TFormGeometry Stored;
        int ScreenWidth, ScreenHeight;
        TFormGeometry Expected;
    };
    const Case cases[] = {
        {{0, 0, 400, 500}, 1024, 768, {0, 0, 400, 500}},
        {{1024, 768, 400, 500}, 1024, 768, {1024, 768, 400, 500}}, // on the edge stays
        {{1025, 10, 400, 500}, 1024, 768, {994, 10, 400, 500}},
        {{10, 769, 400, 500}, 1024, 768, {10, 738, 400, 500}},
        {{5000, 5000, 1, 1}, 800, 600, {770, 570, 1, 1}},
        {{-200, -50, 400, 500}, 800, 600, {-200, -50, 400, 500}},
    };
    for (const Case& c : cases) {
        const TFormGeometry placed = PlaceMainFormOnScreen(c.Stored, c.ScreenWidth, c.ScreenHeight);
        EXPECT_EQ(placed.Left, c.Expected.Left);
        EXPECT_EQ(placed.Top, c.Expected.Top);
        EXPECT_EQ(placed.Width, c.Expected.Width);
        EXPECT_EQ(placed.Height, c.Expected.Height);
    }
}

TEST_F(MainFormStore, MainFormGeometryRoundTripsThroughTheStore) {
    const TFormGeometry defaults = ReadMainFormGeometry();
    EXPECT_EQ(defaults.Left, 0);
    EXPECT_EQ(defaults.Top, 0);
    EXPECT_EQ(defaults.Width, 400);
    EXPECT_EQ(defaults.Height, 500);
    WriteMainFormGeometry({-12, 34, 567, 890});
    const TFormGeometry read = ReadMainFormGeometry();
    EXPECT_EQ(read.Left, -12);
    EXPECT_EQ(read.Top, 34);
    EXPECT_EQ(read.Width, 567);
    EXPECT_EQ(read.Height, 890);
}

TEST(MainFormLayout, ColumnsFollowTheLabelWidths) {
    // Client 484 x 431 as designed; caption widths 40, 30, 50.
    const TMainFormLayout layout = ComputeMainFormLayout(484, 431, 105, {40, 30, 50});
    EXPECT_EQ(layout.InfoPanel, (TRect{8, 8, 468, 105}));
    EXPECT_EQ(layout.ScrollBox, (TRect{8, 121, 468, 302}));
    EXPECT_EQ(layout.EditWidth, (468 - 40 - 30 - 50 - 56) / 3);
    const int e = layout.EditWidth;
    EXPECT_EQ(layout.Columns[0], (TInfoColumn{8, 56}));
    EXPECT_EQ(layout.Columns[1], (TInfoColumn{40 + e + 24, 40 + e + 24 + 38}));
    EXPECT_EQ(layout.Columns[2].LabelLeft, layout.Columns[1].EditLeft + e + 8);
    EXPECT_EQ(layout.Columns[2].EditLeft, layout.Columns[2].LabelLeft + 58);
}

TEST(MainFormLayout, TinyWindowNeverGivesNegativeSizes) {
    for (const int width : {0, 10, 100}) {
        for (const int height : {0, 50, 128}) {
            const TMainFormLayout layout = ComputeMainFormLayout(width, height, 105, {60, 60, 60});
            EXPECT_GE(layout.InfoPanel.Width, 0);
            EXPECT_GE(layout.ScrollBox.Width, 0);
            EXPECT_GE(layout.ScrollBox.Height, 0);
            EXPECT_GE(layout.EditWidth, 0);
        }
    }
}

TEST(StartChoice, KeysAreComparedExactly) {
    using Kind = TStartChoice::TKind;
    struct Case {
        std::vector<std::string> Arguments;
        Kind Expected;
        std::string Name, Time;
    };
    const Case cases[] = {
        {{}, Kind::FirstStructure, "", ""},
        {{"/H", "4711"}, Kind::Reach, "4711", ""},
        {{"/A", "12"}, Kind::Connection, "12", ""},
        {{"/h", "4711"}, Kind::Film, "/h", "4711"},
        {{"/H"}, Kind::FirstStructure, "", ""},
        {{"/A", ""}, Kind::FirstStructure, "", ""},
        {{"film1.mpg", "00:01:02"}, Kind::Film, "film1.mpg", "00:01:02"},
        {{"film1.mpg"}, Kind::Film, "film1.mpg", ""},
        {{"/H", "1", "extra"}, Kind::Reach, "1", ""},
    };
    for (const Case& c : cases) {
        const TStartChoice choice = ParseStartChoice(c.Arguments);
        EXPECT_EQ(choice.Kind, c.Expected) << ::testing::PrintToString(c.Arguments);
        EXPECT_EQ(choice.Name, c.Name);
        EXPECT_EQ(choice.Time, c.Time);
    }
}

TEST(RescaledDesignSize, OnlyWhatQtLeavesUnscaledIsApplied) {
    struct Case {
        double Dpi, Ratio;
        QSize Expected;
    };
    const QSize design(484, 431);
    const Case cases[] = {
        {96, 1.0, design},                             // ordinary screen
        {192, 2.0, design},                            // Qt scales the whole way
        {120, 1.25, design},                           // fractional scaling by Qt
        {144, 1.0, QSize(726, 646)},                   // scaling switched off: 1.5
        {120, 1.0, QSize(605, 538)},                   // 484 * 120 / 96 = 605, 538.75 truncated
        {192, 1.0, QSize(968, 862)}, {0, 1.0, design}, // a screen that reports nothing
        {96, 0.0, design},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RescaledDesignSize(design, c.Dpi, c.Ratio), c.Expected)
            << c.Dpi << " dpi, ratio " << c.Ratio;
    }
}

} // namespace
} // namespace kanvio
