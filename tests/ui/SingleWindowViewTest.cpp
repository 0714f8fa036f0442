// The single window of layouts 1 and 2 as the user sees it: the video keeps the film's
// aspect in every size, the decoder lists edited there reach its engine, the list of
// layout 2 shows the delivery's texts, numbers and colours as the graphic does, and the
// control panel's tool bar keeps its place and order.

#include "foundation/AnsiText.h"
#include "tests/ui/SingleWindowTestFixture.h"
#include "tools/mkproject/FilmMaker.h"
#include "ui/DefectClassForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/SettingsCommands.h"
#include "ui/SteeringForm.h"
#include "ui/StructureGraphicText.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureTreeText.h"
#include "video/CodecSettings.h"
#include "video/CodecSettingsForm.h"
#include "video/EmbeddedVideo.h"
#include "video/VideoDisplayWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kanvio::test {
namespace {

class SingleWindowTest : public SingleWindowFixture {
protected:
    // The picture as the display paints it: in the film's shape, centred, filling one side,
    // black bars around it.
    void ExpectShapeKept(const QSize& pixels, const QSizeF& shape, const std::string& state) {
        SCOPED_TRACE(state);
        TVideoDisplayWidget& display = *form->VideoWindow();
        ASSERT_TRUE(WaitUntil([&] { return !display.Frame().isNull(); })) << "no frame shown";
        ASSERT_EQ(display.Frame().size(), pixels);
        const QSize area = display.size();
        const QRect picture = display.PictureRect();
        ASSERT_FALSE(picture.isEmpty());
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(picture));
        EXPECT_TRUE(picture.width() == area.width() || picture.height() == area.height())
            << picture.width() << "x" << picture.height() << " in " << area.width() << "x"
            << area.height();
        // Within the rounding of both sides.
        const double ratio = shape.width() / shape.height();
        EXPECT_NEAR(picture.width(), picture.height() * ratio, 1.0 + ratio)
            << picture.width() << "x" << picture.height();
        EXPECT_LE(std::abs(2 * picture.left() + picture.width() - area.width()), 1);
        EXPECT_LE(std::abs(2 * picture.top() + picture.height() - area.height()), 1);

        const QImage shown = display.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), area);
        if (picture.left() > 0) {
            EXPECT_EQ(shown.pixel(picture.left() / 2, area.height() / 2), qRgb(0, 0, 0));
        }
        if (picture.top() > 0) {
            EXPECT_EQ(shown.pixel(area.width() / 2, picture.top() / 2), qRgb(0, 0, 0));
        }
        const QImage expected =
            display.Frame().scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(MeanDifference(shown.copy(picture), expected), 16.0);
    }

    void ExpectShapeKeptInEverySize(const QSize& pixels, const QSizeF& shape) {
        form->ApplyScreenSize({1280, 1024});
        ExpectShapeKept(pixels, shape, "normal");
        form->ZoomBtnClick();
        ExpectShapeKept(pixels, shape, "enlarged");
        form->ZoomBtnClick();
        form->ToggleFullScreen();
        ASSERT_TRUE(form->IsFullScreen());
        ExpectShapeKept(pixels, shape, "full screen");
        form->ToggleFullScreen();
        ExpectShapeKept(pixels, shape, "back from full screen");
    }
};

TEST_F(SingleWindowTest, VideoKeepsTheAspectOfAFilmOfTheWindowsShape) {
    Open(1);
    ExpectShapeKeptInEverySize({352, 288}, {352, 288});
}

TEST_F(SingleWindowTest, VideoKeepsTheAspectOfAWideFilm) {
    generator::TFilmRequest wide;
    wide.FileName = (projectFolder() / "f1.mpg").string();
    wide.Seconds = 4.0;
    wide.Width = 640;
    wide.Height = 360;
    wide.Label = "wide";
    generator::MakeFilm(wide);
    Open(2);
    ExpectShapeKeptInEverySize({640, 360}, {640, 360});
}

