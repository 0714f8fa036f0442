// Both renderer modes on a real X server (Xvfb): the picture that reaches the screen, and
// what the native sink of mode 1 refuses. The screen is read back from the X server, so
// the test sees what a user would see, whichever sink drew it.

#include "tests/video/VideoTestSupport.h"
#include "video/VideoDisplayWidget.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

constexpr QSize kFilmSize(352, 288); // the shared films; the display shows them 1:1

class WindowedRendererTest : public EngineTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (run through tests/support/with_xvfb.sh)";
        display_.setFixedSize(kFilmSize);
        display_.move(40, 40);
        display_.show();
        RunEventsFor(200);
    }

    // What the X server shows in the display's area.
    QImage ScreenImage() {
        RunEventsFor(300);
        const QRect area(display_.mapToGlobal(QPoint(0, 0)), display_.size());
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    TVideoDisplayWidget display_;
};

TEST_P(WindowedRendererTest, ScreenShowsTheFrameSoughtTo) {
    TMMEngine engine(GetParam(), &display_, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.RendererMode(), GetParam()) << "no sink could draw on this X server";
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    for (int frameIndex : {50, 12, 87}) {
        ASSERT_EQ(engine.SeekTo(frameIndex * 40), S_OK);
        const QImage shown = ScreenImage();
        const QImage expected = ReferenceFrame(Film("mpeg2.mpg"), frameIndex);
        const double same = MeanDifference(shown, expected);
        // Colour conversion of the sink and the X server's depth differ a little from
        // ffmpeg's; another frame of the running time code differs far more.
        EXPECT_LT(same, 12.0) << "frame " << frameIndex << " in mode " << GetParam();
        EXPECT_LT(same, MeanDifference(shown, ReferenceFrame(Film("mpeg2.mpg"), frameIndex + 10)))
            << "frame " << frameIndex;
    }
}

TEST_P(WindowedRendererTest, PlaysToTheEndOnce) {
    TMMEngine engine(GetParam(), &display_, settings);
    engine.SetPlayPauseStepMs(0);
    int completions = 0;
    engine.OnComplete = [&] {
        ++completions;
    };
    ASSERT_EQ(engine.LoadMovie(Film("mpeg1.mpg"), 0), S_OK) << LogText();
    ASSERT_EQ(engine.SeekTo(3000), S_OK);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    RunEventsUntil([&] { return completions > 0; });
    RunEventsFor(300);
    EXPECT_EQ(completions, 1);
    EXPECT_GE(engine.GetCurrentPosition(), 3900 * 10000);
}

TEST_P(WindowedRendererTest, PauseRightAfterPlayHolds) {
    TMMEngine engine(GetParam(), &display_, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    ExpectPauseRightAfterPlayHolds(engine);
}

INSTANTIATE_TEST_SUITE_P(Modes, WindowedRendererTest, ::testing::Values(0, 1),
                         [](const auto& info) { return "mode" + std::to_string(info.param); });

class NativeSinkTest : public WindowedRendererTest {};

// Xvfb offers no Xv port, so the engine must fall back to a sink that can draw there.
TEST_F(NativeSinkTest, ChoosesASinkThatDrawsWithoutXv) {
    TMMEngine engine(rmNormal, &display_, settings);
    EXPECT_EQ(engine.RendererMode(), rmNormal);
    EXPECT_TRUE(engine.NativeSink() == "glimagesink" || engine.NativeSink() == "ximagesink")
        << engine.NativeSink();
    EXPECT_TRUE(LogHas("MMEngine->Create: VideoMode NORMAL"));
}

TEST_F(NativeSinkTest, RefusesZoomFullScreenAndGrab) {
    TMMEngine engine(rmNormal, &display_, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    ASSERT_EQ(engine.SeekTo(2000), S_OK);
    const QImage before = ScreenImage();

    engine.SetZoom(2.0f);
    EXPECT_TRUE(LogHas("MMEngine->SetZoom: Failed"));
    EXPECT_TRUE(display_.SourceRect().isNull());
    EXPECT_FALSE(engine.ToggleFullScreen());
    EXPECT_FALSE(display_.window()->isFullScreen());
    EXPECT_TRUE(LogHas("MMEngine->ToggleFullScreen: IVMRWindowlessControl9 not exists"));
    QImage grabbed;
    EXPECT_LT(engine.GrabPicture(grabbed), 0);
    EXPECT_TRUE(grabbed.isNull());
    EXPECT_TRUE(LogHas("MMEngine->GrabPicture: Failed"));
    // None of it disturbed the picture.
    EXPECT_LT(MeanDifference(ScreenImage(), before), 2.0);
}

// The GL sink offers all four colour controls and the X sink none; what the engine
// reports must be what the sink really does to the picture.
TEST_F(NativeSinkTest, PicturePropertiesAreThoseOfTheSink) {
    TMMEngine engine(rmNormal, &display_, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    ASSERT_EQ(engine.SeekTo(2000), S_OK);
    const bool glSink = engine.NativeSink() == "glimagesink";
    EXPECT_EQ(engine.CanChangePictureProps(), glSink) << engine.NativeSink();
    for (int flag : {1, 2, 4, 8}) {
        float min = 0, max = 0, step = 0, def = 0;
        EXPECT_EQ(engine.CanChangePicProp(flag, min, max, step, def), glSink) << flag;
        if (glSink) {
            EXPECT_LT(min, max) << flag;
            EXPECT_GE(def, min) << flag;
            EXPECT_LE(def, max) << flag;
        }
    }
    if (!glSink)
        return;
    engine.InitPictureControls();
    const QImage before = ScreenImage();
    float min = 0, max = 0, step = 0, def = 0;
    ASSERT_TRUE(engine.CanChangePicProp(1, min, max, step, def));
    engine.SetBrightness(static_cast<int32_t>(max * engine.ControlScale(0)));
    const QImage brighter = ScreenImage();
    EXPECT_GT(MeanDifference(brighter, before), 20.0);
}

// Mode 0 paints into the display itself: zoom and full screen are the window's own.
TEST_F(WindowedRendererTest, ZoomShowsTheMiddleOfTheFrameEnlarged) {
    TMMEngine engine(rmVMR, &display_, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    ASSERT_EQ(engine.SeekTo(2000), S_OK);
    engine.SetZoom(2.0f);
    const QImage middle = ReferenceFrame(Film("mpeg2.mpg"), 50)
                              .copy(QRect(QPoint(88, 72), QSize(176, 144)))
                              .scaled(kFilmSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanDifference(ScreenImage(), middle), 12.0);

    EXPECT_TRUE(engine.ToggleFullScreen());
    RunEventsFor(300);
    EXPECT_TRUE(display_.window()->isFullScreen());
    EXPECT_FALSE(engine.ToggleFullScreen());
    RunEventsFor(300);
    EXPECT_FALSE(display_.window()->isFullScreen());
}

} // namespace
} // namespace kanvio::test
