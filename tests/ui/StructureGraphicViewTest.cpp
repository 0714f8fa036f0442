#include "ui/StructureGraphicView.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/ui/StructureGraphicTestSupport.h"
#include "ui/StructureGraphicText.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::MakeOptions;
using test::MakeStructure;
using test::StrongestColor;

class StructureGraphicViewTest : public test::IsolatedTest {
protected:
    StructureGraphicViewTest() {
        test::WriteFile(env.programFolder() / "lang_kanvio_de.ini",
                        "[Messages]\r\n_DistanceShort=Station\r\n_DescriptionShort=Zustand\r\n"
                        "_Video=Video\r\n");
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPixelSize(13);
        view.setFont(font);
        view.setFrameShape(QFrame::NoFrame);
        view.resize(600, 330);
        view.ApplyTexts();
        view.SetOptionsSource([] { return MakeOptions(); });
        view.SetObservationClickHandler([this](int index) { clicked.push_back(index); });
        view.show();
    }

    static void FreeRemovedLabels() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TStructureGraphicView view;
    std::vector<int> clicked;
};

TEST_F(StructureGraphicViewTest, CreatesThreeLabelsPerObservationWhereTheLayoutPutsThem) {
    const TReachData reach = MakeStructure(0, 55,
                                           {{11, "BAB", 0, "(BAB) Riss l\xE4ngs", "00:01:11"},
                                            {30, "BCA", 2, "(BCA) Anschluss", "00:02:30"},
                                            {50, "PE", 0, "(PE) Ende", "00:03:50"}});
    view.DrawStructureGraphic(&reach);

    const TStructureGraphicLayout& layout = view.Layout();
    EXPECT_EQ(layout.Y1, 300) << "the scroll box's client height decides the pipe's length";
    ASSERT_EQ(layout.Rows.size(), 3u);
    ASSERT_EQ(view.ObservationLabels().size(), 9u);
    for (size_t i = 0; i < 3; ++i) {
        const TObservationRow& row = layout.Rows[i];
        const TGraphicLabel* parts[] = {&row.Distance, &row.Description, &row.Time};
        for (size_t part = 0; part < 3; ++part) {
            SCOPED_TRACE(testing::Message() << "row " << i << " label " << part);
            const TObservationLabel* label = view.ObservationLabels()[3 * i + part];
            EXPECT_EQ(label->Tag(), int(i));
            EXPECT_EQ(label->geometry(), parts[part]->Rect);
            EXPECT_EQ(label->text(), AnsiToQString(parts[part]->Text));
            EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
            EXPECT_TRUE(label->isVisibleTo(view.Canvas()));
            EXPECT_EQ(label->toolTip().isEmpty(), part != 1);
        }
    }
    EXPECT_EQ(view.ObservationLabels()[1]->text(), QString::fromUtf8("(BAB) Riss längs"));
    EXPECT_EQ(view.ObservationLabels()[0]->text(), "11 m");
    EXPECT_EQ(view.DistanceTitle()->text(), "Station");
    EXPECT_EQ(view.DistanceTitle()->pos(), QPoint(layout.DistanceColumn, 8));
    EXPECT_EQ(view.DescriptionTitle()->pos(), QPoint(layout.DescriptionColumn, 8));
    EXPECT_EQ(view.TimeTitle()->pos(), QPoint(layout.TimeColumn, 8));
    EXPECT_EQ(view.Bitmap().size(), QSize(layout.Width, layout.Height));
}

bool Near(const QColor& seen, const QColor& expected, int tolerance) {
    return std::abs(seen.red() - expected.red()) <= tolerance &&
           std::abs(seen.green() - expected.green()) <= tolerance &&
           std::abs(seen.blue() - expected.blue()) <= tolerance;
}