// A camera's film may count 352x288 pixels for a 16:9 screen: its pixels are wider than
// high, and the picture is shown 16:9.
void MakeFilmOfWidePixels(const std::filesystem::path& file) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-hide_banner", "-nostdin", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
                  "testsrc2=size=352x288:rate=25:duration=4", "-an", "-c:v", "mpeg2video", "-g",
                  "12", "-aspect", "16:9", "-f", "vob", QString::fromStdString(file.string())});
    ASSERT_TRUE(ffmpeg.waitForFinished(120000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAllStandardError().toStdString();
}

TEST_F(SingleWindowTest, VideoShowsAFilmOfWidePixelsInTheShapeItWasMadeFor) {
    ASSERT_NO_FATAL_FAILURE(MakeFilmOfWidePixels(projectFolder() / "f1.mpg"));
    Open(1);
    ExpectShapeKeptInEverySize({352, 288}, {16, 9});
    EXPECT_NEAR(form->VideoWindow()->PixelAspect(), 16.0 / 11.0, 1e-9);
}

TEST_F(SingleWindowTest, VideoWindowOfThreeWindowsShowsWidePixelsInTheirShapeToo) {
    ASSERT_NO_FATAL_FAILURE(MakeFilmOfWidePixels(projectFolder() / "f1.mpg"));
    StartPlayer();
    context->SeekDetail(-1);
    TVideoDisplayWidget& display = *screen().VideoWindow();
    screen().resize(640, 480);
    ASSERT_TRUE(WaitUntil([&] { return !display.Frame().isNull(); })) << "no frame shown";
    EXPECT_EQ(display.PictureRect(), QRect(0, 60, 640, 360));
}

TEST(VideoDisplayShapeTest, PixelsOfAnyShapeBecomeTheScreenShapeOfTheFilm) {
    struct Case {
        QSize pixels;
        double pixelAspect;
        QSize shape;
    };
    const Case cases[] = {
        {{352, 288}, 1.0, {352, 288}},
        {{352, 288}, 16.0 / 11.0, {512, 288}}, // 16:9
        {{720, 576}, 16.0 / 15.0, {768, 576}}, // 4:3
        {{720, 576}, 0.5, {720, 1152}},        // narrow pixels make the picture higher
        {{352, 288}, 0.0, {352, 288}},         // no ratio known: square
        {{352, 288}, -2.0, {352, 288}},
        {{352, 288}, std::nan(""), {352, 288}},
        {{352, 288}, std::numeric_limits<double>::infinity(), {352, 288}},
        {{0, 0}, 2.0, {0, 0}},
        {{10, 10}, 16.0, {160, 10}},
        {{10, 10}, 1.0 / 16.0, {10, 160}},
        {{10, 10}, 16.5, {10, 10}}, // beyond any camera: square
        {{10, 10}, 1e-9, {10, 10}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayShape(c.pixels, c.pixelAspect), c.shape)
            << c.pixels.width() << "x" << c.pixels.height() << " at " << c.pixelAspect;
    }

    // As painted: the frame of wide pixels fills the width of a 16:9 area.
    TVideoDisplayWidget display;
    display.resize(320, 180);
    QImage frame(352, 288, QImage::Format_RGB32);
    frame.fill(Qt::white);
    display.ShowFrame(frame);
    EXPECT_EQ(display.PictureRect(), QRect(50, 0, 220, 180)) << "square pixels";
    display.SetPixelAspect(16.0 / 11.0);
    EXPECT_EQ(display.PictureRect(), QRect(0, 0, 320, 180));
    display.SetSourceRect(QRect(88, 72, 176, 144)); // zoom 2: the same shape
    EXPECT_EQ(display.PictureRect(), QRect(0, 0, 320, 180));
}

class SingleWindowLayoutTest : public SingleWindowTest,
                               public ::testing::WithParamInterface<uint8_t> {};

TEST_P(SingleWindowLayoutTest, EditedDecoderListsReachTheEngine) {
    Open(GetParam());
    const TFilterLists before = form->EmbeddedVideo()->Engine()->PriorityLists();
    TFilterLists edited;
    form->Commands().Settings().SetDialogRunner([&](QDialog& dialog) {
        auto& codecs = dynamic_cast<TCodecSettingsForm&>(dialog);
        codecs.List(1)->setCurrentRow(0);
        codecs.RemoveClick(1);
        edited = codecs.GetLists();
        codecs.btnSaveClick();
        return codecs.result();
    });
    form->Menus()->miCodecSettings->trigger();
    ASSERT_NE(edited, before) << "the edit changed nothing";
    EXPECT_EQ(form->EmbeddedVideo()->Engine()->PriorityLists(), edited);
    EXPECT_EQ(GetFilterLists(false), edited) << "stored as shown";
}

INSTANTIATE_TEST_SUITE_P(Layouts, SingleWindowLayoutTest, ::testing::Values(uint8_t{1}, uint8_t{2}),
                         [](const auto& info) { return "layout" + std::to_string(info.param); });

TEST_F(SingleWindowTest, ListTakesTheNewColoursOfTheDefectClassDialog) {
    TReachData& reach = *context->Reaches.front();
    ASSERT_EQ(reach.Details.size(), 2u);
    reach.Details[0].DefectClass = 9;
    reach.Details[1].DefectClass = 3;
    Open(2);
    QTreeWidget& list = *form->lstStructures();
    QTreeWidgetItem* root = list.topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->isExpanded());
    list.setCurrentItem(root->child(1));
    const uint32_t blue = 0xFF0000; // a Windows colour value: blue in the high byte
    ASSERT_NE(context->GetDefectClassColor(3), blue);

    form->Commands().Settings().SetDialogRunner([](QDialog& dialog) {
        auto& classes = dynamic_cast<TDefectClassForm&>(dialog);
        classes.btClear()->click(); // every class blue
        classes.btSave()->click();
        return classes.result();
    });
    form->Menus()->miDefectClass->trigger();
    ASSERT_EQ(context->GetDefectClassColor(3), blue);
    ASSERT_EQ(list.topLevelItem(0), root) << "the list is recoloured, not rebuilt";
    EXPECT_EQ(root->child(1)->foreground(0).color(), QColor(0, 0, 255));
    EXPECT_EQ(root->child(0)->foreground(0), QBrush()) << "class 9 has no colour";
    EXPECT_EQ(list.currentItem(), root->child(1));
    EXPECT_TRUE(root->isExpanded());
}

