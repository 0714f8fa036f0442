#include "tests/ui/StructureGraphicTestSupport.h"
#include "ui/StructureGraphicRender.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::DarkPixels;
using test::MakeOptions;
using test::MakeStructure;
using test::MakeStyle;

struct Drawing {
    TStructureGraphicLayout Layout;
    QImage Image;
};

Drawing Draw(const TReachData& structure) {
    const TGraphicStyle style = MakeStyle();
    Drawing drawing{LayoutStructureGraphic(structure, style, MakeOptions()), {}};
    drawing.Image = RenderStructureBitmap(drawing.Layout, style.BitmapFont);
    return drawing;
}

TEST(StructureGraphicImage, PipeTicksAndLeadersAreBlackOnWhite) {
    const Drawing d = Draw(MakeStructure(0, 55, {{11, "BAB"}, {30, "BAB"}, {50, "PE"}}));
    const TStructureGraphicLayout& l = d.Layout;
    ASSERT_EQ(d.Image.size(), QSize(l.Width, l.Height));
    EXPECT_EQ(d.Image.format(), QImage::Format_RGB32);
    EXPECT_EQ(QColor(d.Image.pixel(l.Width - 1, 0)), QColor(Qt::white));

    const int middle = (l.Y0 + l.Y1) / 2;
    const int x = l.PipeX;
    EXPECT_GT(DarkPixels(d.Image, QRect(x - 6, middle, 3, 1)), 0) << "left wall";
    EXPECT_GT(DarkPixels(d.Image, QRect(x + 4, middle, 3, 1)), 0) << "right wall";
    EXPECT_EQ(DarkPixels(d.Image, QRect(x - 2, middle, 5, 1)), 0) << "inside the pipe";
    for (const TObservationRow& row : l.Rows) {
        SCOPED_TRACE(row.DetailIndex);
        // The tick, and the leader's end at the bitmap's right edge.
        EXPECT_GT(DarkPixels(d.Image, QRect(x + 14, row.TickY - 1, 3, 3)), 0);
        EXPECT_GT(DarkPixels(d.Image, QRect(l.Width - 3, row.LeaderEnd.y() - 2, 3, 4)), 0);
    }
    // Nothing to the right of the pipe outside ticks and leaders: above the first tick.
    EXPECT_EQ(DarkPixels(d.Image, QRect(x + 8, l.Y0, l.Width - x - 8, 40)), 0);
}

// Dark pixels of the arrow's head, away from its shaft, in the upper and lower parts.
std::pair<int, int> ArrowHeadPixels(const Drawing& d) {
    const int h = d.Layout.InitialHeight;
    const QRect upper(10, h / 3, 8, h / 12 + 1);
    const QRect lower(10, 7 * h / 12, 8, h / 12 + 1);
    return {DarkPixels(d.Image, upper), DarkPixels(d.Image, lower)};
}

TEST(StructureGraphicImage, ArrowPointsTheInspectionDirection) {
    const auto [upWith, downWith] = ArrowHeadPixels(Draw(MakeStructure(0, 20, {}, 'H', true)));
    EXPECT_EQ(upWith, 0);
    EXPECT_GT(downWith, 10);
    const auto [upAgainst, downAgainst] =
        ArrowHeadPixels(Draw(MakeStructure(0, 20, {}, 'H', false)));
    EXPECT_GT(upAgainst, 10);
    EXPECT_EQ(downAgainst, 0);
}

struct SymbolPixels {
    bool StubEdge;  // the stub's upper edge right of the pipe
    bool Circle;    // the manhole circle's top at the pipe's centre
    bool Bar;       // a bar under the pipe's end
    bool EndCircle; // the end manhole's bottom
};

SymbolPixels SymbolsOf(const Drawing& d) {
    const TStructureGraphicLayout& l = d.Layout;
    const int x = l.PipeX;
    return {DarkPixels(d.Image, QRect(x + 6, l.Y0 - 15, 2, 2)) > 0,
            DarkPixels(d.Image, QRect(x - 1, l.Y0 - 15, 3, 3)) > 0,
            DarkPixels(d.Image, QRect(x + 8, l.Y1 + 1, 2, 3)) > 0,
            DarkPixels(d.Image, QRect(x - 1, l.Y1 + 12, 3, 3)) > 0};
}

TEST(StructureGraphicImage, EndSymbolsShowInThePicture) {
    struct Case {
        const char* Name;
        char Type;
        bool Direction;
        const char* Code;
        SymbolPixels Expected;
    };
    const Case cases[] = {
        {"reach", 'H', false, "BAB", {false, true, false, true}},
        {"aborted reach", 'H', false, "IA", {false, true, true, false}},
        {"connection with the flow", 'A', true, "BAB", {false, true, false, false}},
        {"connection against the flow", 'A', false, "BAB", {true, true, false, false}},
        {"aborted connection", 'A', true, "IAB", {false, true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const SymbolPixels seen =
            SymbolsOf(Draw(MakeStructure(0, 20, {{5, c.Code}}, c.Type, c.Direction)));
        EXPECT_EQ(seen.StubEdge, c.Expected.StubEdge);
        EXPECT_EQ(seen.Circle, c.Expected.Circle);
        EXPECT_EQ(seen.Bar, c.Expected.Bar);
        EXPECT_EQ(seen.EndCircle, c.Expected.EndCircle);
    }
}

TEST(StructureGraphicImage, ManholeNumbersAreDrawnAtTheirEnds) {
    TReachData reach = MakeStructure(0, 20, {});
    const Drawing blank = Draw(reach);
    reach.StartManholeNumber = "S17";
    reach.EndManholeNumber = "S18";
    const Drawing named = Draw(reach);
    const QRect startText(5, named.Layout.Y0 - 14, 30, 13);
    const QRect endText(5, named.Layout.Y1, 30, 13);
    EXPECT_EQ(DarkPixels(blank.Image, startText), 0);
    EXPECT_EQ(DarkPixels(blank.Image, endText), 0);
    EXPECT_GT(DarkPixels(named.Image, startText), 5);
    EXPECT_GT(DarkPixels(named.Image, endText), 5);
}

TEST(StructureGraphicImage, RowsBelowThePipeGrowTheBitmapToTheirLeaders) {
    std::vector<test::ObservationInput> crowded;
    for (int i = 0; i < 12; ++i) {
        crowded.push_back({55, i == 0 ? "PE" : "BAB"});
    }
    const Drawing d = Draw(MakeStructure(0, 55, crowded));
    const TObservationRow& last = d.Layout.Rows.back();
    EXPECT_EQ(d.Layout.Height, last.LeaderEnd.y());
    EXPECT_GT(d.Layout.Height, d.Layout.InitialHeight);
    EXPECT_EQ(d.Image.height(), d.Layout.Height);
    EXPECT_GT(DarkPixels(d.Image, QRect(d.Layout.Width - 3, d.Layout.Height - 3, 3, 3)), 0);
}

TEST(StructureGraphicImage, HighDensityRenderingKeepsTheLogicalSize) {
    const TGraphicStyle style = MakeStyle();
    const TStructureGraphicLayout layout =
        LayoutStructureGraphic(MakeStructure(0, 20, {{5, "BAB"}}), style, MakeOptions());
    const QImage image = RenderStructureBitmap(layout, style.BitmapFont, 2.0);
    EXPECT_EQ(image.size(), QSize(2 * layout.Width, 2 * layout.Height));
    EXPECT_EQ(image.deviceIndependentSize().toSize(), QSize(layout.Width, layout.Height));
}

} // namespace
} // namespace kanvio