TEST_F(StructureGraphicViewTest, LabelsShowTheirDefectClassColoursOnScreen) {
    const TReachData reach = MakeStructure(0, 40,
                                           {{5, "BAB", 0, "(A) WWWWWW", "00:00:05"},
                                            {15, "BAB", 1, "(B) WWWWWW", "00:00:15"},
                                            {25, "BAB", 4, "(C) WWWWWW", "00:00:25"},
                                            {35, "BAB", 12, "(D) WWWWWW", "00:00:35"}});
    view.DrawStructureGraphic(&reach);
    const QImage screen = view.Canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto colors = MakeOptions().DefectClassColors;
    const QColor expected[] = {QColor(Qt::blue), WindowsColorToQColor(colors[1]),
                               WindowsColorToQColor(colors[4]), WindowsColorToQColor(colors[5])};
    ASSERT_EQ(view.Layout().Rows.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const TObservationRow& row = view.Layout().Rows[i];
        for (const QRect& rect : {row.Distance.Rect, row.Description.Rect, row.Time.Rect}) {
            const QColor seen = StrongestColor(screen, rect);
            EXPECT_TRUE(Near(seen, expected[i], 60))
                << "row " << i << " at " << rect.x() << "," << rect.y() << " shows "
                << seen.name().toStdString() << " instead of " << expected[i].name().toStdString();
        }
    }
    // The bitmap sits at the top-left, black on white.
    EXPECT_EQ(QColor(screen.pixel(view.Layout().PipeX, (view.Layout().Y0 + 40))),
              QColor(Qt::white));
    EXPECT_EQ(QColor(screen.pixel(view.Layout().PipeX - 5, view.Layout().Y0 + 40)).lightness(), 0);
}

TEST_F(StructureGraphicViewTest, LeftClickOnAnyLabelReportsItsObservation) {
    const TReachData reach = MakeStructure(0, 20, {{2, "BAB"}, {9, "BAB"}, {14, "BAB"}});
    view.DrawStructureGraphic(&reach);
    const auto& labels = view.ObservationLabels();
    QTest::mouseClick(labels[4], Qt::LeftButton);  // description of observation 1
    QTest::mouseClick(labels[8], Qt::LeftButton);  // time of observation 2
    QTest::mouseClick(labels[0], Qt::RightButton); // no click
    QTest::mouseClick(labels[0], Qt::LeftButton);
    EXPECT_EQ(clicked, (std::vector<int>{1, 2, 0}));
}

TEST_F(StructureGraphicViewTest, RedrawReplacesTheLabelsOfThePreviousDrawing) {
    const TReachData first = MakeStructure(0, 20, {{2, "BAB"}, {9, "BAB"}, {14, "BAB"}});
    const TReachData second = MakeStructure(0, 80, {{40, "BAB"}});
    view.DrawStructureGraphic(&first);
    const std::vector<TObservationLabel*> old = view.ObservationLabels();
    view.DrawStructureGraphic(&second);
    ASSERT_EQ(view.ObservationLabels().size(), 3u);
    for (const TObservationLabel* label : view.ObservationLabels()) {
        EXPECT_EQ(std::count(old.begin(), old.end(), label), 0);
    }
    FreeRemovedLabels();
    EXPECT_EQ(view.Canvas()->findChildren<TObservationLabel*>().size(), 3);

    // An empty structure leaves no labels at all.
    const TReachData empty = MakeStructure(0, 80, {});
    view.DrawStructureGraphic(&empty);
    FreeRemovedLabels();
    EXPECT_TRUE(view.ObservationLabels().empty());
    EXPECT_TRUE(view.Canvas()->findChildren<TObservationLabel*>().empty());
}

TEST_F(StructureGraphicViewTest, WithoutAStructureTheDrawingStays) {
    const TReachData reach = MakeStructure(0, 20, {{2, "BAB"}});
    view.DrawStructureGraphic(&reach);
    const std::vector<TObservationLabel*> before = view.ObservationLabels();
    view.DrawStructureGraphic(nullptr);
    EXPECT_EQ(view.ObservationLabels(), before);
    EXPECT_FALSE(view.Painting());
}