TEST_F(SingleWindowTest, ListShowsTheWindowsCharactersOfTheDelivery) {
    TReachData& reach = *context->Reaches.front();
    reach.street = "\x84"
                   "Alte Gasse\x93";
    reach.Details[0].Text = "Schaden 5 \x80 \x96 \x84Riss\x93";
    Open(2);
    const QTreeWidgetItem* root = form->lstStructures()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    const QString row = root->text(0);
    const QString observation = root->child(0)->text(0);
    EXPECT_TRUE(row.contains(QString::fromUtf8("\u201EAlte Gasse\u201C"))) << row.toStdString();
    EXPECT_TRUE(observation.contains(QString::fromUtf8("Schaden 5 \u20AC \u2013 \u201ERiss\u201C")))
        << observation.toStdString();
    for (const QString& text : {row, observation}) {
        for (const QChar c : text) {
            EXPECT_FALSE(c.category() == QChar::Other_Control)
                << "U+" << std::hex << int(c.unicode());
        }
    }
}

// The list writes a distance as the structure graphic does, with the separators of the
// system's number format. Run in a child whose system writes decimal commas, so that a
// list writing points regardless shows.
TEST_F(SingleWindowTest, ListWritesDistancesWithTheGraphicsSeparators) {
    if (!qEnvironmentVariableIsSet("KANVIO_TEST_DECIMAL_COMMA")) {
        const ::testing::TestInfo& self = *::testing::UnitTest::GetInstance()->current_test_info();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "de_DE.UTF-8");
        environment.insert("KANVIO_TEST_DECIMAL_COMMA", "1");
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString("--gtest_filter=%1.%2").arg(self.test_suite_name(), self.name())});
        ASSERT_TRUE(child.waitForFinished(240000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
        return;
    }
    ASSERT_EQ(QLocale::system().decimalPoint(), QStringLiteral(","));
    context->LengthFormat = "#,##0.00";
    context->LengthUnit = "m";
    context->Reaches.front()->Details[0].Distance = 1234.5;
    context->Reaches.front()->Details[1].Distance = 7.5;
    Open(2);
    const QTreeWidgetItem* root = form->lstStructures()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    const TGraphicOptions graphic = GraphicOptionsOf(*context);
    const std::pair<int, const char*> rows[] = {{0, "1.234,50 m"}, {1, "7,50 m"}};
    for (const auto& [row, expected] : rows) {
        const std::string text = QStringToAnsi(root->child(row)->text(0));
        EXPECT_EQ(text.substr(0, std::string(expected).size()), expected) << text;
        const TReachDetail& detail = context->Reaches.front()->Details[size_t(row)];
        EXPECT_EQ(text.rfind(FormatFloat(graphic.LengthFormat, detail.Distance,
                                         graphic.DecimalSeparator, graphic.ThousandSeparator),
                             0),
                  0u)
            << text;
    }
}

TEST(StructureTreeTextTest, ObservationDistancesTakeTheSeparatorsGiven) {
    TReachDetail detail;
    detail.VideoTime = "00:00:05";
    struct Case {
        double distance;
        const char* format;
        char decimal;
        char thousand;
        const char* expected; // the distance column, 10 wide
    };
    const Case cases[] = {
        {12.345, "0.00", '.', ',', "12.35 m   "},
        {12.345, "0.00", ',', '.', "12,35 m   "},
        {1234.5, "#,##0.00", ',', '.', "1.234,50 m"},
        {1234.5, "#,##0.00", '.', ',', "1,234.50 m"},
        {0.0, "0.0", ',', '.', "0,0 m     "},
        {-3.24, "0.0", ',', '.', "-3,2 m    "},
        {123456.0, "#,##0.00", ',', '.', "123.456,00"}, // the unit falls off the column
    };
    for (const Case& c : cases) {
        detail.Distance = c.distance;
        EXPECT_EQ(ObservationRowText(detail, c.format, "m", c.decimal, c.thousand).substr(0, 10),
                  c.expected)
            << c.distance << " " << c.format;
    }
}

TEST_F(SingleWindowTest, ToolBarSitsMidwayBelowTheFilmNameAndShowsStopBeforePause) {
    Open(1);
    TPlayerControlsWidget& controls = *form->PlayerControls();
    const QWidget& bar = *controls.ToolBar();
    const QWidget& slot = *controls.CassSlot();
    const int bevelTop = controls.mapFrom(form->BedienPanel(), form->Bevel3()->pos()).y();
    EXPECT_EQ(bar.y(), (bevelTop + slot.y() + slot.height() - bar.height()) / 2);
    EXPECT_EQ(bar.y(), 66);

    const QWidget* separator = bar.findChild<QFrame*>("ToolBarSeparator");
    ASSERT_NE(separator, nullptr);
    const QWidget* order[] = {controls.OffButton(),
                              controls.PlayButton(),
                              controls.StopButton(),
                              controls.PauseButton(),
                              separator,
                              controls.SpEdtJump(),
                              controls.SkipBackButton(),
                              controls.SkipForwardButton(),
                              controls.CBxFastView()};
    for (size_t i = 0; i < std::size(order); ++i) {
        EXPECT_TRUE(order[i]->isVisibleTo(form.get())) << order[i]->objectName().toStdString();
        EXPECT_GE(order[i]->x(), 0);
        EXPECT_LE(order[i]->geometry().right(), bar.width() - 1)
            << order[i]->objectName().toStdString();
        if (i > 0) {
            EXPECT_EQ(order[i]->x(), order[i - 1]->geometry().right() + 1)
                << order[i - 1]->objectName().toStdString() << " then "
                << order[i]->objectName().toStdString();
        }
    }
}

TEST_F(SingleWindowTest, ControlWindowKeepsPauseBeforeStop) {
    StartPlayer();
    TPlayerControlsWidget& controls = *steering().Controls();
    EXPECT_LT(controls.PauseButton()->x(), controls.StopButton()->x());
    EXPECT_EQ(controls.ToolBar()->findChild<QFrame*>("ToolBarSeparator"), nullptr);
}

} // namespace
} // namespace kanvio::test