TEST_F(StructureGraphicViewTest, RequestDuringADrawingReturnsAtOnce) {
    const TReachData outer = MakeStructure(0, 20, {{2, "BAB"}, {5, "BAB"}});
    const TReachData inner = MakeStructure(0, 20, {{7, "BAB"}});
    int drawings = 0;
    bool paintingSeen = false;
    view.SetOptionsSource([&] {
        ++drawings;
        paintingSeen = view.Painting();
        view.DrawStructureGraphic(&inner);
        return MakeOptions();
    });
    view.DrawStructureGraphic(&outer);
    EXPECT_EQ(drawings, 1);
    EXPECT_TRUE(paintingSeen);
    EXPECT_FALSE(view.Painting());
    EXPECT_EQ(view.ObservationLabels().size(), 6u);
}

TEST_F(StructureGraphicViewTest, ClickHandlerMayRedrawUnderTheClickedLabel) {
    const TReachData first = MakeStructure(0, 20, {{2, "BAB"}, {9, "BAB"}});
    const TReachData second = MakeStructure(0, 20, {{4, "BAB"}});
    view.SetObservationClickHandler([&](int index) {
        clicked.push_back(index);
        view.DrawStructureGraphic(&second);
    });
    view.DrawStructureGraphic(&first);
    QTest::mouseClick(view.ObservationLabels()[3], Qt::LeftButton);
    FreeRemovedLabels();
    EXPECT_EQ(clicked, std::vector<int>{1});
    EXPECT_EQ(view.ObservationLabels().size(), 3u);
}

TEST_F(StructureGraphicViewTest, DescriptionsThatLookLikeMarkupShowAsTyped) {
    const std::string text = "(BAB) <b>Riss</b> & <img src=x>";
    const TReachData reach = MakeStructure(0, 20, {{2, "BAB", 0, text}});
    view.DrawStructureGraphic(&reach);
    const TObservationLabel* description = view.ObservationLabels()[1];
    EXPECT_EQ(description->textFormat(), Qt::PlainText);
    EXPECT_EQ(description->text(), QString::fromStdString(text));
    EXPECT_TRUE(description->toolTip().contains("&lt;b&gt;Riss&lt;/b&gt; &amp;"));
}

TEST_F(StructureGraphicViewTest, RowsBelowTheScrollBoxMakeTheCanvasScroll) {
    std::vector<test::ObservationInput> many;
    for (int i = 0; i < 200; ++i) {
        many.push_back({double(i) / 10, "BAB", 0, "(BAB) Riss " + std::to_string(i)});
    }
    const TReachData reach = MakeStructure(0, 20, many);
    view.DrawStructureGraphic(&reach);
    const QRect last = view.ObservationLabels().back()->geometry();
    EXPECT_GE(view.Canvas()->height(), last.bottom() + 1);
    EXPECT_GE(view.Canvas()->width(), last.right() + 1);
    // The vertical scroll bar takes its width from the time column, not from its labels.
    EXPECT_LE(last.right(), 600 - 10);
    EXPECT_LT(view.Layout().TimeColumn, 600 - view.Layout().Rows.back().Time.Rect.width() - 10);
}

TEST_F(StructureGraphicViewTest, OptionsComeFromThePlayerContext) {
    TKanvioContext context(TContextServices{});
    context.LengthFormat = "0.000";
    context.LengthUnit = "ft";
    for (int i = 0; i < 6; ++i) {
        context.SetDefectClassColor(i, WindowsColor(uint8_t(i * 40), 0, 0));
    }
    const TGraphicOptions options = GraphicOptionsOf(context);
    EXPECT_EQ(options.LengthFormat, "0.000");
    EXPECT_EQ(options.LengthUnit, "ft");
    EXPECT_EQ(options.DefectClassColors[5], WindowsColor(200, 0, 0));
    EXPECT_EQ(options.DecimalSeparator, QStringToAnsi(QLocale::system().decimalPoint())[0]);

    view.SetOptionsSource([&] { return GraphicOptionsOf(context); });
    const TReachData reach = MakeStructure(0, 20, {{2.5, "BAB", 3}});
    view.DrawStructureGraphic(&reach);
    EXPECT_EQ(view.ObservationLabels()[0]->text().toStdString(),
              FormatFloat("0.000", 2.5, options.DecimalSeparator) + " ft");
    EXPECT_EQ(view.Layout().Rows[0].Color, WindowsColor(120, 0, 0));
}

} // namespace
} // namespace kanvio
